// The reader of `adb track-devices -l` on any bytes, cut into reads at any
// points. Properties: the lists found and the newest one do not depend on
// where the reads end; every entry has a serial and a state without control
// characters; no more than the cap, and what is held stays bounded. Lists
// framed as adb frames them come back as they were written.
#include <string>
#include <vector>

#include "process/DeviceListParser.h"
#include "targets/FuzzCheck.h"

namespace {

void CheckEntries(const CDeviceList& list)
{
    KB_CHECK(list.size() <= CDeviceListParser::kMaxDevices);
    for (const CDeviceEntry& e : list) {
        KB_CHECK(!e.m_strSerial.empty());
        KB_CHECK(!e.m_strState.empty());
        for (char c : e.m_strSerial + e.m_strState)
            KB_CHECK(static_cast<unsigned char>(c) >= 0x20 || c == '\t');
    }
}

std::string Word(FuzzedDataProvider& in, const char* pszLetters)
{
    std::string s;
    size_t n = in.ConsumeIntegralInRange<size_t>(1, 12);
    size_t nLetters = strlen(pszLetters);
    for (size_t i = 0; i < n; ++i)
        s += pszLetters[in.ConsumeIntegralInRange<size_t>(0, nLetters - 1)];
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    std::vector<size_t> cuts(in.ConsumeIntegralInRange<size_t>(0, 8));
    for (size_t& k : cuts)
        k = in.ConsumeIntegralInRange<size_t>(0, 4096);
    // Some lists as adb writes them, then the rest of the input as it comes.
    std::vector<CDeviceList> written;
    std::string stream;
    size_t nLists = in.ConsumeIntegralInRange<size_t>(0, 3);
    static const char* const s_states[] = { "device", "offline", "unauthorized", "bootloader" };
    for (size_t l = 0; l < nLists; ++l) {
        CDeviceList list;
        std::string text;
        size_t nDevices = in.ConsumeIntegralInRange<size_t>(0, 4);
        for (size_t d = 0; d < nDevices; ++d) {
            CDeviceEntry e;
            e.m_strSerial = Word(in, "ABCZaz019.:-_");
            e.m_strState = s_states[in.ConsumeIntegralInRange<size_t>(0, 3)];
            e.m_strModel = Word(in, "Pixel_0123");
            e.m_strTransportId = std::to_string(in.ConsumeIntegralInRange<unsigned>(1, 999));
            std::string line = e.m_strSerial;
            line.resize(line.size() < 22 ? 22 : line.size(), ' ');
            text += line + " " + e.m_strState + " model:" + e.m_strModel + " transport_id:" + e.m_strTransportId + "\n";
            list.push_back(e);
        }
        char header[8];
        snprintf(header, sizeof header, "%04x", unsigned(text.size()));
        stream += header + text;
        written.push_back(list);
    }
    CDeviceListParser framed;
    KB_CHECK(framed.Feed(stream.data(), stream.size()) == int(nLists));
    if (nLists > 0)
        KB_CHECK(framed.List() == written.back());

    stream += in.ConsumeRemainingBytesAsString();
    CDeviceListParser whole;
    int nWhole = whole.Feed(stream.data(), stream.size());
    CheckEntries(whole.List());
    KB_CHECK(whole.Pending() <= CDeviceListParser::kMaxPending + 0);

    CDeviceListParser pieces;
    int nPieces = 0;
    size_t nPos = 0;
    for (size_t k : cuts) {
        size_t nEnd = std::min(stream.size(), nPos + k);
        nPieces += pieces.Feed(stream.data() + nPos, nEnd - nPos);
        CheckEntries(pieces.List());
        nPos = nEnd;
    }
    nPieces += pieces.Feed(stream.data() + nPos, stream.size() - nPos);
    if (nPieces != nWhole || !(pieces.List() == whole.List()) || pieces.Pending() != whole.Pending()) {
        fprintf(stderr, "stream %s: %d lists whole, %d in pieces\n", Escaped(stream).c_str(), nWhole, nPieces);
        KB_CHECK(false);
    }
    return 0;
}
