#include "SimScript.h"

#include "LineReader.h"
#include "Numbers.h"
#include "SelfSpawn.h"
#include "StdIo.h"
#include "WorldLog.h"

#include <windows.h>

#include <cstdio>
#include <new>

namespace {

const char kPattern[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz+/";

// Longest wait a --sim-sleep or --sim-holder takes: a day, far below INFINITE.
const uint64_t kMaxMs = 86400000ull;
const uint64_t kMaxPairs = 1000000ull;
const DWORD kHolderStartMs = 10000;

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace


bool CSimScript::Unescape(const std::string& strText, std::string& strBytes, std::string& strError)
{
    strBytes.clear();
    for (size_t i = 0; i < strText.size(); ++i)
    {
        char c = strText[i];
        if (c != '\\')
        {
            strBytes += c;
            continue;
        }
        if (i + 1 >= strText.size())
        {
            strError = "lone backslash at the end of \"" + strText + "\"";
            return false;
        }
        char e = strText[++i];
        switch (e)
        {
        case 'r': strBytes += '\r'; break;
        case 'n': strBytes += '\n'; break;
        case 't': strBytes += '\t'; break;
        case '0': strBytes += '\0'; break;
        case 'b': strBytes += '\b'; break;
        case '\\': strBytes += '\\'; break;
        case 'x':
        {
            int nHigh = i + 1 < strText.size() ? HexValue(strText[i + 1]) : -1;
            int nLow = i + 2 < strText.size() ? HexValue(strText[i + 2]) : -1;
            if (nHigh < 0 || nLow < 0)
            {
                strError = "\\x needs two hex digits in \"" + strText + "\"";
                return false;
            }
            strBytes += static_cast<char>(nHigh * 16 + nLow);
            i += 2;
            break;
        }
        default:
            strError = std::string("unknown escape \\") + e + " in \"" + strText + "\"";
            return false;
        }
    }
    return true;
}

std::string CSimScript::MakeBlock(size_t nSize, bool bLines)
{
    std::string str(nSize, '\0');
    for (size_t i = 0; i < nSize; ++i)
        str[i] = (bLines && i % 64 == 63) ? '\n' : kPattern[i % 64];
    return str;
}

bool CSimScript::Parse(const std::vector<std::string>& args, std::string& strError)
{
    m_steps.clear();
    m_bLines = false;
    m_nExitCode = 0;
    for (size_t i = 0; i < args.size(); ++i)
    {
        const std::string& strSwitch = args[i];
        if (strSwitch == "--sim-bytes-lines")
        {
            m_bLines = true;
            continue;
        }
        if (strSwitch == "--sim-echo-stdin")
        {
            m_steps.push_back(Step{StepEchoStdin, 0, std::string()});
            continue;
        }
        if (strSwitch.compare(0, 6, "--sim-") != 0)
        {
            strError = "unexpected argument '" + strSwitch + "' among --sim- switches";
            return false;
        }

        bool bKnown = strSwitch == "--sim-bytes" || strSwitch == "--sim-write" || strSwitch == "--sim-stderr" ||
                      strSwitch == "--sim-interleave" || strSwitch == "--sim-sleep" || strSwitch == "--sim-exit" ||
                      strSwitch == "--sim-holder" || strSwitch == "--sim-poke" || strSwitch == "--sim-world-log" ||
                      strSwitch == "--sim-lines" || strSwitch == "--sim-wait-file";
        if (!bKnown)
        {
            strError = "unknown switch " + strSwitch;
            return false;
        }
        if (i + 1 >= args.size())
        {
            strError = strSwitch + " needs a value";
            return false;
        }
        const std::string& strValue = args[++i];

        Step step{StepSleep, 0, std::string()};
        bool bOk = true;
        if (strSwitch == "--sim-bytes")
        {
            step.kind = StepBytes;
            bOk = ParseUnsigned(strValue, kMaxBytes, step.nValue);
        }
        else if (strSwitch == "--sim-write" || strSwitch == "--sim-stderr")
        {
            step.kind = strSwitch == "--sim-write" ? StepWrite : StepStderr;
            std::string strEscapeError;
            if (!Unescape(strValue, step.strBytes, strEscapeError))
            {
                strError = strSwitch + ": " + strEscapeError;
                return false;
            }
        }
        else if (strSwitch == "--sim-interleave")
        {
            step.kind = StepInterleave;
            bOk = ParseUnsigned(strValue, kMaxPairs, step.nValue);
        }
        else if (strSwitch == "--sim-world-log")
        {
            step.kind = StepWorldLog;
            bOk = ParseUnsigned(strValue, 100000, step.nValue);
        }
        else if (strSwitch == "--sim-wait-file")
        {
            step.kind = StepWaitFile;
            step.strBytes = strValue;
        }
        else if (strSwitch == "--sim-lines")
        {
            // COUNTxLEN, e.g. 1000x10.
            step.kind = StepLines;
            const size_t x = strValue.find('x');
            uint64_t nLen = 0;
            bOk = x != std::string::npos && ParseUnsigned(strValue.substr(0, x), kMaxPairs, step.nValue) &&
                  ParseUnsigned(strValue.substr(x + 1), 1u << 20, nLen) && nLen >= 7;
            step.strBytes.assign(size_t(nLen), '-');
        }
        else if (strSwitch == "--sim-poke")
        {
            step.kind = StepPoke;
            bOk = ParseUnsigned(strValue, UINT32_MAX, step.nValue);
        }
        else if (strSwitch == "--sim-sleep" || strSwitch == "--sim-holder")
        {
            step.kind = strSwitch == "--sim-sleep" ? StepSleep : StepHolder;
            bOk = ParseUnsigned(strValue, kMaxMs, step.nValue);
        }
        else
        {
            // The exit code is a setting, not a step: the last one counts.
            if (!ParseExitCode(strValue, m_nExitCode))
            {
                strError = "bad exit code '" + strValue + "'";
                return false;
            }
            continue;
        }
        if (!bOk)
        {
            strError = "bad value '" + strValue + "' for " + strSwitch;
            return false;
        }
        m_steps.push_back(step);
    }
    return true;
}

bool CSimScript::EchoStdin()
{
    CLineReader reader(GetStdHandle(STD_INPUT_HANDLE));
    std::string strLine;
    while (reader.ReadLine(strLine))
    {
        if (strLine == "quit")
            break;
        if (!WriteOut("got: " + strLine + "\n"))
            return false;
    }
    return true;
}

bool CSimScript::RunStep(const Step& step)
{
    switch (step.kind)
    {
    case StepBytes:
    {
        std::string strBlock;
        try
        {
            strBlock = MakeBlock(static_cast<size_t>(step.nValue), m_bLines);
        }
        catch (const std::bad_alloc&)
        {
            WriteErrLine("adbsim: no memory for --sim-bytes " + std::to_string(step.nValue));
            return false;
        }
        return WriteOut(strBlock);
    }
    case StepWrite:
        return WriteOut(step.strBytes);
    case StepStderr:
        return WriteErr(step.strBytes);
    case StepInterleave:
        for (uint64_t k = 0; k < step.nValue; ++k)
        {
            std::string strNumber = std::to_string(k);
            if (!WriteOut("out " + strNumber + "\n") || !WriteErr("err " + strNumber + "\n"))
                return false;
        }
        return true;
    case StepSleep:
        Sleep(static_cast<DWORD>(step.nValue));
        return true;
    case StepHolder:
    {
        DWORD nError = 0;
        if (SpawnSelf(L"--sim-holder-child " + std::to_wstring(step.nValue), kHolderStartMs, &nError))
            return true;
        WriteErrLine("adbsim: cannot start the holder process (error " + std::to_string(nError) + ")");
        return false;
    }
    case StepEchoStdin:
        return EchoStdin();
    case StepPoke:
        Poke(step.nValue);
        return true;
    case StepWorldLog:
        return WriteInPieces(MakeWorldLog(static_cast<unsigned>(step.nValue)));
    case StepWaitFile:
        // A test's signal to go on; after a minute without it, the step fails.
        for (int i = 0; GetFileAttributesA(step.strBytes.c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
        {
            if (i == 6000)
            {
                WriteErrLine("adbsim: no file " + step.strBytes + " within a minute");
                return false;
            }
            Sleep(10);
        }
        return true;
    case StepLines:
    {
        // Numbered lines of one length ("0000042-----"), in blocks of about
        // 64 KiB.
        std::string strBlock;
        const size_t nLen = step.strBytes.size();
        for (uint64_t k = 0; k < step.nValue; ++k)
        {
            char szNumber[24];
            snprintf(szNumber, sizeof szNumber, "%07llu", static_cast<unsigned long long>(k));
            strBlock += step.strBytes;
            strBlock.replace(strBlock.size() - nLen, 7, szNumber, 7);
            strBlock += '\n';
            if (strBlock.size() >= 65536)
            {
                if (!WriteOut(strBlock))
                    return false;
                strBlock.clear();
            }
        }
        return WriteOut(strBlock);
    }
    }
    return true;
}

int CSimScript::Run()
{
    for (const Step& step : m_steps)
        if (!RunStep(step))
            return kStepFailed;
    return static_cast<int>(m_nExitCode);
}

int CSimScript::RunHolder(uint32_t nMs, HANDLE hReply)
{
    if (hReply != NULL)
    {
        SetEvent(hReply);
        CloseHandle(hReply);
    }
    Sleep(nMs);
    return 0;
}
