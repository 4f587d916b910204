#pragma once
// The host build has no dialogs. The batch queue's RunDialog names this
// class; the host programs never call it, and DoModal aborts if they do.
#include <windows.h>

class CWnd;

class CBatchDlg {
public:
    explicit CBatchDlg(CWnd*) {}
    INT_PTR DoModal();

    HLOCAL m_hText = nullptr;
};
