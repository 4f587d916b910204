#include "ScreenCapture.h"

#include "../support/Wait.h"

#include <algorithm>
#include <cstdio>

bool CScreenCapture::Grab(const RECT& rc)
{
    m_nWidth = m_nHeight = 0;
    m_bits.clear();
    int cx = rc.right - rc.left;
    int cy = rc.bottom - rc.top;
    if (cx <= 0 || cy <= 0)
        return false;

    HDC hScreen = ::GetDC(nullptr);
    if (!hScreen)
        return false;
    HDC hMem = ::CreateCompatibleDC(hScreen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = cx;
    bi.bmiHeader.biHeight = -cy; // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* pvBits = nullptr;
    HBITMAP hBmp = ::CreateDIBSection(hScreen, &bi, DIB_RGB_COLORS, &pvBits, nullptr, 0);
    bool bOk = false;
    if (hMem && hBmp && pvBits) {
        HGDIOBJ hOld = ::SelectObject(hMem, hBmp);
        bOk = ::BitBlt(hMem, 0, 0, cx, cy, hScreen, rc.left, rc.top, SRCCOPY) != FALSE;
        ::GdiFlush();
        if (bOk) {
            const DWORD* p = static_cast<const DWORD*>(pvBits);
            m_bits.assign(p, p + size_t(cx) * size_t(cy));
            m_nWidth = cx;
            m_nHeight = cy;
        }
        ::SelectObject(hMem, hOld);
    }
    if (hBmp)
        ::DeleteObject(hBmp);
    if (hMem)
        ::DeleteDC(hMem);
    ::ReleaseDC(nullptr, hScreen);
    return bOk;
}

COLORREF CScreenCapture::Pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_nWidth || y >= m_nHeight)
        return CLR_INVALID;
    DWORD v = m_bits[size_t(y) * size_t(m_nWidth) + size_t(x)];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

int CScreenCapture::Count(const RECT& rc, COLORREF cr) const
{
    int n = 0;
    for (int y = std::max(0, int(rc.top)); y < std::min(m_nHeight, int(rc.bottom)); ++y)
        for (int x = std::max(0, int(rc.left)); x < std::min(m_nWidth, int(rc.right)); ++x)
            if (Pixel(x, y) == cr)
                ++n;
    return n;
}

bool CScreenCapture::Bounds(COLORREF cr, RECT& rcOut) const
{
    RECT rc = { m_nWidth, m_nHeight, -1, -1 };
    for (int y = 0; y < m_nHeight; ++y)
        for (int x = 0; x < m_nWidth; ++x)
            if (Pixel(x, y) == cr) {
                rc.left = std::min(rc.left, LONG(x));
                rc.top = std::min(rc.top, LONG(y));
                rc.right = std::max(rc.right, LONG(x + 1));
                rc.bottom = std::max(rc.bottom, LONG(y + 1));
            }
    if (rc.right < 0)
        return false;
    rcOut = rc;
    return true;
}

namespace {

// The Windows name of a Unix path under Wine's drive Z:, which maps the
// Unix root.
std::string DosPath(const std::string& strUnix)
{
    std::string s = "Z:" + strUnix;
    std::replace(s.begin(), s.end(), '/', '\\');
    return s;
}

bool FileExists(const std::string& strPath)
{
    DWORD a = ::GetFileAttributesA(strPath.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

// Wine starts a Unix program given by its Unix path, but its process
// handle may be signalled before the program has finished: the picture is
// written under another name and renamed when complete, and its final name
// is what the caller waits for.
bool RunImport(const std::string& strUnixPath, const std::string& strDosPath)
{
    std::string strPart = strUnixPath + ".part.png";
    std::string cmd = "/bin/sh -c \"/usr/bin/import -window root '" + strPart + "' && mv '" + strPart + "' '" +
                      strUnixPath + "'\"";
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return false;
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return WaitUntil([&] { return FileExists(strDosPath); }, 30000);
}

// A plain .bmp of the screen, for when ImageMagick cannot be started.
bool WriteBitmap(const std::string& strPath)
{
    RECT rc = { 0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN) };
    CScreenCapture cap;
    if (!cap.Grab(rc))
        return false;
    FILE* f = std::fopen(strPath.c_str(), "wb");
    if (!f)
        return false;
    DWORD cbRow = DWORD(cap.Width()) * 4;
    DWORD cbBits = cbRow * DWORD(cap.Height());
    BITMAPFILEHEADER fh = {};
    BITMAPINFOHEADER ih = {};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof(fh) + sizeof(ih);
    fh.bfSize = fh.bfOffBits + cbBits;
    ih.biSize = sizeof(ih);
    ih.biWidth = cap.Width();
    ih.biHeight = -cap.Height();
    ih.biPlanes = 1;
    ih.biBitCount = 32;
    ih.biCompression = BI_RGB;
    bool bOk = std::fwrite(&fh, sizeof(fh), 1, f) == 1 && std::fwrite(&ih, sizeof(ih), 1, f) == 1;
    std::vector<DWORD> row(size_t(cap.Width()));
    for (int y = 0; bOk && y < cap.Height(); ++y) {
        for (int x = 0; x < cap.Width(); ++x) {
            COLORREF c = cap.Pixel(x, y);
            row[size_t(x)] = (DWORD(GetRValue(c)) << 16) | (DWORD(GetGValue(c)) << 8) | GetBValue(c);
        }
        bOk = std::fwrite(row.data(), cbRow, 1, f) == 1;
    }
    return std::fclose(f) == 0 && bOk;
}

} // namespace

bool SaveScreenshot(const std::string& strUnixPath)
{
    std::string strDos = DosPath(strUnixPath);
    size_t nSlash = strDos.rfind('\\');
    if (nSlash != std::string::npos)
        ::CreateDirectoryA(strDos.substr(0, nSlash).c_str(), nullptr);
    ::DeleteFileA(strDos.c_str());
    if (RunImport(strUnixPath, strDos))
        return true;
    std::string strBmp = strDos.substr(0, strDos.rfind('.')) + ".bmp";
    return WriteBitmap(strBmp);
}
