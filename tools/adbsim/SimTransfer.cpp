#include "SimTransfer.h"

#include "DeviceShell.h"
#include "SimDevice.h"
#include "StdIo.h"

#include <windows.h>

#include <cstdio>

namespace {

typedef std::vector<std::string> Args;

// The size a pulled file of the imagined device has.
const unsigned long long kPulledSize = 48213;

bool LocalSize(const std::string& strPath, unsigned long long& nSize)
{
    WIN32_FILE_ATTRIBUTE_DATA fad;
    if (!GetFileAttributesExW(WidenUtf8(strPath).c_str(), GetFileExInfoStandard, &fad) ||
        (fad.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    nSize = (static_cast<unsigned long long>(fad.nFileSizeHigh) << 32) | fad.nFileSizeLow;
    return true;
}

std::string BaseName(const std::string& strPath)
{
    size_t n = strPath.find_last_of("\\/");
    return n == std::string::npos ? strPath : strPath.substr(n + 1);
}

// "[ 25%] /sdcard/x" lines, each ended by CR alone, as adb redraws one line.
bool Progress(const std::string& strName)
{
    for (int nPercent = 0; nPercent <= 100; nPercent += 25)
    {
        char sz[16];
        snprintf(sz, sizeof(sz), "[%3d%%] ", nPercent);
        if (!WriteOut(sz + strName + "\r"))
            return false;
        Sleep(5);
    }
    return true;
}

std::string Rate(unsigned long long nBytes)
{
    char sz[96];
    snprintf(sz, sizeof(sz), "%.1f MB/s (%llu bytes in 0.%03us)", double(nBytes) / 1048576.0 / 0.012, nBytes, 12u);
    return sz;
}

} // namespace

int PushFiles(const Args& args)
{
    if (args.size() < 3)
    {
        WriteErrLine("adb: usage: push requires an argument");
        return 1;
    }
    const std::string& strRemote = args.back();
    unsigned long long nTotal = 0;
    size_t nFiles = 0;
    for (size_t i = 1; i + 1 < args.size(); ++i)
    {
        if (!args[i].empty() && args[i][0] == '-')
            continue;
        unsigned long long nSize = 0;
        if (!LocalSize(args[i], nSize))
        {
            WriteErrLine("adb: error: cannot stat '" + args[i] + "': No such file or directory");
            return 1;
        }
        std::string strTarget = strRemote;
        if (!strTarget.empty() && strTarget.back() == '/')
            strTarget += BaseName(args[i]);
        if (!Progress(strTarget))
            return 1;
        nTotal += nSize;
        ++nFiles;
    }
    std::string strFirst = nFiles == 1 ? args[args.size() - 2] + ": " : std::string();
    WriteOutLine(strFirst + std::to_string(nFiles) + (nFiles == 1 ? " file" : " files") + " pushed, 0 skipped. " +
                 Rate(nTotal));
    return 0;
}

int PullFile(const Args& args)
{
    if (args.size() < 2)
    {
        WriteErrLine("adb: usage: pull requires an argument");
        return 1;
    }
    const std::string& strRemote = args[1];
    const char* pEntries = nullptr;
    SimPathKind kind = SimDevice::Classify(CDeviceShell::ResolvePath("/", strRemote), &pEntries);
    if (kind != SimPathFile)
    {
        WriteErrLine("adb: error: failed to stat remote object '" + strRemote + "': " +
                     (kind == SimPathDenied ? "Permission denied" : kind == SimPathFolder ? "Is a directory"
                                                                                          : "No such file or directory"));
        return 1;
    }
    std::string strLocal = args.size() > 2 ? args[2] : BaseName(strRemote);
    HANDLE h = CreateFileW(WidenUtf8(strLocal).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE)
    {
        WriteErrLine("adb: error: cannot create '" + strLocal + "': Permission denied");
        return 1;
    }
    std::string strBytes(size_t(kPulledSize), 'k');
    DWORD nWritten = 0;
    bool bOk = WriteFile(h, strBytes.data(), DWORD(strBytes.size()), &nWritten, nullptr) && nWritten == strBytes.size();
    CloseHandle(h);
    if (!bOk || !Progress(strRemote))
        return 1;
    WriteOutLine(strRemote + ": 1 file pulled, 0 skipped. " + Rate(kPulledSize));
    return 0;
}

int InstallPackage(const Args& args)
{
    std::string strApk;
    for (size_t i = 1; i < args.size(); ++i)
        if (args[i].empty() || args[i][0] != '-')
            strApk = args[i];
    if (strApk.empty())
    {
        WriteErrLine("adb: need APK file on command line");
        return 1;
    }
    unsigned long long nSize = 0;
    if (!LocalSize(strApk, nSize))
    {
        WriteErrLine("adb: failed to stat " + strApk + ": No such file or directory");
        return 1;
    }
    if (!Progress(BaseName(strApk)))
        return 1;
    WriteOutLine("Performing Streamed Install");
    WriteOutLine("Success");
    return 0;
}
