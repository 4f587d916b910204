#pragma once
// Keyboard and mouse events made the way a user makes them: SendInput puts
// them into the system's input stream, so they reach whichever window has
// the focus (or lies under the cursor), in another process too.
#include <windows.h>

#include <string>

#include <initializer_list>

namespace UserInput {

void KeyDown(WORD vk);
void KeyUp(WORD vk);
// Down and up.
void Press(WORD vk);
// Holds the modifiers, presses the key, releases them in reverse order.
void Chord(std::initializer_list<WORD> mods, WORD vk);
// Types text of the Windows code page key by key; characters that the
// keyboard layout lacks go in as Unicode characters.
void TypeText(const char* pszText);
// Types letters beyond the ANSI code page too: ASCII by its keys, every
// other letter as the Unicode character it is.
void TypeWide(const std::wstring& strText);

// Moves the cursor to a point in screen coordinates; false if the cursor
// did not end up there.
bool MoveMouse(POINT pt);
void MiddleClick(POINT pt, bool bWithCtrl);
void LeftClick(POINT pt);
void LeftDoubleClick(POINT pt);
// Turns the wheel by nDelta (120 per notch, positive away from the user)
// with the pointer at pt.
void Wheel(POINT pt, int nDelta);
// Presses the left button at ptFrom, moves to ptTo in a few steps and
// releases it there.
void LeftDrag(POINT ptFrom, POINT ptTo);

} // namespace UserInput
