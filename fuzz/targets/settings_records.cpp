// The settings' records: CFmtString, ReportError and the paged pointer
// lists. Properties: a formatted string is exactly what the C library's
// snprintf makes, whatever its length; every error record is "Line %2d: "
// and the message; a paged list holds what a plain array of the same
// appends holds, at every index, across page boundaries and after
// RemoveAll; the owning list deletes each non-null element exactly once,
// in index order.
#include <cstdarg>
#include <string>
#include <vector>

#include "settings/AppConfig.h"
#include "settings/FmtString.h"
#include "settings/PagedPtrList.h"
#include "targets/FuzzCheck.h"

namespace {

std::string Printf(const char* pszFormat, ...)
{
    va_list args, copy;
    va_start(args, pszFormat);
    va_copy(copy, args);
    const int n = vsnprintf(nullptr, 0, pszFormat, copy);
    va_end(copy);
    std::string s(size_t(n) + 1, '\0');
    vsnprintf(&s[0], s.size(), pszFormat, args);
    va_end(args);
    s.resize(size_t(n));
    return s;
}

// Records the order in which an owning list deletes its elements.
std::vector<int> g_deleted;

class CCountedRecord : public CFmtString {
public:
    explicit CCountedRecord(int nId) : CFmtString("#%d", nId), m_nId(nId) {}
    ~CCountedRecord() override { g_deleted.push_back(m_nId); }
    int m_nId;
};

// Element i of a non-owning list: a pointer that its index and the
// list's generation (its RemoveAll count) decide, every seventh a null.
int g_cells[4096];

int* Element(int nGeneration, int i)
{
    return i % 7 == 3 ? nullptr : &g_cells[(i * 31 + nGeneration) % 4096];
}

// Both ends, the page edges (multiples of 1023), every 97th index, and
// just outside the list.
template <class TList, class F>
void CheckList(const TList& list, int n, F expected, bool bStride)
{
    KB_CHECK(list.GetCount() == n);
    static const int kIndexes[] = { -1, 0, 1, 1021, 1022, 1023, 1024, 2045, 2046, 2047 };
    for (int i : kIndexes)
        KB_CHECK(list.GetAt(i) == (i >= 0 && i < n ? expected(i) : nullptr));
    for (int i : { n - 2, n - 1, n, n + 1, n + 1023, INT_MIN, INT_MAX })
        KB_CHECK(list.GetAt(i) == (i >= 0 && i < n ? expected(i) : nullptr));
    if (bStride)
        for (int i = 0; i < n; i += 97)
            KB_CHECK(list.GetAt(i) == expected(i));
}

void FuzzLists(FuzzedDataProvider& in)
{
    CPagedPtrList<int> list;
    int nCount = 0;
    int nGeneration = 0;
    auto element = [&](int i) { return Element(nGeneration, i); };
    std::vector<CCountedRecord*> ownedModel;
    std::vector<int> expectDeleted;
    g_deleted.clear();
    {
        CPagedPtrOwnerList<CFmtString> owner;
        auto owned = [&](int i) -> CFmtString* { return ownedModel[size_t(i)]; };
        int nNextId = 0;
        for (int nStep = 0; nStep < 32 && in.remaining_bytes() > 0; ++nStep) {
            switch (in.ConsumeIntegralInRange(0, 4)) {
            case 0: {
                // A few appends, or a run up to just before the page
                // boundary at 1023.
                int n = in.ConsumeIntegralInRange(0, 8);
                if (n == 8)
                    n = nCount < 1000 ? 1021 - nCount : 0;
                for (int i = 0; i < n; ++i, ++nCount)
                    list.Append(Element(nGeneration, nCount));
                break;
            }
            case 1:
                list.RemoveAll();
                nCount = 0;
                ++nGeneration;
                break;
            case 2: {
                const int n = in.ConsumeIntegralInRange(0, 6);
                for (int i = 0; i < n; ++i) {
                    CCountedRecord* p = in.ConsumeBool() ? nullptr : new CCountedRecord(nNextId++);
                    owner.Append(p);
                    ownedModel.push_back(p);
                }
                break;
            }
            case 3:
                for (CCountedRecord* p : ownedModel)
                    if (p)
                        expectDeleted.push_back(p->m_nId);
                owner.RemoveAll();
                ownedModel.clear();
                KB_CHECK(g_deleted == expectDeleted);
                break;
            default: {
                const int i = in.ConsumeIntegral<int>();
                KB_CHECK(list.GetAt(i) == (i >= 0 && i < nCount ? Element(nGeneration, i) : nullptr));
                break;
            }
            }
            CheckList(list, nCount, element, false);
            CheckList(owner, int(ownedModel.size()), owned, false);
        }
        CheckList(list, nCount, element, true);
        CheckList(owner, int(ownedModel.size()), owned, true);
        for (CCountedRecord* p : ownedModel)
            if (p)
                expectDeleted.push_back(p->m_nId);
    }
    // The owning list's destructor deleted the rest.
    KB_CHECK(g_deleted == expectDeleted);
}

void FuzzRecords(FuzzedDataProvider& in)
{
    CAppConfig config;
    std::vector<std::string> expected;
    for (int nStep = 0; nStep < 32 && in.remaining_bytes() > 0; ++nStep) {
        config.m_line = in.ConsumeIntegral<int>();
        const int n = in.ConsumeIntegral<int>();
        const std::string text = in.ConsumeRandomLengthString(64).c_str();
        const std::string prefix = Printf("Line %2d: ", config.m_line);
        switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0:
            config.ReportError("%s", text.c_str());
            expected.push_back(prefix + text);
            break;
        case 1:
            config.ReportError("Unknown setting '%s' (%d)", text.c_str(), n);
            expected.push_back(prefix + Printf("Unknown setting '%s' (%d)", text.c_str(), n));
            break;
        case 2:
            config.ReportError("%-12s|%5.3s|%x|%c", text.c_str(), text.c_str(), unsigned(n), n & 0x7F ? n & 0x7F : 'x');
            expected.push_back(prefix + Printf("%-12s|%5.3s|%x|%c", text.c_str(), text.c_str(), unsigned(n),
                                               n & 0x7F ? n & 0x7F : 'x'));
            break;
        default: {
            // The formatted text is kept whole: beyond 4096 bytes too.
            std::string big;
            for (int k = in.ConsumeIntegralInRange(1, 300); k > 0; --k)
                big += text;
            CFmtString s("%s%s%d", big.c_str(), text.c_str(), n);
            const std::string want = Printf("%s%s%d", big.c_str(), text.c_str(), n);
            KB_CHECK(s.GetLength() == int(want.size()));
            KB_CHECK(std::string(s.GetString()) == want);
            break;
        }
        }
        KB_CHECK(config.m_errors.GetCount() == int(expected.size()));
        const CFmtString* pLast = config.m_errors.GetAt(config.m_errors.GetCount() - 1);
        if (!expected.empty()) {
            KB_CHECK(pLast != nullptr);
            if (std::string(pLast->GetString(), size_t(pLast->GetLength())) != expected.back())
                fprintf(stderr, "record '%s', expected '%s'\n", Escaped(pLast->GetString()).c_str(),
                        Escaped(expected.back()).c_str());
            KB_CHECK(std::string(pLast->GetString(), size_t(pLast->GetLength())) == expected.back());
        }
    }
    for (size_t i = 0; i < expected.size(); ++i)
        KB_CHECK(std::string(config.m_errors.GetAt(int(i))->GetString()) == expected[i]);
    config.m_errors.RemoveAll();
    KB_CHECK(config.m_errors.GetCount() == 0 && config.m_errors.GetAt(0) == nullptr);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    if (in.ConsumeBool())
        FuzzLists(in);
    else
        FuzzRecords(in);
    return 0;
}
