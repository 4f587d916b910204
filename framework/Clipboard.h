#pragma once
// Plain-text clipboard access.
#include <windows.h>

#include "framework/String.h"

namespace Clipboard {
// Puts n bytes (the last of them the terminating NUL) on the clipboard as
// CF_TEXT. Returns false, and leaves the clipboard alone, on any failure.
bool SetText(const char* p, size_t n);
// A movable, shareable block of n bytes for CF_TEXT, or null.
HGLOBAL NewBlock(size_t n);
// Puts a block from NewBlock on the clipboard as CF_TEXT. The clipboard owns
// it when this succeeds; otherwise the block is freed. False on any failure.
bool PutBlock(HGLOBAL h);
// The clipboard's CF_TEXT, or an empty text.
CString GetText();
}
