#pragma once
// What the screen shows, copied in one piece from the screen's device
// context: reading pixel by pixel would cost a round trip to the display
// for each of them.
#include <windows.h>

#include <string>
#include <vector>

class CScreenCapture {
public:
    // Copies the rectangle (screen coordinates); false if the copy failed.
    bool Grab(const RECT& rc);

    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    // The colour at (x, y) relative to the grabbed rectangle, as a COLORREF.
    COLORREF Pixel(int x, int y) const;
    // How many pixels of the sub-rectangle (relative coordinates, clipped to
    // the capture) have exactly the colour cr.
    int Count(const RECT& rc, COLORREF cr) const;
    // Same size and every pixel the same.
    bool SameAs(const CScreenCapture& other) const
    {
        return m_nWidth == other.m_nWidth && m_nHeight == other.m_nHeight && m_bits == other.m_bits;
    }
    // The bounding box of all pixels of colour cr; false when there is none.
    bool Bounds(COLORREF cr, RECT& rcOut) const;

private:
    int m_nWidth = 0;
    int m_nHeight = 0;
    std::vector<DWORD> m_bits; // top-down rows of 0x00RRGGBB
};

// Saves the whole screen as a picture for people to look at; false (and
// nothing written) when neither ImageMagick nor the fallback works.
bool SaveScreenshot(const std::string& strUnixPath);
