#pragma once
// CSettings: the program's one section of settings, each item at its
// built-in default.
#include "settings/SettingItems.h"

class CSettings : public CSettingSection {
public:
    CSettings(CConfigFile* pConfig, const char* pszName);

    CPathSetting AdbDirectory;
    CIntSetting BufferMegabytes;
    CPlacementSetting WindowPlacement;
    CFontSetting ScreenFont;
    CFontSetting CommandFont;
    CColorSetting BackColor;
    CColorSetting TextColor;
    CColorSetting ErrorColor;
    CColorSetting EchoColor;
    CColorSetting InfoColor;
    CColorSetting FindBackColor;
    CColorSetting FindTextColor;
    CColorSetting MarkBackColor;
};
