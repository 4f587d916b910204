#pragma once
// Plain-text clipboard access.
#include <windows.h>

#include "framework/String.h"

namespace Clipboard {
// Puts n bytes (the last of them the terminating NUL) on the clipboard as
// CF_TEXT. Returns false, and leaves the clipboard alone, on any failure.
bool SetText(const char* p, size_t n);
// The clipboard's CF_TEXT, or an empty text.
CString GetText();
}
