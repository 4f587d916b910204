#pragma once

#include <string>
#include <vector>

// push, pull and install as adb prints them: progress lines that end in a
// carriage return while the bytes go, then the summary. The device side is
// imagined: pushed and installed files are read but kept nowhere; a pulled
// file is made from made-up bytes.
int PushFiles(const std::vector<std::string>& args);
int PullFile(const std::vector<std::string>& args);
int InstallPackage(const std::vector<std::string>& args);
