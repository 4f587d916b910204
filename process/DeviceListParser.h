#pragma once
// CDeviceListParser: reads the stream of `adb track-devices -l`. On every
// change adb writes the whole list: four hex digits of its length, then the
// lines of `adb devices -l`. A list may arrive split across reads, several
// may come in one read, the stream may end in the middle of one, and bytes
// that make no sense are skipped up to the next line break, where the
// parser looks for a list again. No window, no system call.
#include <cstddef>
#include <string>
#include <vector>

// One line of the listing; texts as adb sends them (UTF-8).
struct CDeviceEntry {
    std::string m_strSerial;
    std::string m_strState;
    std::string m_strUsb;
    std::string m_strProduct;
    std::string m_strModel;
    std::string m_strDevice;
    std::string m_strTransportId;

    bool operator==(const CDeviceEntry& o) const
    {
        return m_strSerial == o.m_strSerial && m_strState == o.m_strState && m_strUsb == o.m_strUsb &&
               m_strProduct == o.m_strProduct && m_strModel == o.m_strModel && m_strDevice == o.m_strDevice &&
               m_strTransportId == o.m_strTransportId;
    }
    bool operator!=(const CDeviceEntry& o) const { return !(*this == o); }
    bool IsReady() const { return m_strState == "device"; }
};

typedef std::vector<CDeviceEntry> CDeviceList;

class CDeviceListParser {
public:
    // More lines than this in one list are left out.
    static constexpr size_t kMaxDevices = 256;
    // Bytes held without a line break before they count as garbage: more
    // than the longest list.
    static constexpr size_t kMaxPending = 4 + 0xFFFF;

    // Takes the next bytes of the stream; returns how many whole lists they
    // completed. The newest complete list is List().
    int Feed(const char* p, size_t n);
    const CDeviceList& List() const { return m_list; }
    // Bytes skipped as making no sense, since the start.
    size_t Skipped() const { return m_nSkipped; }
    // Bytes held for a list not yet complete.
    size_t Pending() const { return m_strPending.size(); }
    void Reset();

    // The lines of `adb devices -l` (or of the short form, serial TAB state).
    static CDeviceList ParseListing(const char* p, size_t n);
    // One line without its line break; false for a line that names no
    // serial and state, or holds a control character.
    static bool ParseLine(const std::string& strLine, CDeviceEntry& entry);

private:
    // Drops bytes up to and including the next line break; false (nothing
    // dropped) when there is none yet and what is held is not too long.
    bool SkipToLineBreak();

    std::string m_strPending;
    CDeviceList m_list;
    size_t m_nSkipped = 0;
};
