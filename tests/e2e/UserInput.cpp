#include "UserInput.h"

#include "../support/Wait.h"

#include <cstdlib>
#include <vector>

namespace {

bool IsExtendedKey(WORD vk)
{
    switch (vk) {
    case VK_PRIOR: case VK_NEXT: case VK_END: case VK_HOME:
    case VK_LEFT: case VK_UP: case VK_RIGHT: case VK_DOWN:
    case VK_INSERT: case VK_DELETE: case VK_RCONTROL: case VK_RMENU:
    case VK_DIVIDE: case VK_NUMLOCK:
        return true;
    default:
        return false;
    }
}

INPUT KeyInput(WORD vk, bool bUp)
{
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = WORD(::MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = (bUp ? KEYEVENTF_KEYUP : 0) | (IsExtendedKey(vk) ? KEYEVENTF_EXTENDEDKEY : 0);
    return in;
}

INPUT UnicodeInput(wchar_t ch, bool bUp)
{
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wScan = ch;
    in.ki.dwFlags = KEYEVENTF_UNICODE | (bUp ? KEYEVENTF_KEYUP : 0);
    return in;
}

void Send(std::vector<INPUT>& inputs)
{
    if (!inputs.empty())
        ::SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT));
}

// Absolute coordinates run from 0 to 65535 over the screen; rounding up
// makes the system's scaling back land on the wanted pixel.
INPUT MouseInput(POINT pt, DWORD dwButton)
{
    int cx = ::GetSystemMetrics(SM_CXSCREEN);
    int cy = ::GetSystemMetrics(SM_CYSCREEN);
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = cx > 0 ? LONG((LONGLONG(pt.x) * 65536 + cx - 1) / cx) : 0;
    in.mi.dy = cy > 0 ? LONG((LONGLONG(pt.y) * 65536 + cy - 1) / cy) : 0;
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | dwButton;
    return in;
}

// Every button event carries its own position: under Wine the display's
// pointer catches up with a move later and may report an older position
// in between, so a button event without one could land elsewhere.
void SendMouseButtons(POINT pt, DWORD dwDown, DWORD dwUp, int nTimes)
{
    std::vector<INPUT> inputs;
    for (int i = 0; i < nTimes; ++i) {
        inputs.push_back(MouseInput(pt, dwDown));
        inputs.push_back(MouseInput(pt, dwUp));
    }
    Send(inputs);
}

} // namespace

namespace UserInput {

void KeyDown(WORD vk)
{
    std::vector<INPUT> in { KeyInput(vk, false) };
    Send(in);
}

void KeyUp(WORD vk)
{
    std::vector<INPUT> in { KeyInput(vk, true) };
    Send(in);
}

void Press(WORD vk)
{
    std::vector<INPUT> in { KeyInput(vk, false), KeyInput(vk, true) };
    Send(in);
}

void Chord(std::initializer_list<WORD> mods, WORD vk)
{
    std::vector<INPUT> in;
    for (WORD m : mods)
        in.push_back(KeyInput(m, false));
    in.push_back(KeyInput(vk, false));
    in.push_back(KeyInput(vk, true));
    for (auto it = std::rbegin(mods); it != std::rend(mods); ++it)
        in.push_back(KeyInput(*it, true));
    Send(in);
}

void TypeText(const char* pszText)
{
    std::vector<INPUT> in;
    for (const char* p = pszText; *p; ++p) {
        SHORT scan = ::VkKeyScanA(*p);
        // Only plain and shifted keys: a character that needs Ctrl or Alt
        // would arrive as a command key.
        if (scan != -1 && (scan & 0x0600) == 0) {
            bool bShift = (scan & 0x0100) != 0;
            WORD vk = WORD(scan & 0xFF);
            if (bShift)
                in.push_back(KeyInput(VK_SHIFT, false));
            in.push_back(KeyInput(vk, false));
            in.push_back(KeyInput(vk, true));
            if (bShift)
                in.push_back(KeyInput(VK_SHIFT, true));
        } else {
            wchar_t wc = 0;
            ::MultiByteToWideChar(CP_ACP, 0, p, 1, &wc, 1);
            in.push_back(UnicodeInput(wc, false));
            in.push_back(UnicodeInput(wc, true));
        }
    }
    Send(in);
}

void TypeWide(const std::wstring& strText)
{
    for (wchar_t wc : strText) {
        if (wc < 0x80) {
            const char sz[2] = { char(wc), 0 };
            TypeText(sz);
            continue;
        }
        std::vector<INPUT> in { UnicodeInput(wc, false), UnicodeInput(wc, true) };
        Send(in);
    }
}

bool MoveMouse(POINT pt)
{
    std::vector<INPUT> in { MouseInput(pt, 0) };
    Send(in);
    // Wait until the pointer rests there, so that hover effects and the
    // next events start from the right place.
    bool bThere = false;
    DWORD dwSince = 0;
    return WaitUntil([&] {
        POINT now = {};
        ::GetCursorPos(&now);
        if (std::abs(now.x - pt.x) > 1 || std::abs(now.y - pt.y) > 1) {
            bThere = false;
            return false;
        }
        if (!bThere) {
            bThere = true;
            dwSince = ::GetTickCount();
        }
        return ::GetTickCount() - dwSince >= 10;
    }, 2000);
}

void MiddleClick(POINT pt, bool bWithCtrl)
{
    MoveMouse(pt);
    if (bWithCtrl)
        KeyDown(VK_CONTROL);
    SendMouseButtons(pt, MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP, 1);
    if (bWithCtrl)
        KeyUp(VK_CONTROL);
}

void LeftClick(POINT pt)
{
    MoveMouse(pt);
    SendMouseButtons(pt, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, 1);
}

void LeftDoubleClick(POINT pt)
{
    MoveMouse(pt);
    SendMouseButtons(pt, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, 2);
}

void Wheel(POINT pt, int nDelta)
{
    MoveMouse(pt);
    INPUT in = MouseInput(pt, MOUSEEVENTF_WHEEL);
    in.mi.mouseData = DWORD(nDelta);
    ::SendInput(1, &in, sizeof(in));
}

void LeftDrag(POINT ptFrom, POINT ptTo)
{
    MoveMouse(ptFrom);
    std::vector<INPUT> in { MouseInput(ptFrom, MOUSEEVENTF_LEFTDOWN) };
    Send(in);
    const int kSteps = 8;
    for (int i = 1; i <= kSteps; ++i) {
        POINT pt = { ptFrom.x + (ptTo.x - ptFrom.x) * i / kSteps, ptFrom.y + (ptTo.y - ptFrom.y) * i / kSteps };
        MoveMouse(pt);
    }
    in[0] = MouseInput(ptTo, MOUSEEVENTF_LEFTUP);
    Send(in);
}

} // namespace UserInput
