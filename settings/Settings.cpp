#include "settings/Settings.h"

#include <climits>

namespace {

// The system's CW_USEDEFAULT, 0x80000000.
const int kUseDefault = INT_MIN;

} // namespace

// The items get no section and no name: they are reached as members, and
// none is registered in m_items.
CSettings::CSettings(CConfigFile* pConfig, const char* pszName)
    : CSettingSection(pConfig, pszName),
      AdbDirectory(nullptr, nullptr, ""),
      BufferMegabytes(nullptr, nullptr, 4, 1, 64),
      WindowPlacement(nullptr, nullptr, kUseDefault, kUseDefault, kUseDefault, kUseDefault, false),
      ScreenFont(nullptr, nullptr, "Courier", 10, false, false),
      CommandFont(nullptr, nullptr, "Arial", 9, false, false),
      BackColor(nullptr, nullptr, 0x000000),
      TextColor(nullptr, nullptr, 0xF0F0F0),
      ErrorColor(nullptr, nullptr, 0x0000FF),
      EchoColor(nullptr, nullptr, 0x00FFFF),
      InfoColor(nullptr, nullptr, 0xFFFF80),
      FindBackColor(nullptr, nullptr, 0xFFFFFF),
      FindTextColor(nullptr, nullptr, 0x000000),
      MarkBackColor(nullptr, nullptr, 0x3F3F3F)
{
}
