#pragma once
// The pipe that carries a child's output and error to the reader. Its read
// end never makes the reader wait: a child killed in the middle of a large
// write may leave bytes counted as waiting that never arrive, and the
// parent's copy of the write end keeps the pipe from breaking.
#include <windows.h>

// Makes the pipe, both ends non-inheritable, the read end in no-wait mode.
// cbBuffer is the size the system is asked to give the pipe.
bool CreateOutputPipe(HANDLE& hRead, HANDLE& hWrite, DWORD cbBuffer);

// Reads at most cbMax bytes of what the pipe holds now into p and returns
// how many; 0 when it holds nothing, when the other end has closed, or on
// an error. Never waits for a writer.
DWORD ReadWaiting(HANDLE hRead, char* p, DWORD cbMax);
