#pragma once
// CString: the program's narrow (single-byte code page) string. It owns its
// text, is always zero-terminated and never limits a formatted length.
#include <cstdarg>
#include <string>

class CString {
public:
    CString() = default;
    CString(const char* psz) : m_str(psz ? psz : "") {}
    CString(const char* p, int nLength) : m_str(p ? p : "", p && nLength > 0 ? size_t(nLength) : 0) {}
    CString(char ch, int nRepeat = 1) : m_str(nRepeat > 0 ? size_t(nRepeat) : 0, ch) {}

    int GetLength() const { return int(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    operator const char*() const { return m_str.c_str(); }
    const char* GetString() const { return m_str.c_str(); }
    char GetAt(int i) const { return m_str[size_t(i)]; }
    char operator[](int i) const { return m_str[size_t(i)]; }
    void SetAt(int i, char ch) { m_str[size_t(i)] = ch; }

    CString& operator=(const char* psz) { m_str = psz ? psz : ""; return *this; }
    CString& operator+=(const char* psz) { if (psz) m_str += psz; return *this; }
    CString& operator+=(const CString& s) { m_str += s.m_str; return *this; }
    CString& operator+=(char ch) { m_str += ch; return *this; }
    CString& Append(const char* p, int nLength) { if (p && nLength > 0) m_str.append(p, size_t(nLength)); return *this; }
    friend CString operator+(const CString& a, const CString& b) { CString r(a); r += b; return r; }
    friend CString operator+(const CString& a, const char* b) { CString r(a); r += b; return r; }
    friend CString operator+(const char* a, const CString& b) { CString r(a); r += b; return r; }

    // printf-style; the result may be of any length.
    void Format(const char* pszFormat, ...);
    void FormatV(const char* pszFormat, va_list args);
    void AppendFormat(const char* pszFormat, ...);
    void AppendFormatV(const char* pszFormat, va_list args);

    int Insert(int nIndex, const char* psz);
    int Insert(int nIndex, char ch);
    int Delete(int nIndex, int nCount = 1);
    int Replace(char chOld, char chNew);

    // White space here is blank, tab, CR, LF, VT and FF.
    CString& TrimLeft();
    CString& TrimRight();
    CString& Trim() { TrimRight(); return TrimLeft(); }

    CString Left(int nCount) const;
    CString Mid(int nFirst) const;
    CString Mid(int nFirst, int nCount) const;
    CString Right(int nCount) const;
    int Find(char ch, int nStart = 0) const;
    int Find(const char* psz, int nStart = 0) const;

    int Compare(const char* psz) const;
    // Case-insensitive comparison under the C runtime's locale.
    int CompareNoCase(const char* psz) const;

    // Direct access to the text: the buffer holds at least nMinLength bytes
    // plus the terminator; ReleaseBuffer(-1) takes the length up to the first NUL.
    char* GetBuffer(int nMinLength = 0);
    void ReleaseBuffer(int nNewLength = -1);

    friend bool operator==(const CString& a, const char* b) { return a.Compare(b) == 0; }
    friend bool operator!=(const CString& a, const char* b) { return a.Compare(b) != 0; }

    static bool IsSpace(char ch);

private:
    std::string m_str;
};
