#pragma once

#include <string>

// Device log lines in the letters of the device's users, as adb passes them
// on: UTF-8 with Cyrillic, Chinese, accented Latin letters, emoji and a long
// stack trace, in logcat's "threadtime" form. The text is the same on every
// run, so that a test can read it once straight from the pipe and compare.
// Lines end in LF, every third one in CR LF.
std::string MakeWorldLog(unsigned nLines);

// Writes the text to stdout in pieces of changing size (1 to 509 bytes),
// pausing now and then, so that the reader's chunks end inside lines, line
// breaks and UTF-8 sequences. False when a write fails.
bool WriteInPieces(const std::string& strText);
