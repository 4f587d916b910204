#pragma once
// CDeviceBox: the drop-down list of devices in the command strip. A system
// combo box made as a Unicode window, so that serials and models show every
// letter adb sends. Its notifications go to the panel; the box keeps no
// state of its own beyond what it shows.
#include <windows.h>

#include <string>
#include <vector>

class CDeviceChoice;

class CDeviceBox {
public:
    ~CDeviceBox();

    bool Create(HWND hParent, UINT nId, HFONT hFont);
    // Shows the choice's entries and selection; touches the control only
    // where something changed, so that a list that does not change does
    // not flicker.
    void Show(const CDeviceChoice& choice);
    // Opens the list with the keyboard in it.
    void Drop();
    bool IsDropped() const;
    int CurSel() const;
    void SetFont(HFONT hFont);
    // Height of the closed box for a strip line of nLineHeight pixels.
    void FitHeight(int nLineHeight);

    HWND m_hWnd = nullptr;

private:
    void FitDroppedWidth();

    std::vector<std::wstring> m_items;
};
