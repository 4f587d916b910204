#pragma once
// CDeviceChoice: the devices adb reports and the one the user has chosen.
// It says what the drop-down list shows, which words every adb command gets
// for the chosen device, and what the lamp and its tip tell. A chosen
// device that goes away stays chosen and is shown as gone; when it comes
// back, commands go to it again. No window.
#include <windows.h>

#include <string>

#include "framework/String.h"
#include "process/DeviceListParser.h"

enum class DeviceReadiness {
    Unknown,    // nothing tracked: the lamp shows only busy or idle
    Ready,
    NotReady,   // none attached, unauthorized, offline, or the chosen one gone
};

class CDeviceChoice {
public:
    // A new list from adb; the choice is kept. True when anything that is
    // shown (items, selection, lamp, tip) changed.
    bool SetList(const CDeviceList& list);
    // Tracking has ended: nothing is known about the devices any more.
    bool SetUntracked();
    bool IsTracked() const { return m_bTracked; }
    const CDeviceList& List() const { return m_list; }

    // The drop-down's entries: the first means "no choice" (adb's own
    // default, the only device), then the devices in adb's order, then the
    // chosen device when it is gone.
    std::wstring ItemText(int nItem) const;
    int ItemCount() const;
    // The entry that stands for the current choice (0 for none).
    int SelectedItem() const;
    // Chooses by entry; false (and nothing changes) for an entry that does
    // not exist.
    bool ChooseItem(int nItem);
    void ClearChoice() { m_bChosen = false; }

    bool HasChoice() const { return m_bChosen; }
    const CDeviceEntry& Chosen() const { return m_chosen; }
    // Index in List() of the chosen device, or -1 when it is gone.
    int ChosenIndex() const;

    // The words that put the chosen device on an adb command, with a blank
    // in front (" -s emulator-5554"), in the code page nCodePage; empty
    // without a choice. A serial with blanks is quoted; a serial that two
    // devices share, or that holds a double quote or a letter outside ASCII,
    // is given as -t and the transport id, when adb reported one.
    CString DeviceArgs(UINT nCodePage) const;

    DeviceReadiness Readiness() const;
    // The state in words, for the lamp's tip.
    std::wstring StatusText() const;

    static std::wstring Widen(const std::string& strUtf8);

private:
    std::wstring EntryText(const CDeviceEntry& e, const wchar_t* pszState) const;
    static std::wstring StateText(const CDeviceEntry& e);

    CDeviceList m_list;
    bool m_bTracked = false;
    bool m_bEverTracked = false;
    bool m_bChosen = false;
    CDeviceEntry m_chosen;
};
