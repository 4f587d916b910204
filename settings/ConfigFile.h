#pragma once
// CConfigFile: what every configuration object has: its sections, the line
// being read, and a place to report what could not be read.
#include "settings/FmtString.h"
#include "settings/PagedPtrList.h"

class CSettingSection;

class CConfigFile {
public:
    CConfigFile() : m_line(0) {}
    KB_PRINTF_LIKE(2, 3) virtual void ReportError(const char* pszFormat, ...) = 0;
    virtual ~CConfigFile() = default;

    CConfigFile(const CConfigFile&) = delete;
    CConfigFile& operator=(const CConfigFile&) = delete;

    CPagedPtrList<CSettingSection> m_sections;  // not owned
    int m_line;
};
