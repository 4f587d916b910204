#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// The test switches, all beginning with "--sim-". The whole list is checked
// before anything runs, so a mistake anywhere runs nothing; then the steps
// run in the order given.
class CSimScript
{
public:
    // Exit code for a bad switch or value.
    static const int kUsageError = 2;
    // Exit code when a step failed: a write that did not go through (the reader
    // has gone), no memory for a block, a holder that could not be started.
    static const int kStepFailed = 3;
    // Largest --sim-bytes block.
    static const uint64_t kMaxBytes = 1ull << 30;

    // Reads the switches from args; false with strError set when they are
    // not well formed.
    bool Parse(const std::vector<std::string>& args, std::string& strError);

    // Runs the steps; returns the process exit code.
    int Run();

    // Turns \r \n \t \0 \b \\ and \xHH into their bytes. False with strError
    // set for any other escape, a lone trailing backslash, or \x without two
    // hex digits.
    static bool Unescape(const std::string& strText, std::string& strBytes, std::string& strError);

    // The --sim-bytes content: a repeating run of 64 visible characters,
    // with a LF as every 64th byte when bLines is set.
    static std::string MakeBlock(size_t nSize, bool bLines);

    // The body of the background process that --sim-holder starts; hReply
    // is set once it runs.
    static int RunHolder(uint32_t nMs, HANDLE hReply);

private:
    enum StepKind
    {
        StepBytes,
        StepWrite,
        StepStderr,
        StepInterleave,
        StepSleep,
        StepHolder,
        StepEchoStdin,
        StepPoke,
        StepWorldLog,
        StepLines,
        StepWaitFile
    };
    struct Step
    {
        StepKind kind;
        uint64_t nValue;
        std::string strBytes;
    };

    bool RunStep(const Step& step);
    static bool EchoStdin();
    // SimPoke.cpp
    static void Poke(uint64_t nHandle);

    std::vector<Step> m_steps;
    bool m_bLines = false;
    uint32_t m_nExitCode = 0;
};
