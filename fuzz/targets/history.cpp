// CHistoryList against a plain model of its rules. Properties: after every
// operation the entries, their order and spelling, the count and the walk
// cursor are the model's; Prev and Next give the model's entry; duplicates
// are found without regard to case as the ANSI code page folds letters.
#include <string>
#include <vector>

#include "commands/HistoryList.h"
#include "support/CodePageTable.h"
#include "targets/FuzzCheck.h"

namespace {

bool SameNoCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (CodePageTable::kBytes[static_cast<unsigned char>(a[i])].nLower
            != CodePageTable::kBytes[static_cast<unsigned char>(b[i])].nLower)
            return false;
    return true;
}

struct CModel {
    size_t nCapacity;
    std::vector<std::string> items;
    int nCursor = -1;

    void Add(const std::string& text)
    {
        if (items.size() == nCapacity)
            Remove(0);
        std::string entry = text;
        for (size_t i = 0; i < items.size(); ++i) {
            if (SameNoCase(items[i], text)) {
                entry = items[i];
                Remove(int(i));
                break;
            }
        }
        items.push_back(entry);
        nCursor = -1;
    }

    void Remove(int i)
    {
        items.erase(items.begin() + i);
        if (i < nCursor)
            --nCursor;
        else if (i == nCursor)
            nCursor = -1;
    }

    std::string Step(bool bPrev)
    {
        if (items.empty())
            return std::string();
        const int n = int(items.size());
        if (nCursor < 0)
            nCursor = n - 1;
        else
            nCursor = bPrev ? (nCursor + 1) % n : (nCursor - 1 + n) % n;
        return items[size_t(nCursor)];
    }
};

void Compare(const CHistoryList& list, const CModel& model)
{
    KB_CHECK(list.GetCount() == int(model.items.size()));
    KB_CHECK(list.GetCursor() == model.nCursor);
    for (size_t i = 0; i < model.items.size(); ++i)
        KB_CHECK(list.GetAt(int(i)) != nullptr && model.items[i] == list.GetAt(int(i)));
    KB_CHECK(list.GetAt(-1) == nullptr && list.GetAt(list.GetCount()) == nullptr);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const int nCapacity = in.ConsumeIntegralInRange(1, 40);
    CHistoryList list(nCapacity);
    CModel model;
    model.nCapacity = size_t(nCapacity);
    // A few texts that differ only in case, so that duplicates are common.
    std::vector<std::string> seen;
    while (in.remaining_bytes() > 0) {
        switch (in.ConsumeIntegralInRange(0, 7)) {
        case 0:
        case 1: {
            std::string text = in.ConsumeRandomLengthString(40).c_str();
            if (!seen.empty() && in.ConsumeBool()) {
                // An earlier text with its letters' case changed.
                text = seen[in.ConsumeIntegralInRange<size_t>(0, seen.size() - 1)];
                for (char& c : text) {
                    const unsigned char b = static_cast<unsigned char>(c);
                    if (in.ConsumeBool() && CodePageTable::kBytes[b].nLower != b)
                        c = char(CodePageTable::kBytes[b].nLower);
                    else if (in.ConsumeBool()) {
                        for (int u = 0; u < 256; ++u)
                            if (u != b && CodePageTable::kBytes[u].nLower == CodePageTable::kBytes[b].nLower) {
                                c = char(u);
                                break;
                            }
                    }
                }
            }
            seen.push_back(text);
            list.Add(text.c_str());
            model.Add(text);
            break;
        }
        case 2: {
            const char* p = list.Prev();
            KB_CHECK(p != nullptr && model.Step(true) == p);
            break;
        }
        case 3: {
            const char* p = list.Next();
            KB_CHECK(p != nullptr && model.Step(false) == p);
            break;
        }
        case 4:
            list.Clear();
            model.items.clear();
            model.nCursor = -1;
            break;
        case 5: {
            const std::string text = seen.empty() ? std::string() : seen[in.ConsumeIntegralInRange<size_t>(0, seen.size() - 1)];
            int nExpected = -1;
            for (size_t i = 0; i < model.items.size() && nExpected < 0; ++i)
                if (SameNoCase(model.items[i], text))
                    nExpected = int(i);
            KB_CHECK(list.IndexOf(text.c_str()) == nExpected);
            break;
        }
        default: {
            const int i = in.ConsumeIntegralInRange(-2, nCapacity + 1);
            const bool bDelete = in.ConsumeBool();
            const bool bIn = i >= 0 && size_t(i) < model.items.size();
            const std::string removed = bIn ? model.items[size_t(i)] : std::string();
            char* p = list.RemoveAt(i, bDelete);
            if (bIn)
                model.Remove(i);
            if (bDelete || !bIn) {
                KB_CHECK(p == nullptr);
            } else {
                KB_CHECK(p != nullptr && removed == p);
                delete[] p;
            }
            break;
        }
        }
        Compare(list, model);
    }
    return 0;
}
