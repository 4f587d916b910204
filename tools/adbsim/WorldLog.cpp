#include "WorldLog.h"

#include "StdIo.h"

#include <windows.h>

#include <cstdio>

namespace {

struct WorldSource
{
    int nPid;
    int nTid;
    char cLevel;
    const char* pszTag;
    const char* pszMessage; // UTF-8
};

const WorldSource kWorld[] = {
    {512, 540, 'I', "DisplayManagerService",
     "Display device added: DisplayDeviceInfo{\"\xD0\x92\xD1\x81\xD1\x82\xD1\x80\xD0\xBE\xD0\xB5\xD0\xBD\xD0\xBD\xD1\x8B"
     "\xD0\xB9 \xD1\x8D\xD0\xBA\xD1\x80\xD0\xB0\xD0\xBD\": uniqueId=\"local:0\", 1080 x 2340, modeId 1}"},
    {512, 541, 'I', "DisplayManagerService",
     "Display device added: DisplayDeviceInfo{\"\xE5\x86\x85\xE7\xBD\xAE\xE5\xB1\x8F\xE5\xB9\x95\": "
     "uniqueId=\"local:0\", 1080 x 2340}"},
    {2210, 2255, 'D', "MediaProvider",
     "Scanned /storage/emulated/0/\xD0\x9C\xD1\x83\xD0\xB7\xD1\x8B\xD0\xBA\xD0\xB0/\xD0\x90\xD1\x80\xD0\xB8\xD1\x8F"
     " - \xD0\xA3\xD0\xBB\xD0\xB8\xD1\x86\xD0\xB0 \xD1\x80\xD0\xBE\xD0\xB7.mp3"},
    {3101, 3101, 'I', "chromium",
     "[INFO:CONSOLE(1)] \"\xE4\xBD\xA0\xE5\xA5\xBD\xEF\xBC\x8C\xE4\xB8\x96\xE7\x95\x8C \xF0\x9F\x91\x8B"
     " \xE2\x80\x94 caf\xC3\xA9 Stra\xC3\x9F" "e 5 \xE2\x82\xAC\", source: https://example.test/ (1)"},
    {512, 589, 'W', "PackageManager",
     "\xD0\x9E\xD1\x88\xD0\xB8\xD0\xB1\xD0\xBA\xD0\xB0 \xD1\x83\xD1\x81\xD1\x82\xD0\xB0\xD0\xBD\xD0\xBE\xD0\xB2"
     "\xD0\xBA\xD0\xB8: INSTALL_FAILED_INSUFFICIENT_STORAGE"},
    {1450, 1450, 'I', "Launcher",
     "\xE5\xBA\x94\xE7\x94\xA8\xE5\xB7\xB2\xE6\x9B\xB4\xE6\x96\xB0\xEF\xBC\x9A\xE5\xBE\xAE\xE4\xBF\xA1"
     " 8.0.50 \xE2\x9C\x93"},
    {1450, 1463, 'I', "Emoji", "reactions: \xF0\x9F\x98\x80\xF0\x9F\x98\x83 \xF0\x9F\x91\x8D x3 \xE2\x9D\xA4 x2"},
    {512, 633, 'I', "LocaleManager",
     "locales: Espa\xC3\xB1ol (Espa\xC3\xB1" "a), Fran\xC3\xA7" "ais, \xC2\xAB" "Deutsch\xC2\xBB, "
     "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC"},
    {398, 421, 'I', "adbd", "host-17: opening shell service"},
};
const unsigned kWorldCount = sizeof(kWorld) / sizeof(kWorld[0]);

// The stack trace that every tenth line starts: a long run of lines of one
// crash, some of them beyond 300 bytes.
void AppendCrash(std::string& str, unsigned nLine, const char* pszStamp)
{
    char szHead[128];
    snprintf(szHead, sizeof(szHead), "%s  4242  4242 E AndroidRuntime: ", pszStamp);
    str += szHead;
    str += "FATAL EXCEPTION: main\n";
    str += szHead;
    str += "java.lang.IllegalStateException: \xD0\x9D\xD0\xB5 \xD1\x83\xD0\xB4\xD0\xB0\xD0\xBB\xD0\xBE\xD1\x81\xD1\x8C"
           " \xD0\xBE\xD1\x82\xD0\xBA\xD1\x80\xD1\x8B\xD1\x82\xD1\x8C \xC2\xAB\xD0\xBE\xD1\x82\xD1\x87\xD1\x91\xD1\x82"
           ".pdf\xC2\xBB / \xE6\x97\xA0\xE6\xB3\x95\xE6\x89\x93\xE5\xBC\x80\xE6\x96\x87\xE4\xBB\xB6 \xF0\x9F\x93\x84";
    for (int k = 0; k < 12; ++k)
        str += " \xE2\x80\xA6 \xD0\xBF\xD0\xBE\xD0\xB2\xD1\x82\xD0\xBE\xD1\x80 \xE9\x87\x8D\xE8\xAF\x95";
    str += "\r\n";
    for (unsigned k = 0; k < 24; ++k)
    {
        char szFrame[160];
        snprintf(szFrame, sizeof(szFrame), "\tat com.example.kestrel.\xD0\x9C\xD0\xBE\xD0\xB4\xD1\x83\xD0\xBB\xD1\x8C"
                 ".step%02u(\xE6\xA8\xA1\xE5\x9D\x97.java:%u)", k, 100 + nLine + k);
        str += szHead;
        str += szFrame;
        str += (k % 3 == 2) ? "\r\n" : "\n";
    }
}

} // namespace

std::string MakeWorldLog(unsigned nLines)
{
    std::string str = "--------- beginning of main\n";
    for (unsigned i = 0; i < nLines; ++i)
    {
        char szStamp[32];
        snprintf(szStamp, sizeof(szStamp), "12-08 02:%02u:%02u.%03u", (i / 60) % 60, i % 60, (i * 37) % 1000);
        if (i % 10 == 9)
        {
            AppendCrash(str, i, szStamp);
            continue;
        }
        const WorldSource& src = kWorld[i % kWorldCount];
        char szHead[128];
        snprintf(szHead, sizeof(szHead), "%s %5d %5d %c %-8s: ", szStamp, src.nPid, src.nTid, src.cLevel,
                 src.pszTag);
        str += szHead;
        str += src.pszMessage;
        str += (i % 3 == 2) ? "\r\n" : "\n";
    }
    return str;
}

bool WriteInPieces(const std::string& strText)
{
    static const size_t kSizes[] = {1, 2, 3, 5, 7, 11, 13, 17, 64, 127, 509, 4, 6};
    const size_t nSizes = sizeof(kSizes) / sizeof(kSizes[0]);
    size_t nAt = 0;
    for (unsigned k = 0; nAt < strText.size(); ++k)
    {
        size_t n = kSizes[k % nSizes];
        if (n > strText.size() - nAt)
            n = strText.size() - nAt;
        if (!WriteStd(STD_OUTPUT_HANDLE, strText.data() + nAt, n))
            return false;
        nAt += n;
        // Longer than the reader's 10 ms poll now and then, so that its
        // reads end wherever the pieces do.
        Sleep(k % 5 == 4 ? 12 : 0);
    }
    return true;
}
