#include "commands/DeviceChoice.h"

#include <vector>

namespace {

bool HasCount(const CDeviceList& list, const std::string& strSerial, int nWanted)
{
    int n = 0;
    for (const CDeviceEntry& e : list)
        n += e.m_strSerial == strSerial ? 1 : 0;
    return n == nWanted;
}

bool PlainAscii(const std::string& s)
{
    for (char c : s) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7F || c == '"')
            return false;
    }
    return true;
}

}

std::wstring CDeviceChoice::Widen(const std::string& strUtf8)
{
    if (strUtf8.empty())
        return std::wstring();
    int n = ::MultiByteToWideChar(CP_UTF8, 0, strUtf8.data(), int(strUtf8.size()), nullptr, 0);
    std::wstring w(size_t(n > 0 ? n : 0), L'\0');
    if (n > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, strUtf8.data(), int(strUtf8.size()), &w[0], n);
    return w;
}

bool CDeviceChoice::SetList(const CDeviceList& list)
{
    std::wstring strTip = StatusText();
    int nSelected = SelectedItem();
    bool bChanged = !m_bTracked || list != m_list;
    m_list = list;
    m_bTracked = true;
    m_bEverTracked = true;
    // A device that comes back gets a new transport id: take it, and its
    // state, from the list.
    int n = ChosenIndex();
    if (n >= 0 && m_list[size_t(n)] != m_chosen) {
        m_chosen = m_list[size_t(n)];
        bChanged = true;
    }
    return bChanged || nSelected != SelectedItem() || strTip != StatusText();
}

bool CDeviceChoice::SetUntracked()
{
    bool bChanged = m_bTracked;
    m_bTracked = false;
    m_list.clear();
    return bChanged;
}

int CDeviceChoice::ChosenIndex() const
{
    if (!m_bChosen)
        return -1;
    for (size_t i = 0; i < m_list.size(); ++i)
        if (m_list[i].m_strSerial == m_chosen.m_strSerial && m_list[i].m_strTransportId == m_chosen.m_strTransportId)
            return int(i);
    // Back with a new transport id: found by its serial, unless two
    // devices share it and the id cannot tell them apart.
    if (!HasCount(m_list, m_chosen.m_strSerial, 1))
        return -1;
    for (size_t i = 0; i < m_list.size(); ++i)
        if (m_list[i].m_strSerial == m_chosen.m_strSerial)
            return int(i);
    return -1;
}

int CDeviceChoice::ItemCount() const
{
    bool bGone = m_bChosen && ChosenIndex() < 0;
    return 1 + int(m_list.size()) + (bGone ? 1 : 0);
}

int CDeviceChoice::SelectedItem() const
{
    if (!m_bChosen)
        return 0;
    int n = ChosenIndex();
    return n >= 0 ? n + 1 : int(m_list.size()) + 1;
}

std::wstring CDeviceChoice::EntryText(const CDeviceEntry& e, const wchar_t* pszState) const
{
    std::wstring s = Widen(e.m_strSerial);
    if (!e.m_strModel.empty())
        s += L"  " + Widen(e.m_strModel);
    s += L"  (";
    s += pszState ? std::wstring(pszState) : Widen(e.m_strState);
    s += L")";
    return s;
}

std::wstring CDeviceChoice::ItemText(int nItem) const
{
    if (nItem == 0)
        return L"Any device (adb's default)";
    if (nItem > 0 && size_t(nItem) <= m_list.size())
        return EntryText(m_list[size_t(nItem - 1)], nullptr);
    if (nItem == int(m_list.size()) + 1 && m_bChosen && ChosenIndex() < 0)
        return EntryText(m_chosen, L"gone");
    return std::wstring();
}

bool CDeviceChoice::ChooseItem(int nItem)
{
    if (nItem < 0 || nItem >= ItemCount())
        return false;
    if (nItem == 0)
        m_bChosen = false;
    else if (size_t(nItem) <= m_list.size()) {
        m_bChosen = true;
        m_chosen = m_list[size_t(nItem - 1)];
    }
    // The last entry of a gone device keeps the choice as it is.
    return true;
}

CString CDeviceChoice::DeviceArgs(UINT nCodePage) const
{
    if (!m_bChosen)
        return CString();
    const std::string& strSerial = m_chosen.m_strSerial;
    bool bShared = ChosenIndex() >= 0 && !HasCount(m_list, strSerial, 1);
    if (!m_chosen.m_strTransportId.empty() && (bShared || !PlainAscii(strSerial)))
        return CString((" -t " + m_chosen.m_strTransportId).c_str());
    std::string strArg = strSerial;
    if (!PlainAscii(strSerial)) {
        // No id to fall back on: the letters as the code page has them.
        std::wstring w = Widen(strSerial);
        int n = ::WideCharToMultiByte(nCodePage, 0, w.c_str(), int(w.size()), nullptr, 0, nullptr, nullptr);
        std::vector<char> narrow(size_t(n > 0 ? n : 0) + 1, '\0');
        if (n > 0)
            ::WideCharToMultiByte(nCodePage, 0, w.c_str(), int(w.size()), narrow.data(), n, nullptr, nullptr);
        strArg.assign(narrow.data());
        for (char& c : strArg)
            if (c == '"' || static_cast<unsigned char>(c) < 0x20)
                c = '?';
    }
    if (strArg.find(' ') != std::string::npos || strArg.find('\t') != std::string::npos)
        strArg = "\"" + strArg + "\"";
    return CString((" -s " + strArg).c_str());
}

DeviceReadiness CDeviceChoice::Readiness() const
{
    if (!m_bTracked)
        return DeviceReadiness::Unknown;
    if (m_bChosen) {
        int n = ChosenIndex();
        return n >= 0 && m_list[size_t(n)].IsReady() ? DeviceReadiness::Ready : DeviceReadiness::NotReady;
    }
    if (m_list.empty())
        return DeviceReadiness::NotReady;
    for (const CDeviceEntry& e : m_list)
        if (!e.IsReady())
            return DeviceReadiness::NotReady;
    return DeviceReadiness::Ready;
}

std::wstring CDeviceChoice::StateText(const CDeviceEntry& e)
{
    std::wstring s = Widen(e.m_strSerial) + L": ";
    if (e.m_strState == "unauthorized")
        return s + L"unauthorized \x2014 allow USB debugging on the device";
    if (e.m_strState == "offline")
        return s + L"offline \x2014 reconnect it, or restart adb with kill-server";
    if (e.m_strState == "no permissions")
        return s + L"no permissions \x2014 the system does not let adb open it";
    return s + Widen(e.m_strState) + L" \x2014 not ready for commands";
}

std::wstring CDeviceChoice::StatusText() const
{
    if (!m_bTracked)
        return m_bEverTracked ? L"Devices not tracked: adb's server has stopped; the next adb command starts it again"
                              : L"Devices not tracked yet";
    if (m_bChosen) {
        int n = ChosenIndex();
        if (n < 0)
            return Widen(m_chosen.m_strSerial) +
                   L": not attached \x2014 commands go to it again when it is back; Ctrl+D chooses another";
        const CDeviceEntry& e = m_list[size_t(n)];
        if (!e.IsReady())
            return StateText(e);
        return Widen(e.m_strSerial) + (e.m_strModel.empty() ? L"" : L" (" + Widen(e.m_strModel) + L")") +
               L": ready \x2014 every command goes to it";
    }
    if (m_list.empty())
        return L"No device attached \x2014 connect a device or start an emulator";
    for (const CDeviceEntry& e : m_list)
        if (!e.IsReady())
            return StateText(e);
    if (m_list.size() == 1) {
        const CDeviceEntry& e = m_list[0];
        return Widen(e.m_strSerial) + (e.m_strModel.empty() ? L"" : L" (" + Widen(e.m_strModel) + L")") +
               L": ready";
    }
    return std::to_wstring(m_list.size()) + L" devices ready \x2014 Ctrl+D chooses one for every command";
}
