#pragma once
// CRunResult: the record of one run in progress, from its start event to
// its exit line. A record with run number 0 is free; the program's first run
// has number 0 too, so its record looks free while it runs.
#include <windows.h>
#include <atomic>

#include "framework/String.h"

class CRunResult {
public:
    CRunResult() = default;
    CRunResult(const CRunResult&) = delete;
    CRunResult& operator=(const CRunResult&) = delete;

    void Begin(int nRunId);

    // Frees the record and returns its exit line, "#<run> ExitCode: <code>",
    // for the caller to print in the information colour.
    CString Report();

    // The code as a signed 32-bit number in decimal while its absolute value
    // is below 10000 (0x80000000 counts, its absolute value being negative),
    // else as eight hexadecimal digits.
    static CString FormatExitCode(DWORD dwExitCode);

    // Record 0 if free, else record 1 if free, else record 2 (overwritten
    // even if held); begun for nRunId. Safe when two reader threads take a
    // record at the same time.
    static CRunResult& Take(CRunResult (&results)[3], int nRunId);
    // The record of nRunId: record 0, else 1, else 2.
    static CRunResult& Find(CRunResult (&results)[3], int nRunId);

    std::atomic<int> m_nRunId { 0 };
    DWORD m_dwExitCode = 0;
};
