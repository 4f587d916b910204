// The real program started at other screen resolutions: LogPixels in the
// prefix's registry, which every Wine process reads when it starts. What a
// user sees is read back from the pixels: the grid's pitch, the glyphs in
// their cells, the command line's text, the strip and the lamp.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "KestrelboxSession.h"
#include "ScreenCapture.h"
#include "UserInput.h"

namespace {

// Sets LogPixels for programs started from now on, and puts the values
// that were there back when it goes.
class CLogPixels {
public:
    explicit CLogPixels(DWORD dwDpi)
    {
        for (CValue& v : m_values) {
            DWORD cb = sizeof(v.dwOld);
            v.bHad = ::RegGetValueA(v.hRoot, v.pszKey, "LogPixels", RRF_RT_REG_DWORD, nullptr, &v.dwOld, &cb) ==
                     ERROR_SUCCESS;
            m_bOk = Write(v, dwDpi) && m_bOk;
        }
    }
    ~CLogPixels()
    {
        for (CValue& v : m_values) {
            if (v.bHad)
                Write(v, v.dwOld);
            else
                ::RegDeleteKeyValueA(v.hRoot, v.pszKey, "LogPixels");
        }
    }
    bool Ok() const { return m_bOk; }

private:
    struct CValue {
        HKEY hRoot;
        const char* pszKey;
        bool bHad;
        DWORD dwOld;
    };
    CValue m_values[2] = {
        { HKEY_CURRENT_USER, "Control Panel\\Desktop", false, 0 },
        { HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts", false, 0 },
    };
    bool m_bOk = true;

    static bool Write(const CValue& v, DWORD dw)
    {
        HKEY hKey;
        if (::RegCreateKeyExA(v.hRoot, v.pszKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hKey, nullptr) != ERROR_SUCCESS)
            return false;
        bool ok = ::RegSetValueExA(hKey, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dw), sizeof(dw)) ==
                  ERROR_SUCCESS;
        ::RegCloseKey(hKey);
        return ok;
    }
};

int Scale(int n, UINT nDpi)
{
    return ::MulDiv(n, int(nDpi), 96);
}

// What the program showed at one resolution.
struct CLook {
    int nColumnPitch = 0;   // pixels from one letter's left edge to the next
    int nRowPitch = 0;      // pixels from one line's capitals to the next line's
    int nBarHeight = 0;     // ink height of "|"
    int nCapHeight = 0;     // ink height of "H"
    // The Find dialog: its client width, its combo box's drop-down list and
    // a radio button's height.
    int nFindWidth = 0;
    int nDropHeight = 0;
    int nRadioHeight = 0;
};

const char kBars[] = "||||||||||||";
const char kCaps[] = "HHHHHHHHHHHH";
const int kCount = 12;

// The first and last pixel rows of [y0, y1) with ink (not the black
// background) in columns [0, cx); false if none.
bool InkRows(const CScreenCapture& cap, int cx, int y0, int y1, int& nTop, int& nBottom)
{
    nTop = nBottom = -1;
    for (int y = std::max(0, y0); y < std::min(y1, cap.Height()); ++y)
        for (int x = 0; x < std::min(cx, cap.Width()); ++x)
            if (cap.Pixel(x, y) != RGB(0, 0, 0)) {
                if (nTop < 0)
                    nTop = y;
                nBottom = y;
                break;
            }
    return nTop >= 0;
}

// The x of each run of ink along pixel row y, from the left.
std::vector<int> InkStarts(const CScreenCapture& cap, int y)
{
    std::vector<int> lefts;
    bool before = false;
    for (int x = 0; x < cap.Width(); ++x) {
        bool ink = cap.Pixel(x, y) != RGB(0, 0, 0);
        if (ink && !before)
            lefts.push_back(x);
        before = ink;
    }
    return lefts;
}

bool EndsWith(const std::string& s, const char* pszEnd)
{
    const size_t n = strlen(pszEnd);
    return s.size() >= n && s.compare(s.size() - n, n, pszEnd) == 0;
}

class ScreenDpi : public ::testing::Test {
protected:
    // Starts the program at nDpi, has the adb imitation print two lines of
    // capitals and one of bars, and reads back what the program drew.
    void LookAt(UINT nDpi, CLook& look)
    {
        CLogPixels pixels(nDpi);
        ASSERT_TRUE(pixels.Ok()) << "LogPixels could not be set";
        CKestrelboxSession kb;
        kb.SetDpi(nDpi);
        std::string strError;
        ASSERT_TRUE(kb.Start(strError)) << strError;
        // An empty line, two lines of capitals, one of bars.
        const std::string line = std::string("--sim-write \\n") + kCaps + "\\n" + kCaps + "\\n" + kBars;
        kb.EnterLine(line.c_str());
        ScreenLines lines;
        auto printed = [](const ScreenLines& l) {
            int n = 0;
            for (const std::string& s : l) {
                ExitLineInfo info;
                n += ParseExitLine(s, info) ? 1 : 0;
            }
            return n >= 2;
        };
        ASSERT_TRUE(kb.WaitForScreen(printed, lines)) << Describe(lines);
        ASSERT_TRUE(kb.WaitLamp(LampColour::Green, 10000));
        int nRow = -1;
        for (int i = 0; i < int(lines.size()) && nRow < 0; ++i)
            if (EndsWith(lines[i], kCaps))
                nRow = i;
        ASSERT_GE(nRow, 1) << Describe(lines);
        ASSERT_LT(nRow + 2, int(lines.size()));
        ASSERT_TRUE(EndsWith(lines[nRow + 2], kBars)) << Describe(lines);
        ASSERT_LT(int(lines.size()), kb.PageLines()) << "the screen scrolled; rows are counted from its top";

        // The grid: the 96-dpi cell scaled; capitals one cell apart and a
        // row apart, each letter inside its cell.
        const SIZE cell = kb.Cell();
        const RECT text = kb.TextArea();
        CScreenCapture cap;
        const int cx = kCount * cell.cx;
        auto band = [&](int nLine, int& nTop, int& nBottom) {
            return InkRows(cap, cx, nLine * cell.cy, (nLine + 1) * cell.cy, nTop, nBottom);
        };
        int top0, bottom0, top1, bottom1, top2, bottom2, t, b;
        // The copy comes from the store; the paint may follow a moment later.
        ASSERT_TRUE(WaitUntil([&] {
            return cap.Grab(text) && band(nRow, top0, bottom0) && band(nRow + 1, top1, bottom1) &&
                   band(nRow + 2, top2, bottom2);
        }, 5000)) << nDpi << " dpi: the three lines are not where the grid puts them";
        EXPECT_FALSE(band(nRow - 1, t, b)) << nDpi << " dpi: the capitals reach into the empty line above them";
        look.nRowPitch = top1 - top0;
        look.nCapHeight = bottom0 - top0 + 1;
        look.nBarHeight = bottom2 - top2 + 1;
        EXPECT_EQ(look.nRowPitch, cell.cy) << nDpi << " dpi";
        EXPECT_LT(look.nCapHeight, cell.cy) << nDpi << " dpi";

        // Across the capitals' cross bars: twelve letters standing apart,
        // one cell from each other; the bars below the same.
        for (int y : { (top0 + bottom0) / 2, (top2 + bottom2) / 2 }) {
            std::vector<int> lefts = InkStarts(cap, y);
            ASSERT_EQ(int(lefts.size()), kCount) << nDpi << " dpi: the letters touch or overlap at y " << y;
            look.nColumnPitch = lefts[1] - lefts[0];
            for (int i = 1; i < kCount; ++i)
                EXPECT_EQ(lefts[i] - lefts[i - 1], cell.cx) << nDpi << " dpi: fixed pitch, letter " << i;
        }

        // The strip: 26 pixels at 96 dpi; the lamp 16 and its disc nearly as wide.
        RECT rcPanel, rcLamp;
        ::GetWindowRect(kb.PanelWnd(), &rcPanel);
        ::GetWindowRect(kb.LampWnd(), &rcLamp);
        EXPECT_EQ(rcPanel.bottom - rcPanel.top, Scale(26, nDpi)) << nDpi << " dpi";
        const int nLamp = rcLamp.right - rcLamp.left;
        EXPECT_EQ(nLamp, rcLamp.bottom - rcLamp.top);
        EXPECT_LE(std::abs(nLamp - Scale(16, nDpi)), Scale(16, nDpi) / 8) << nDpi << " dpi";
        CScreenCapture lamp;
        ASSERT_TRUE(lamp.Grab(rcLamp));
        RECT row = { 0, nLamp / 2, nLamp, nLamp / 2 + 1 };
        const int nDisc = nLamp - lamp.Count(row, ::GetSysColor(COLOR_BTNFACE) & 0xFFFFFF);
        EXPECT_GE(nDisc, nLamp * 8 / 10) << nDpi << " dpi: the disc is drawn at the lamp's size";
        EXPECT_EQ(kb.Lamp(), LampColour::Green);

        // The command line's text, with ascenders and descenders, stands
        // inside the control. The edit draws its border inside its client
        // area; the caret stands after the text, right of the letters read.
        kb.Type("(Wgjpq|[");
        RECT rcEdit;
        ::GetClientRect(kb.EditWnd(), &rcEdit);
        ::MapWindowPoints(kb.EditWnd(), nullptr, reinterpret_cast<POINT*>(&rcEdit), 2);
        CScreenCapture edit;
        COLORREF window = ::GetSysColor(COLOR_WINDOW) & 0xFFFFFF;
        int nTop = -1, nBottom = -1;
        EXPECT_TRUE(WaitUntil([&] {
            if (kb.CommandLineText() != "(Wgjpq|[" || !edit.Grab(rcEdit))
                return false;
            nTop = nBottom = -1;
            for (int yy = 1; yy + 1 < edit.Height(); ++yy)
                for (int x = 3; x < 3 + Scale(20, nDpi); ++x)
                    if (edit.Pixel(x, yy) != window) {
                        if (nTop < 0)
                            nTop = yy;
                        nBottom = yy;
                        break;
                    }
            // Until the letters are all drawn: the edit paints after its text.
            return nTop >= 0 && nBottom - nTop + 1 >= Scale(12, nDpi) * 8 / 10;
        }, 5000)) << nDpi << " dpi: the typed text did not show whole";
        EXPECT_GT(nTop, 1) << nDpi << " dpi: the text touches the top border";
        EXPECT_LT(nBottom, edit.Height() - 2) << nDpi << " dpi: the text touches the bottom border";
        // "(" reaches from above the capitals to below the line: nearly the
        // 9-point font's whole height, unless it is cut.
        EXPECT_GE(nBottom - nTop + 1, Scale(12, nDpi) * 8 / 10) << nDpi << " dpi: the text is cut";

        printf("[ %u dpi ] cell %d x %d, bar %d, capital %d, strip %ld, lamp %d, command text %d of %d pixels\n",
               nDpi, look.nColumnPitch, look.nRowPitch, look.nBarHeight, look.nCapHeight,
               long(rcPanel.bottom - rcPanel.top), nLamp, nBottom - nTop + 1, edit.Height());
        CKestrelboxSession::Screenshot(("dpi-" + std::to_string(nDpi)).c_str());
        kb.Press(VK_ESCAPE);

        // The Find dialog: the dialog manager scales its template's font,
        // controls, drop-down list and radio buttons with the resolution.
        kb.Chord({ VK_CONTROL }, 'F');
        HWND hDlg = kb.WaitForWindow("Find", 5000);
        ASSERT_NE(hDlg, nullptr) << nDpi << " dpi: no Find dialog";
        HWND hCombo = ::GetDlgItem(hDlg, 101);
        RECT rc = {};
        ::GetClientRect(hDlg, &rc);
        look.nFindWidth = rc.right;
        ::SendMessageA(hCombo, CB_GETDROPPEDCONTROLRECT, 0, LPARAM(&rc));
        look.nDropHeight = rc.bottom - rc.top;
        ::GetWindowRect(::GetDlgItem(hDlg, 112), &rc);
        look.nRadioHeight = rc.bottom - rc.top;
        CKestrelboxSession::Screenshot(("dpi-" + std::to_string(nDpi) + "-find").c_str());
        printf("[ %u dpi ] Find dialog %d wide, drop-down %d, radio button %d\n", nDpi, look.nFindWidth,
               look.nDropHeight, look.nRadioHeight);
        kb.Kill();
    }
};

TEST_F(ScreenDpi, GlyphsCellsStripAndLampScaleFrom96To192Dpi)
{
#ifndef _WIN64
    GTEST_SKIP() << "one program carries the repeats per resolution; the 32-bit one runs At144Dpi";
#endif
    CLook base;
    LookAt(96, base);
    ASSERT_FALSE(HasFatalFailure());
    for (UINT dpi : { 120u, 144u, 192u }) {
        CLook look;
        LookAt(dpi, look);
        ASSERT_FALSE(HasFatalFailure());
        EXPECT_LE(std::abs(look.nCapHeight - Scale(base.nCapHeight, dpi)), 1) << dpi << " dpi";
        EXPECT_LE(std::abs(look.nColumnPitch - Scale(base.nColumnPitch, dpi)), 1) << dpi << " dpi";
        EXPECT_LE(std::abs(look.nRowPitch - Scale(base.nRowPitch, dpi)), 1) << dpi << " dpi";
        // Dialog units follow the font, whose sizes hint to whole pixels.
        for (auto pair : { std::make_pair(look.nFindWidth, base.nFindWidth),
                           std::make_pair(look.nDropHeight, base.nDropHeight),
                           std::make_pair(look.nRadioHeight, base.nRadioHeight) })
            EXPECT_NEAR(pair.first, Scale(pair.second, dpi), Scale(pair.second, dpi) / 8 + 1) << dpi << " dpi";
    }
}

TEST_F(ScreenDpi, At144Dpi)
{
    CLook look;
    LookAt(144, look);
}

} // namespace
