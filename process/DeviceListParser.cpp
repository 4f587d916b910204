#include "process/DeviceListParser.h"

namespace {

const size_t kHeaderSize = 4;

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

struct CToken {
    size_t nStart;
    size_t nEnd;
};

void TakeValue(CDeviceEntry& entry, const std::string& strKey, const std::string& strValue)
{
    if (strKey == "usb")
        entry.m_strUsb = strValue;
    else if (strKey == "product")
        entry.m_strProduct = strValue;
    else if (strKey == "model")
        entry.m_strModel = strValue;
    else if (strKey == "device")
        entry.m_strDevice = strValue;
    else if (strKey == "transport_id")
        entry.m_strTransportId = strValue;
}

// The key:value words from nFrom on.
void TakeValues(CDeviceEntry& entry, const std::string& strLine, const std::vector<CToken>& tokens, size_t nFrom)
{
    for (size_t i = nFrom; i < tokens.size(); ++i) {
        std::string strWord = strLine.substr(tokens[i].nStart, tokens[i].nEnd - tokens[i].nStart);
        size_t nColon = strWord.find(':');
        if (nColon != std::string::npos && nColon > 0)
            TakeValue(entry, strWord.substr(0, nColon), strWord.substr(nColon + 1));
    }
}

std::string TrimRight(const std::string& s)
{
    size_t n = s.size();
    while (n > 0 && IsBlank(s[n - 1]))
        --n;
    return s.substr(0, n);
}

}

void CDeviceListParser::Reset()
{
    m_strPending.clear();
    m_list.clear();
    m_nSkipped = 0;
}

bool CDeviceListParser::SkipToLineBreak()
{
    size_t n = m_strPending.find('\n');
    if (n == std::string::npos) {
        // The line break may be on its way; a "line" longer than any list
        // can be is dropped, so that what is held stays bounded.
        if (m_strPending.size() <= kMaxPending)
            return false;
        n = m_strPending.size();
    } else {
        ++n;
    }
    m_nSkipped += n;
    m_strPending.erase(0, n);
    return true;
}

int CDeviceListParser::Feed(const char* p, size_t n)
{
    if (n > 0)
        m_strPending.append(p, n);
    int nLists = 0;
    while (m_strPending.size() >= kHeaderSize) {
        size_t nLength = 0;
        bool bHeader = true;
        for (size_t i = 0; i < kHeaderSize && bHeader; ++i) {
            int v = HexValue(m_strPending[i]);
            bHeader = v >= 0;
            nLength = nLength * 16 + size_t(v < 0 ? 0 : v);
        }
        if (!bHeader) {
            if (!SkipToLineBreak())
                break;
            continue;
        }
        if (m_strPending.size() < kHeaderSize + nLength)
            break;
        // Every line of a list ends in a line break: a length that does not
        // end on one was not a length.
        if (nLength > 0 && m_strPending[kHeaderSize + nLength - 1] != '\n') {
            if (!SkipToLineBreak())
                break;
            continue;
        }
        m_list = ParseListing(m_strPending.data() + kHeaderSize, nLength);
        m_strPending.erase(0, kHeaderSize + nLength);
        ++nLists;
    }
    return nLists;
}

CDeviceList CDeviceListParser::ParseListing(const char* p, size_t n)
{
    CDeviceList list;
    size_t nPos = 0;
    while (nPos < n && list.size() < kMaxDevices) {
        size_t nEnd = nPos;
        while (nEnd < n && p[nEnd] != '\n')
            ++nEnd;
        std::string strLine(p + nPos, nEnd - nPos);
        nPos = nEnd + 1;
        if (!strLine.empty() && strLine.back() == '\r')
            strLine.pop_back();
        CDeviceEntry entry;
        if (ParseLine(strLine, entry))
            list.push_back(entry);
    }
    return list;
}

bool CDeviceListParser::ParseLine(const std::string& strLine, CDeviceEntry& entry)
{
    for (char c : strLine)
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t')
            return false;
    entry = CDeviceEntry();
    // The short form: serial, a tab, the state.
    size_t nTab = strLine.find('\t');
    if (nTab != std::string::npos && nTab > 0 && strLine.find(' ') > nTab) {
        entry.m_strSerial = strLine.substr(0, nTab);
        entry.m_strState = TrimRight(strLine.substr(nTab + 1));
        return !entry.m_strState.empty();
    }
    std::vector<CToken> tokens;
    for (size_t i = 0; i < strLine.size();) {
        while (i < strLine.size() && IsBlank(strLine[i]))
            ++i;
        size_t nStart = i;
        while (i < strLine.size() && !IsBlank(strLine[i]))
            ++i;
        if (i > nStart)
            tokens.push_back({ nStart, i });
    }
    if (tokens.size() < 2)
        return false;
    // A device that the user may not open says so in words of its own.
    for (size_t k = 1; k + 1 < tokens.size(); ++k) {
        if (strLine.compare(tokens[k].nStart, tokens[k].nEnd - tokens[k].nStart, "no") == 0 &&
            strLine.compare(tokens[k + 1].nStart, tokens[k + 1].nEnd - tokens[k + 1].nStart, "permissions") == 0) {
            entry.m_strSerial = TrimRight(strLine.substr(0, tokens[k].nStart));
            entry.m_strState = "no permissions";
            TakeValues(entry, strLine, tokens, k + 2);
            return true;
        }
    }
    // The state is the last word that is not key:value; the serial, which
    // may hold blanks, is everything before it.
    size_t k = tokens.size();
    while (k > 0 && strLine.find(':', tokens[k - 1].nStart) < tokens[k - 1].nEnd)
        --k;
    if (k < 2)
        return false;
    size_t nState = k - 1;
    entry.m_strSerial = TrimRight(strLine.substr(0, tokens[nState].nStart));
    entry.m_strState = strLine.substr(tokens[nState].nStart, tokens[nState].nEnd - tokens[nState].nStart);
    TakeValues(entry, strLine, tokens, nState + 1);
    return !entry.m_strSerial.empty();
}
