#include "Logcat.h"

#include "AdbServer.h"
#include "StdIo.h"

#include <windows.h>

#include <cstdio>

namespace {

struct LogSource
{
    int nPid;
    int nTid;
    char cLevel;
    const char* pszTag;
    const char* pszFormat; // takes the line counter as its one %u
};

const LogSource kSources[] = {
    {512, 540, 'I', "ActivityManager", "Start proc %u:com.android.chrome/u0a123 for service {com.android.chrome/.Sync}"},
    {512, 560, 'D', "ConnectivityService", "requestNetwork for uid/pid:10123/%u activeRequest: null"},
    {1187, 1187, 'I', "chatty", "uid=10123(com.android.chrome) identical %u lines"},
    {512, 633, 'W', "BatteryStats", "Error reading battery statistics (attempt %u)"},
    {398, 421, 'I', "adbd", "host-%u: opening shell service"},
    {512, 541, 'V', "WindowManager", "Relayout Window{a1b2c3 u0 StatusBar}: seq=%u"},
    {2301, 2340, 'E', "AndroidRuntime", "FATAL EXCEPTION: worker-%u (simulated)"},
    {512, 512, 'I', "system_server", "Background concurrent copying GC freed %u(1024KB) AllocSpace objects"},
    {788, 812, 'D', "audio_hw", "out_write: frames %u, latency 40 ms"},
    {512, 589, 'I', "PackageManager", "Package com.example.kestrel codePath changed, scan %u"},
};
const unsigned kSourceCount = sizeof(kSources) / sizeof(kSources[0]);

// The stream touches the server this often, so that the server stays up as
// long as a client is using it.
const DWORD kTouchEveryMs = 100;

} // namespace

CLogcatFeed::CLogcatFeed() : m_nCount(0)
{
}

std::string CLogcatFeed::NextLine()
{
    const LogSource& src = kSources[m_nCount % kSourceCount];
    SYSTEMTIME st;
    GetLocalTime(&st);
    char szMessage[256];
    snprintf(szMessage, sizeof(szMessage), src.pszFormat, m_nCount);
    char szLine[400];
    snprintf(szLine, sizeof(szLine), "%02u-%02u %02u:%02u:%02u.%03u %5d %5d %c %-8s: %s\n",
             st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds, src.nPid, src.nTid,
             src.cLevel, src.pszTag, szMessage);
    ++m_nCount;
    return szLine;
}

int CLogcatFeed::RunEndless(CAdbServer* pServer)
{
    if (!WriteOut("--------- beginning of main\n--------- beginning of system\n"))
        return 1;
    DWORD nLastTouch = GetTickCount();
    for (;;)
    {
        if (!WriteOut(NextLine()))
            return 1;
        DWORD nNow = GetTickCount();
        if (pServer != NULL && nNow - nLastTouch >= kTouchEveryMs)
        {
            pServer->Touch();
            nLastTouch = nNow;
        }
        Sleep(3);
    }
}

int CLogcatFeed::RunDump(unsigned nLines)
{
    std::string str = "--------- beginning of main\n--------- beginning of system\n";
    for (unsigned i = 0; i < nLines; ++i)
        str += NextLine();
    return WriteOut(str) ? 0 : 1;
}
