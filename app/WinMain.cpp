#include <windows.h>

#include "app/KestrelboxApp.h"

// The application object is constructed during static initialisation,
// before the entry point runs.
static CKestrelboxApp s_theApp;

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    return AfxWinMain(hInstance);
}
