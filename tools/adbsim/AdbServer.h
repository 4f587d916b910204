#pragma once

#include <windows.h>

#include <string>

// The stand-in for adb's background server. There is no socket: a server is
// a background copy of this program that owns a few named kernel objects,
// keyed by the port number so that servers on different ports never meet.
//   Local\adbsim-server-<port>        auto-reset event; its existence means
//                                     "running", setting it counts as a use
//   Local\adbsim-server-<port>-quit   manual-reset event that kill-server sets
//   Local\adbsim-server-<port>-alive  mutex the server owns while it lives
//   Local\adbsim-server-<port>-lock   mutex that clients and the server's
//                                     idle exit take, so a client never finds
//                                     a server that is just going away
// A client holds handles to these objects only while it holds the lock: an
// open handle would keep a name alive after the server has gone.
class CAdbServer
{
public:
    // Like adb's, the server stays up until kill-server unless a test asks
    // for an idle end.
    static const DWORD kDefaultIdleMs = INFINITE;

    explicit CAdbServer(unsigned nPort);

    // Makes sure a server runs, starting one if none does and saying so on
    // standard error the way adb does. Every call counts as a use. False (with
    // adb's failure text printed) when no server could be started.
    bool Connect();

    // Counts as a use if a server runs; starts none.
    void Touch();

    // Whether a server runs now; starts none.
    bool IsRunning() const;

    enum KillResult
    {
        KillStopped,
        KillNotRunning,
        KillFailed
    };
    // Asks the server to stop and waits until it has let go of its objects.
    KillResult Kill();

    // The body of the background process. hReply, when not NULL, is set once
    // the server's objects exist. Returns the process exit code.
    int RunDaemon(HANDLE hReply);

    // The idle time after which a server ends by itself: ADBSIM_IDLE_MS, or
    // never when that is unset or not a number from 1 to 86400000.
    static DWORD IdleMs();

private:
    std::wstring Name(const wchar_t* pszSuffix) const;

    unsigned m_nPort;
};
