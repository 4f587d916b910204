#pragma once
// CCommandPanel: the strip under the console screen with the status lamp,
// the prompt of the current mode and the command line.
#include "app/DeviceBox.h"
#include "app/LampWnd.h"
#include "commands/CommandEdit.h"
#include "framework/Gdi.h"

class CCommandPanel : public CWnd {
public:
    ~CCommandPanel() override;

    void SetCommandFont(const char* pszFace, int nPoints, bool bItalic);
    // The window's resolution changed: the font, the command line's height,
    // the lamp and the margins follow it. The command line keeps its text
    // and caret.
    void SetDpi(UINT nDpi);
    // The strip's height: the command line's and the margin above it.
    int StripHeight() const;
    // The same at another resolution, for a layout planned before it.
    int StripHeightAt(UINT nDpi) const;

    // The device list's entries and selection as the choice has them; the
    // list is shown while there is something to choose between (two devices
    // or more) or a choice has been made, else the strip is as it always was.
    void ShowDevices(const CDeviceChoice& choice);
    // Ctrl+D: shows the list if it is hidden and opens it with the keyboard in it.
    void DropDeviceList();
    bool IsDeviceListShown() const { return m_bShowDevices; }

    CFont m_font;
    int m_nEditHeight = 0;
    CLampWnd m_lamp;
    CCommandEdit m_edit;
    // The resolution the strip is drawn at; 0 (the system's) until its
    // owner tells it.
    UINT m_nDpi = 0;
    CDeviceBox m_deviceBox;

protected:
    LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) override;

private:
    int m_nPoints = 0;
    UINT GetDpi() const;
    int EditHeightAt(UINT nDpi) const;
    int OnCreate();
    void OnSize(int cx);
    void OnDeviceCommand(UINT nCode);
    // Shows or hides the list as ShowDevices said, and lays the strip out again.
    void UpdateDeviceListPlace();
    BOOL OnEraseBkgnd(HDC hdc);
    // The prompt column's width and text come from the interpreter of the
    // main window, this panel's parent.
    int GetPromptWidth() const;
    const char* GetPrompt() const;

    int m_cx = 0;
    // The font's average letter width: the device list's sizes follow it.
    int m_nLetterWidth = 0;
    bool m_bWantDevices = false;
    bool m_bShowDevices = false;
};
