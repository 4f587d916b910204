#pragma once

#include <string>
#include <vector>

// The devices that the imitated server sees. By default one: the emulator
// that the rest of adbsim describes. ADBSIM_DEVICES names a file that lists
// them instead, one a line in the form of `adb devices -l`, the serial ended
// by a tab (so that a serial may hold blanks):
//   emulator-5554<TAB>device product:sdk_gphone64_x86_64 model:sdk_gphone64_x86_64 device:emulator64_x86_64
//   R58M123ABC<TAB>unauthorized usb:1-1
// Blank lines and lines that begin with '#' are skipped; a device without a
// transport_id: gets its line's number. A test plugs and unplugs devices by
// writing the file again while the program runs; every command reads it
// afresh and a running track-devices writes the new list. A file that does
// not exist lists no device. The value "sample" (not a file) gives three:
// the emulator, a phone and a phone that has not allowed USB debugging.
struct SimDeviceInfo
{
    std::string strSerial;
    std::string strState;
    std::string strUsb;
    std::string strProduct;
    std::string strModel;
    std::string strDevice;
    std::string strTransportId;
};

class CSimDeviceTable
{
public:
    // Reads the device set as it is now.
    void Load();
    // Parses the text of a device file.
    void Parse(const std::string& strText);

    const std::vector<SimDeviceInfo>& Devices() const { return m_devices; }

    // The lines of `adb devices [-l]` (each ending in LF), as the server
    // sends them to `adb track-devices`.
    std::string Listing(bool bLong) const;

    // Picks the device for a command as adb's server does: by serial, by
    // transport id, the only USB device (-d), the only emulator (-e), or the
    // only device. On failure prints adb's error text and returns null. A
    // device that is found but not ready (unauthorized, offline) is an error
    // too, with adb's words for it.
    const SimDeviceInfo* Select(const std::string& strSerial, const std::string& strTransportId, bool bUsb,
                                bool bEmulator) const;

    // The folder to watch for changes of the device file; empty when the
    // set is fixed.
    static std::wstring WatchFolder();

private:
    std::vector<SimDeviceInfo> m_devices;
};

namespace SimDevice {
// The device that this command talks to; the default emulator until a
// command has selected another.
const SimDeviceInfo& Current();
void SetCurrent(const SimDeviceInfo& device);
} // namespace SimDevice
