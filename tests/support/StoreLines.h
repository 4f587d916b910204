#pragma once
// The lines of a line store, and of a console view's store under its lock,
// as strings (code bytes included).
#include <string>
#include <vector>

#include "screen/ConsoleView.h"

inline std::vector<std::string> StoreLines(const CLineStore& store)
{
    std::vector<std::string> lines;
    for (const char* p = store.NextLine(nullptr); p != nullptr; p = store.NextLine(p))
        lines.emplace_back(p);
    return lines;
}

inline std::vector<std::string> ViewLines(CConsoleView& view)
{
    CSingleLock lock(view.m_lock);
    return StoreLines(view.m_store);
}
