#include "settings/AppConfig.h"

#include "screen/ConsoleView.h"

void CAppConfig::PrintErrors(CConsoleView& view)
{
    const int nErrors = m_errors.GetCount();
    if (nErrors == 0)
        return;
    view.m_nSavedCode = view.m_nCode;
    view.m_nCode = CODE_ERROR;
    view.PrintF("Config file has %d error(s):", nErrors);
    for (int i = 0; i < nErrors; ++i) {
        const CFmtString* pRecord = m_errors.GetAt(i);
        view.Print(pRecord != nullptr ? pRecord->GetString() : "");
    }
    view.m_nCode = view.m_nSavedCode;
    view.m_nSavedCode = 0;
    view.Print("");
    m_errors.RemoveAll();
}
