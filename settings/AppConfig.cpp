#include "settings/AppConfig.h"

#include <memory>

CAppConfig g_config;

CAppConfig::CAppConfig()
    : m_settings(this, "[Kestrelbox]")
{
}

CAppConfig::~CAppConfig() = default;

void CAppConfig::ReportError(const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    std::unique_ptr<CFmtString> pRecord;
    try {
        pRecord.reset(new CFmtString(CFmtString::kVaList, pszFormat, args));
    } catch (...) {
        va_end(args);
        throw;
    }
    va_end(args);
    CString strPrefix;
    strPrefix.Format("Line %2d: ", m_line);
    pRecord->Insert(0, strPrefix);
    m_errors.Append(pRecord.get());
    pRecord.release();
}
