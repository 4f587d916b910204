#pragma once
// The clipboard as the test reads and fills it. Another process may hold
// the clipboard open for a moment, so both operations retry for a while.
#include <string>

// Puts the bytes (a NUL is added) on the clipboard as CF_TEXT.
bool PutClipboardText(const std::string& strText);
// The clipboard's CF_TEXT up to its terminating NUL; false when the
// clipboard cannot be opened or holds no text.
bool GetClipboardText(std::string& strText);
