#pragma once
// Forced into the host build of the program's sources: their isspace is
// the one of the ANSI code page under the ".ACP" locale that the program
// sets on Windows, where the no-break space (0xA0) is white space too; the
// host's "C" locale knows only ASCII white space.
#include <cctype>
#include <ctype.h>

int KbAnsiIsSpace(int c);
#define isspace KbAnsiIsSpace
