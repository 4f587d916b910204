#pragma once
// Plain-text clipboard access. Text goes on the clipboard in the ANSI code
// page (CF_TEXT) and, beside it, as Unicode (CF_UNICODETEXT) with the
// system's locale (CF_LOCALE): otherwise the system would make the Unicode
// text that most programs paste with the code page of the keyboard layout
// active at the time, and a Russian user typing with the English layout
// would paste other letters than the ones copied.
#include <windows.h>

#include "framework/String.h"

namespace Clipboard {
// Puts n bytes (the last of them the terminating NUL) on the clipboard as
// CF_TEXT. Returns false, and leaves the clipboard alone, on any failure.
bool SetText(const char* p, size_t n);
// A movable, shareable block of n bytes for CF_TEXT, or null.
HGLOBAL NewBlock(size_t n);
// Puts a block from NewBlock on the clipboard as CF_TEXT, with its Unicode
// form and the locale, in one opening. The clipboard owns it when this
// succeeds; otherwise the block is freed. False on any failure.
bool PutBlock(HGLOBAL h);
// The Unicode text (CF_UNICODETEXT) of a CF_TEXT block in the ANSI code
// page, in a block of its own; null when memory is short.
HGLOBAL UnicodeBlockOf(HGLOBAL hText);
// The clipboard's CF_TEXT, or an empty text.
CString GetText();
}
