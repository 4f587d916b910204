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
    // A typed letter beyond ASCII, as the message loop takes it (UTF-16),
    // goes in whole: in a double-byte or UTF-8 code page an ANSI edit
    // control would be handed its bytes one by one. A high surrogate waits
    // in m_wchHigh for its pair.
    void InsertTypedLetter(WCHAR wch);
    WCHAR m_wchHigh = 0;
};
