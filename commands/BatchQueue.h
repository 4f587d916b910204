#pragma once
// The lines of a batch of commands, run one at a time through the owner:
// each finished run asks for the next line with RunNext.
#include <windows.h>

#include "commands/CommandTarget.h"

class CWnd;

class CBatchQueue {
public:
    CBatchQueue();
    ~CBatchQueue();
    CBatchQueue(const CBatchQueue&) = delete;
    CBatchQueue& operator=(const CBatchQueue&) = delete;

    // Runs the Batch of commands dialog over pParent; on OK its text becomes
    // the batch, run through pOwner. The text is kept for the next opening
    // whichever way the dialog closed.
    void RunDialog(ICommandTarget* pOwner, CWnd* pParent);

    // Takes a private copy of the text and runs its first command line.
    void Start(ICommandTarget* pOwner, const char* pszText);
    // True when a line was handed to the owner.
    bool RunNext();
    void Stop();
    bool IsActive() const { return *m_pCursor != 0; }

    // Cuts the next line off the rest (in place); null when nothing is left.
    char* TakeLine();
    static char* TrimSpace(char* psz);

    // The batch dialog's text buffer, kept between its openings; freed here.
    HLOCAL m_hText = nullptr;

private:
    ICommandTarget* m_pOwner = nullptr;
    char* m_pCopy = nullptr;
    char* m_pCursor;

    // The idle cursor; never written, since TakeLine stops at its zero.
    static char s_szEmpty[1];
};
