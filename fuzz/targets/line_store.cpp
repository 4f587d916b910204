// The line store against its literal model, under the console view's Print
// rules (code byte, continuation, backspace, dropping and the shifting of
// mark and find position) and every store operation. Properties: after
// every step the store's capacity, used bytes, line bytes, line walks
// (by index, forward, backward) and longest line are the model's, and every
// operation returns what the model's returns.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "screen/LineStore.h"
#include "support/LineStoreModel.h"
#include "targets/FuzzCheck.h"

namespace {

typedef CPrintModelT<CLineStore> CRealPrint;

// The offsets of the lines that a walk with NextLine or PrevLine visits.
template <class TStore>
std::vector<long> Walk(TStore& store, const char* (TStore::*pStep)(const char*) const)
{
    std::vector<long> offsets;
    for (const char* p = (store.*pStep)(nullptr); p != nullptr; p = (store.*pStep)(p)) {
        offsets.push_back(long(p - store.m_pBuffer));
        KB_CHECK(offsets.size() <= size_t(store.m_nUsed));
    }
    return offsets;
}

void Compare(CRealPrint& real, CPrintModel& model, bool bWalks)
{
    CLineStore& s = real.m_store;
    CLineStoreModel& m = model.m_store;
    KB_CHECK(s.m_nCapacity == m.m_nCapacity);
    KB_CHECK(s.m_nUsed == m.m_nUsed);
    KB_CHECK(s.m_nUsed >= 0 && s.m_nUsed <= s.m_nCapacity);
    if (s.m_nUsed > 0) {
        KB_CHECK(memcmp(s.m_pBuffer, m.m_pBuffer, size_t(s.m_nUsed)) == 0);
        KB_CHECK(s.m_pBuffer[s.m_nUsed - 1] == 0);
    }
    KB_CHECK(real.m_nMarkFirst == model.m_nMarkFirst && real.m_nMarkLast == model.m_nMarkLast);
    KB_CHECK(real.m_nFindLine == model.m_nFindLine && real.m_nFindColumn == model.m_nFindColumn);
    if (!bWalks)
        return;
    const int n = s.CountLines();
    KB_CHECK(n == m.CountLines());
    KB_CHECK(s.m_nMaxLineLen == m.m_nMaxLineLen);
    const std::vector<long> forward = Walk(s, &CLineStore::NextLine);
    KB_CHECK(forward == Walk(m, &CLineStoreModel::NextLine));
    KB_CHECK(forward.size() == size_t(n));
    std::vector<long> backward = Walk(s, &CLineStore::PrevLine);
    KB_CHECK(backward == Walk(m, &CLineStoreModel::PrevLine));
    std::reverse(backward.begin(), backward.end());
    KB_CHECK(backward == forward);
    for (int i = -1; i <= n; ++i) {
        const char* p = s.GetLine(i);
        const char* q = m.GetLine(i);
        KB_CHECK((p == nullptr) == (q == nullptr));
        if (p != nullptr)
            KB_CHECK(p - s.m_pBuffer == q - m.m_pBuffer);
        KB_CHECK(s.LineLength(i) == m.LineLength(i));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const int nSize = in.ConsumeIntegralInRange(-1, 300);
    CRealPrint real(nSize);
    CPrintModel model(nSize);
    Compare(real, model, true);
    for (int nStep = 0; nStep < 64 && in.remaining_bytes() > 0; ++nStep) {
        bool bWalks = false;
        switch (in.ConsumeIntegralInRange(0, 11)) {
        case 0:
        case 1:
        case 2:
        case 3: {
            // Output, echo or a message, as Print stores it; the view's state
            // is the same on both sides before it.
            if (in.ConsumeBool())
                real.m_nCode = model.m_nCode = in.ConsumeIntegral<int>();
            if (in.ConsumeBool())
                real.m_bContinueLine = model.m_bContinueLine = true;
            const std::string text = in.ConsumeRandomLengthString(48);
            KB_CHECK(real.Print(text.c_str()) == model.Print(text.c_str()));
            break;
        }
        case 4: {
            // Mark and find position, as clicks and searches leave them.
            const int a = in.ConsumeIntegralInRange(-1, 40), b = in.ConsumeIntegralInRange(-1, 40);
            real.m_nMarkFirst = model.m_nMarkFirst = a < 0 ? -1 : (a < b ? a : b);
            real.m_nMarkLast = model.m_nMarkLast = a < 0 ? -1 : (a < b ? b : a);
            real.m_nFindLine = model.m_nFindLine = in.ConsumeIntegralInRange(-1, 40);
            real.m_nFindColumn = model.m_nFindColumn = real.m_nFindLine < 0 ? -1 : in.ConsumeIntegralInRange(0, 60);
            break;
        }
        case 5: {
            const std::string text = in.ConsumeRandomLengthString(48);
            const bool bContinue = in.ConsumeBool();
            KB_CHECK(real.m_store.StoreLine(text.c_str(), bContinue) == model.m_store.StoreLine(text.c_str(), bContinue));
            break;
        }
        case 6: {
            const int n = in.ConsumeIntegralInRange(-2, real.m_store.m_nCapacity + 2);
            KB_CHECK(real.m_store.MakeRoom(n) == model.m_store.MakeRoom(n));
            break;
        }
        case 7: {
            const int i = in.ConsumeIntegralInRange(-1, 40);
            KB_CHECK(real.m_store.RemoveLine(i) == model.m_store.RemoveLine(i));
            break;
        }
        case 8: {
            const int n = in.ConsumeIntegralInRange(-1, 400);
            KB_CHECK(real.m_store.Resize(n) == model.m_store.Resize(n));
            break;
        }
        case 9:
            real.m_store.Clear();
            model.m_store.Clear();
            break;
        default:
            bWalks = true;
            break;
        }
        Compare(real, model, bWalks);
    }
    Compare(real, model, true);
    return 0;
}
