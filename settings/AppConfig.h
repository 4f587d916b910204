#pragma once
// CAppConfig: the program's configuration object, g_config: its settings
// and the errors found while reading them.
#include "settings/ConfigFile.h"
#include "settings/FmtString.h"
#include "settings/Settings.h"

class CConsoleView;

class CAppConfig : public CConfigFile {
public:
    CAppConfig();
    // Records "Line %2d: " with m_line, followed by the formatted message.
    KB_PRINTF_LIKE(2, 3) void ReportError(const char* pszFormat, ...) override;
    ~CAppConfig() override;

    // Prints the recorded errors in the error colour, then forgets them.
    void PrintErrors(CConsoleView& view);

    CPagedPtrOwnerList<CFmtString> m_errors;
    CSettings m_settings;
};

extern CAppConfig g_config;
