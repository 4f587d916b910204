#pragma once
// The busy flag: set while a command-runner run is active. It gates Enter,
// F1 and Ctrl-B, turns the lamp red and makes quitting ask. Reader threads
// write it, the user-interface thread reads it.
#include <atomic>

extern std::atomic<bool> g_bBusy;
