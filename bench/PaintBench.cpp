// Paint benchmark: the time of one paint of the real console view, in a
// window of the virtual display, over a full store of 1 and 64 MiB holding
// 100-byte or empty lines, following the newest line. Run by scripts/bench;
// prints figures, decides nothing. Then the same grid at 96 and 192 dpi.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "screen/ConsoleView.h"
#include "support/TestWindows.h"

namespace {

double Now()
{
    LARGE_INTEGER freq, count;
    ::QueryPerformanceFrequency(&freq);
    ::QueryPerformanceCounter(&count);
    return double(count.QuadPart) / double(freq.QuadPart);
}

// Median microseconds of one paint, a line stored before each as in a flood.
double PaintMicroseconds(CConsoleView& view, const std::string& line, int nPaints)
{
    std::vector<double> times;
    for (int i = 0; i < nPaints; ++i) {
        view.Print(line.c_str());
        const double dStart = Now();
        ::RedrawWindow(view.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        times.push_back((Now() - dStart) * 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main()
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    CHostWnd host;
    if (!host.CreateHost(1100, 900))
        return 1;
    double dFirst[2] = { 0, 0 };
    for (int nLen : { 100, 0 }) {
        for (int nMegabytes : { 1, 64 }) {
            CConsoleView view;
            view.m_store.Resize(nMegabytes << 20);
            view.SetScreenFont("Courier", 10);
            RECT rc = { 0, 0, 0, 0 };
            if (!view.Create(nullptr, "", WS_CHILD | WS_VISIBLE, rc, &host, 11))
                return 1;
            view.MoveWindow(0, 0, 1000, 800, TRUE);
            const std::string line(size_t(nLen), 'p');
            while (view.m_store.StoreLine(line.c_str(), false) == 0) {
            }
            PumpPending();
            const double dUs = PaintMicroseconds(view, line, 200);
            double& dBase = dFirst[nLen == 0];
            if (nMegabytes == 1)
                dBase = dUs;
            printf("paint: %2d MiB store of %s lines (%d lines, page %d): %.0f us per paint", nMegabytes,
                   nLen ? "100-byte" : "empty", view.m_store.CountLines(), view.m_vBar.m_nPage, dUs);
            if (nMegabytes != 1 && dBase > 0)
                printf(", %.2f times the 1 MiB figure (target <= 1.5)", dUs / dBase);
            printf("\n");
        }
    }
    if (dFirst[0] > 0)
        printf("paint: empty lines / 100-byte lines at 1 MiB: %.2f (target <= 1.5)\n", dFirst[1] / dFirst[0]);

    // The same rows and columns at 96 and at 192 dpi: four times the pixels.
    const int nCols = 60, nRows = 24;
    double dAt96 = 0;
    for (UINT nDpi : { 96u, 192u }) {
        CConsoleView view;
        view.m_store.Resize(1 << 20);
        view.m_nDpi = nDpi;
        view.SetScreenFont("Courier", 10);
        RECT rc = { 0, 0, 0, 0 };
        if (!view.Create(nullptr, "", WS_CHILD | WS_VISIBLE, rc, &host, 11))
            return 1;
        view.MoveWindow(0, 0, nCols * view.m_nCharWidth + view.ScrollBarWidth(),
                        nRows * view.m_nLineHeight + view.ScrollBarHeight(), TRUE);
        const std::string line(100, 'p');
        while (view.m_store.StoreLine(line.c_str(), false) == 0) {
        }
        PumpPending();
        const double dUs = PaintMicroseconds(view, line, 200);
        printf("paint: %u dpi, %d x %d cells of %d x %d pixels, 1 MiB of 100-byte lines: %.0f us per paint", nDpi,
               view.m_hBar.m_nPage, view.m_vBar.m_nPage, view.m_nCharWidth, view.m_nLineHeight, dUs);
        if (nDpi == 96)
            dAt96 = dUs;
        else if (dAt96 > 0)
            printf(", %.2f times the 96 dpi figure", dUs / dAt96);
        printf("\n");
    }
    return 0;
}
