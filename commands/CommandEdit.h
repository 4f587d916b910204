#pragma once
// CCommandEdit: the one-line command line. Every keyboard command of the
// program is caught here before the edit control sees the key.
#include "commands/HistoryList.h"
#include "framework/Controls.h"

class CMainWnd;

class CCommandEdit : public CEdit {
public:
    CCommandEdit() : m_history(16) {}
    ~CCommandEdit() override;

    BOOL PreTranslateMessage(MSG* pMsg) override;

    CHistoryList m_history;

private:
    CMainWnd* GetMainWnd() const;
    void OnEnter(CMainWnd& main);
    void WalkHistory(bool bPrev);
};
