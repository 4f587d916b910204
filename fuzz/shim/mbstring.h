#pragma once
// The host build's multibyte string comparisons. The ANSI code page (1252)
// is single-byte, where the C runtime compares as _stricmp/_strnicmp do
// under the ".ACP" locale: byte by byte, letters folded to lower case the
// way that code page folds them.
#include <cstddef>

int _mbsicmp(const unsigned char* s1, const unsigned char* s2);
int _mbsnbicmp(const unsigned char* s1, const unsigned char* s2, size_t n);
// No lead bytes: the code page is single-byte.
int _ismbblead(unsigned int c);
unsigned int _mbctolower(unsigned int c);
unsigned int _mbctoupper(unsigned int c);
