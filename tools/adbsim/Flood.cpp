#include "Flood.h"

#include "Numbers.h"
#include "StdIo.h"

#include <windows.h>

#include <cstdio>

namespace {

const uint64_t kMaxFloodBytes = 1ull << 34;
// Writes of this size keep the pipe full without one huge allocation.
const size_t kWriteBlock = 65536;

double Now()
{
    LARGE_INTEGER freq, count;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&count);
    return double(count.QuadPart) / double(freq.QuadPart);
}

} // namespace

int RunFlood(const std::vector<std::string>& args)
{
    uint64_t nBytes = 0, nLineLen = 0;
    std::string strReport;
    if (args.size() < 3 || !ParseUnsigned(args[1], kMaxFloodBytes, nBytes) || !ParseUnsigned(args[2], 1u << 20, nLineLen)
        || nLineLen < 2 || (args.size() != 3 && (args.size() != 5 || args[3] != "--sim-flood-report"))) {
        WriteErrLine("adbsim: usage: --sim-flood BYTES LINELEN [--sim-flood-report FILE] (LINELEN >= 2)");
        return 2;
    }
    if (args.size() == 5)
        strReport = args[4];

    // A block of whole lines (at least one), so that every write ends a line.
    std::string strLine(size_t(nLineLen) - 2, 'x');
    strLine += "\r\n";
    std::string strBlock;
    while (strBlock.size() + strLine.size() <= kWriteBlock || strBlock.empty())
        strBlock += strLine;

    const double dStart = Now();
    uint64_t nDone = 0;
    while (nDone < nBytes) {
        const size_t n = size_t(nBytes - nDone < strBlock.size() ? nBytes - nDone : strBlock.size());
        if (!WriteStd(STD_OUTPUT_HANDLE, strBlock.data(), n))
            break;
        nDone += n;
    }
    const double dSeconds = Now() - dStart;
    const double dRate = dSeconds > 0 ? double(nDone) / 1048576.0 / dSeconds : 0;
    char szReport[128];
    snprintf(szReport, sizeof szReport, "%llu %.3f %.2f", (unsigned long long)nDone, dSeconds, dRate);
    if (!strReport.empty()) {
        FILE* f = fopen(strReport.c_str(), "w");
        if (f) {
            fprintf(f, "%s\n", szReport);
            fclose(f);
        }
    }
    WriteErrLine(std::string("adbsim: flood ") + szReport);
    return nDone == nBytes ? 0 : 1;
}
