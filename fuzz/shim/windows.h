#pragma once
// The host (Linux) build's stand-in for <windows.h>: only what the
// window-free classes use. Code page conversions go through glibc's iconv
// with the code pages that these machines' Wine uses: OEM 437, ANSI 1252.
// The window calls that those classes' window-bound operations make are
// declared so that the files compile; they are never reached by the host
// programs and abort if they are.
#include <cstddef>
#include <cstdint>

typedef int BOOL;
typedef unsigned int UINT;
typedef uint32_t DWORD;
typedef char16_t WCHAR;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef intptr_t INT_PTR;
typedef intptr_t LPARAM;
typedef uintptr_t WPARAM;
typedef intptr_t LRESULT;
typedef struct HWND__* HWND;
typedef void* HLOCAL;

#define TRUE 1
#define FALSE 0
#define CP_ACP 0
#define CP_OEMCP 1
#define CP_THREAD_ACP 3
#define CP_UTF7 65000
#define CP_UTF8 65001
#define WC_NO_BEST_FIT_CHARS 0x400
#define MAX_DEFAULTCHAR 2
#define MAX_LEADBYTES 12
#define IDOK 1
#define IDCANCEL 2
#define CB_ADDSTRING 0x0143
#define CB_SETCURSEL 0x014E

// Single-byte code pages only (CP_ACP = 1252, CP_OEMCP = 437; 437 and 1252
// may also be named). Same contract as the system's: the count of units or
// bytes written, 0 on failure. Characters the target code page lacks become
// its default character, '?'.
int MultiByteToWideChar(UINT nCodePage, DWORD dwFlags, const char* pSrc, int nSrc, WCHAR* pDst, int nDst);
int WideCharToMultiByte(UINT nCodePage, DWORD dwFlags, const WCHAR* pSrc, int nSrc, char* pDst, int nDst,
                        const char* pDefault, BOOL* pUsedDefault);
BOOL IsDBCSLeadByteEx(UINT nCodePage, unsigned char b);
// 1252 and 437.
UINT GetACP(void);
UINT GetOEMCP(void);
// Case of UTF-16 text, in place, as the system's tables give it.
DWORD CharUpperBuffW(WCHAR* p, DWORD n);
DWORD CharLowerBuffW(WCHAR* p, DWORD n);
typedef struct {
    UINT MaxCharSize;
    unsigned char DefaultChar[MAX_DEFAULTCHAR];
    unsigned char LeadByte[MAX_LEADBYTES];
} CPINFO;
// Both code pages are single-byte with the default character '?'.
BOOL GetCPInfo(UINT nCodePage, CPINFO* pInfo);

// Not available on the host: they abort.
LRESULT SendMessageA(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);
void* LocalLock(HLOCAL h);
BOOL LocalUnlock(HLOCAL h);
HLOCAL LocalFree(HLOCAL h);
