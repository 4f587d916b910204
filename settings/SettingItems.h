#pragma once
// The kinds of setting: each holds its value, starting at its default, and
// takes a new value from its text form with ParseValue. An item built with
// a section and a non-empty name registers itself in that section.
#include "framework/String.h"
#include "settings/PagedPtrList.h"

class CConfigFile;
class CSettingItem;

// 0x00BBGGRR, the same type as the system's COLORREF.
typedef unsigned long COLORREF;

class CSettingSection {
public:
    // The section appends itself to pConfig's sections (unless pConfig is null).
    CSettingSection(CConfigFile* pConfig, const char* pszName);
    virtual ~CSettingSection();

    CString m_name;                      // brackets included
    CPagedPtrList<CSettingItem> m_items; // not owned
};

class CSettingItem {
public:
    CSettingItem(CSettingSection* pSection, const char* pszName);
    virtual ~CSettingItem();
    // A refused text (false) leaves the item as it was.
    virtual bool ParseValue(const char* pszText) = 0;

    CString m_name;
};

class CStringSetting : public CSettingItem {
public:
    CStringSetting(CSettingSection* pSection, const char* pszName, const char* pszDefault);
    bool ParseValue(const char* pszText) override;

    CString m_value;
};

// A directory, kept with a final backslash; "$\" at the start stands for the
// directory of the running program.
class CPathSetting : public CStringSetting {
public:
    CPathSetting(CSettingSection* pSection, const char* pszName, const char* pszDefault);
    bool ParseValue(const char* pszText) override;
};

class CIntSetting : public CSettingItem {
public:
    CIntSetting(CSettingSection* pSection, const char* pszName, int nValue, int nMin, int nMax);
    bool ParseValue(const char* pszText) override;

    int m_value;
    int m_min;  // the range is inclusive
    int m_max;
};

class CPlacementSetting : public CSettingItem {
public:
    CPlacementSetting(CSettingSection* pSection, const char* pszName,
                      int x, int y, int nWidth, int nHeight, bool bMaximized);
    bool ParseValue(const char* pszText) override;

    int m_x;
    int m_y;
    int m_width;
    int m_height;
    bool m_maximized;
};

class CFontSetting : public CSettingItem {
public:
    CFontSetting(CSettingSection* pSection, const char* pszName,
                 const char* pszFace, int nSize, bool bItalic, bool bBold);
    bool ParseValue(const char* pszText) override;

    CString m_face;
    int m_size;  // points
    bool m_italic;
    bool m_bold;
};

class CColorSetting : public CSettingItem {
public:
    CColorSetting(CSettingSection* pSection, const char* pszName, COLORREF crValue);
    bool ParseValue(const char* pszText) override;

    COLORREF m_value;
};
