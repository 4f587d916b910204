#include "SimTrack.h"

#include "AdbServer.h"
#include "SimDeviceTable.h"
#include "StdIo.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// How often the stream looks for a change that no notification reported,
// asks whether the server still runs, and counts as a use of it.
const DWORD kWakeMs = 250;
const DWORD kTouchEveryMs = 1000;

} // namespace

int TrackDevices(CAdbServer& server, bool bLong)
{
    // For the idle benchmark's baseline: an adb that cannot track.
    if (!GetEnv("ADBSIM_NO_TRACK").empty())
    {
        WriteErrLine("adb: unknown command track-devices");
        return 1;
    }
    if (!server.Connect())
        return 1;
    std::wstring strFolder = CSimDeviceTable::WatchFolder();
    HANDLE hChange = INVALID_HANDLE_VALUE;
    if (!strFolder.empty())
        hChange = FindFirstChangeNotificationW(strFolder.c_str(), FALSE,
                                               FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_FILE_NAME |
                                                   FILE_NOTIFY_CHANGE_SIZE);
    std::string strLast;
    bool bFirst = true;
    DWORD nLastTouch = GetTickCount();
    int nCode = 0;
    for (;;)
    {
        CSimDeviceTable table;
        table.Load();
        std::string strList = table.Listing(bLong);
        if (bFirst || strList != strLast)
        {
            char szLength[8];
            snprintf(szLength, sizeof(szLength), "%04x", unsigned(strList.size() & 0xFFFF));
            if (!WriteOut(szLength + strList))
                break;
            strLast = strList;
            bFirst = false;
        }
        if (hChange != INVALID_HANDLE_VALUE)
        {
            if (WaitForSingleObject(hChange, kWakeMs) == WAIT_OBJECT_0)
                FindNextChangeNotification(hChange);
        }
        else
            Sleep(kWakeMs);
        if (!server.IsRunning())
        {
            nCode = 1;
            break;
        }
        DWORD nNow = GetTickCount();
        if (nNow - nLastTouch >= kTouchEveryMs)
        {
            server.Touch();
            nLastTouch = nNow;
        }
    }
    if (hChange != INVALID_HANDLE_VALUE)
        FindCloseChangeNotification(hChange);
    return nCode;
}
