#include "SimDeviceTable.h"

#include "SimDevice.h"
#include "StdIo.h"

#include <windows.h>

#include <vector>

namespace {

const char* const kSampleDevices =
    "emulator-5554\tdevice product:sdk_gphone64_x86_64 model:sdk_gphone64_x86_64 device:emulator64_x86_64\n"
    "9B0AY1F2K\tdevice usb:1-2 product:oriole model:Pixel_6 device:oriole\n"
    "R58M123ABC\tunauthorized usb:1-1\n";

SimDeviceInfo DefaultDevice()
{
    SimDeviceInfo d;
    d.strSerial = SimDevice::kSerial;
    d.strState = "device";
    d.strProduct = SimDevice::kProduct;
    d.strModel = SimDevice::kModel;
    d.strDevice = SimDevice::kDevice;
    d.strTransportId = SimDevice::kTransportId;
    return d;
}

SimDeviceInfo& CurrentDevice()
{
    static SimDeviceInfo s_device = DefaultDevice();
    return s_device;
}

// The file's bytes; false when it cannot be read (a missing file lists no
// device). A file that a test is replacing at this moment is tried again.
bool ReadWhole(const std::wstring& strPath, std::string& strText)
{
    for (int nTry = 0; nTry < 20; ++nTry)
    {
        HANDLE h = CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
        {
            DWORD e = GetLastError();
            if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND)
                return false;
            Sleep(10);
            continue;
        }
        strText.clear();
        char buf[4096];
        DWORD n = 0;
        while (ReadFile(h, buf, sizeof(buf), &n, nullptr) && n > 0 && strText.size() < (1u << 20))
            strText.append(buf, n);
        CloseHandle(h);
        return true;
    }
    return false;
}

bool IsEmulator(const SimDeviceInfo& d)
{
    return d.strSerial.compare(0, 9, "emulator-") == 0;
}

bool Ready(const SimDeviceInfo& d)
{
    if (d.strState == "device")
        return true;
    if (d.strState == "unauthorized")
        WriteErrLine("error: device unauthorized.\r\n"
                     "This adb server's $ADB_VENDOR_KEYS is not set\r\n"
                     "Try 'adb kill-server' if that seems wrong.\r\n"
                     "Otherwise check for a confirmation dialog on your device.");
    else if (d.strState == "offline")
        WriteErrLine("error: device offline");
    else
        WriteErrLine("error: device still " + d.strState);
    return false;
}

} // namespace

void CSimDeviceTable::Load()
{
    m_devices.clear();
    std::string strEnv = GetEnv("ADBSIM_DEVICES");
    if (strEnv.empty())
    {
        m_devices.push_back(DefaultDevice());
        return;
    }
    if (strEnv == "sample")
    {
        Parse(kSampleDevices);
        return;
    }
    std::string strText;
    if (ReadWhole(WidenUtf8(strEnv), strText))
        Parse(strText);
}

void CSimDeviceTable::Parse(const std::string& strText)
{
    m_devices.clear();
    size_t nPos = 0;
    int nLine = 0;
    while (nPos < strText.size())
    {
        size_t nEnd = strText.find('\n', nPos);
        if (nEnd == std::string::npos)
            nEnd = strText.size();
        std::string strLine = strText.substr(nPos, nEnd - nPos);
        nPos = nEnd + 1;
        ++nLine;
        if (!strLine.empty() && strLine.back() == '\r')
            strLine.pop_back();
        if (strLine.empty() || strLine[0] == '#')
            continue;
        size_t nTab = strLine.find('\t');
        if (nTab == std::string::npos)
            nTab = strLine.find(' ');
        if (nTab == std::string::npos || nTab == 0)
            continue;
        SimDeviceInfo d;
        d.strSerial = strLine.substr(0, nTab);
        std::vector<std::string> words;
        std::string strWord;
        for (size_t i = nTab + 1; i <= strLine.size(); ++i)
        {
            if (i == strLine.size() || strLine[i] == ' ' || strLine[i] == '\t')
            {
                if (!strWord.empty())
                    words.push_back(strWord);
                strWord.clear();
            }
            else
                strWord += strLine[i];
        }
        if (words.empty())
            continue;
        d.strState = words[0];
        for (size_t i = 1; i < words.size(); ++i)
        {
            const std::string& w = words[i];
            size_t nColon = w.find(':');
            if (nColon == std::string::npos)
                continue;
            std::string strKey = w.substr(0, nColon), strValue = w.substr(nColon + 1);
            if (strKey == "usb")
                d.strUsb = strValue;
            else if (strKey == "product")
                d.strProduct = strValue;
            else if (strKey == "model")
                d.strModel = strValue;
            else if (strKey == "device")
                d.strDevice = strValue;
            else if (strKey == "transport_id")
                d.strTransportId = strValue;
        }
        if (d.strTransportId.empty())
            d.strTransportId = std::to_string(nLine);
        m_devices.push_back(d);
    }
}

std::string CSimDeviceTable::Listing(bool bLong) const
{
    std::string str;
    for (const SimDeviceInfo& d : m_devices)
    {
        if (!bLong)
        {
            str += d.strSerial + "\t" + d.strState + "\n";
            continue;
        }
        std::string strLine = d.strSerial;
        if (strLine.size() < 22)
            strLine.resize(22, ' ');
        strLine += " " + d.strState;
        if (!d.strUsb.empty())
            strLine += " usb:" + d.strUsb;
        // adb knows a device's names only once it has been let in.
        if (d.strState == "device")
        {
            if (!d.strProduct.empty())
                strLine += " product:" + d.strProduct;
            if (!d.strModel.empty())
                strLine += " model:" + d.strModel;
            if (!d.strDevice.empty())
                strLine += " device:" + d.strDevice;
        }
        str += strLine + " transport_id:" + d.strTransportId + "\n";
    }
    return str;
}

const SimDeviceInfo* CSimDeviceTable::Select(const std::string& strSerial, const std::string& strTransportId,
                                             bool bUsb, bool bEmulator) const
{
    const SimDeviceInfo* pFound = nullptr;
    if (!strSerial.empty())
    {
        for (const SimDeviceInfo& d : m_devices)
            if (d.strSerial == strSerial)
            {
                pFound = &d;
                break;
            }
        if (pFound == nullptr)
        {
            WriteErrLine("error: device '" + strSerial + "' not found");
            return nullptr;
        }
    }
    else if (!strTransportId.empty())
    {
        for (const SimDeviceInfo& d : m_devices)
            if (d.strTransportId == strTransportId)
                pFound = &d;
        if (pFound == nullptr)
        {
            WriteErrLine("error: no device with transport id '" + strTransportId + "'");
            return nullptr;
        }
    }
    else
    {
        size_t nCount = 0;
        for (const SimDeviceInfo& d : m_devices)
            if ((!bUsb || !IsEmulator(d)) && (!bEmulator || IsEmulator(d)))
            {
                pFound = &d;
                ++nCount;
            }
        const char* pszWhat = bUsb ? "device" : bEmulator ? "emulator" : "device/emulator";
        if (nCount == 0)
        {
            WriteErrLine(std::string("error: no ") + (bUsb ? "devices" : bEmulator ? "emulators" : "devices/emulators") +
                         " found");
            return nullptr;
        }
        if (nCount > 1)
        {
            WriteErrLine(std::string("error: more than one ") + pszWhat);
            return nullptr;
        }
    }
    return Ready(*pFound) ? pFound : nullptr;
}

std::wstring CSimDeviceTable::WatchFolder()
{
    std::string strEnv = GetEnv("ADBSIM_DEVICES");
    if (strEnv.empty() || strEnv == "sample")
        return std::wstring();
    std::wstring strPath = WidenUtf8(strEnv);
    size_t nSlash = strPath.find_last_of(L"\\/");
    return nSlash == std::wstring::npos ? std::wstring(L".") : strPath.substr(0, nSlash + 1);
}

namespace SimDevice {

const SimDeviceInfo& Current()
{
    return CurrentDevice();
}

void SetCurrent(const SimDeviceInfo& device)
{
    CurrentDevice() = device;
}

} // namespace SimDevice
