#include "framework/String.h"

#include <cstdio>
#include <cstring>
#ifndef _WIN32
#include <strings.h>
#endif
#include <vector>

void CString::Format(const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    FormatV(pszFormat, args);
    va_end(args);
}

void CString::FormatV(const char* pszFormat, va_list args)
{
    m_str.clear();
    AppendFormatV(pszFormat, args);
}

void CString::AppendFormat(const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    AppendFormatV(pszFormat, args);
    va_end(args);
}

void CString::AppendFormatV(const char* pszFormat, va_list args)
{
    char small[512];
    va_list copy;
    va_copy(copy, args);
    int n = vsnprintf(small, sizeof small, pszFormat ? pszFormat : "", copy);
    va_end(copy);
    if (n < 0)
        return;
    if (size_t(n) < sizeof small) {
        m_str.append(small, size_t(n));
        return;
    }
    std::vector<char> big(size_t(n) + 1);
    vsnprintf(big.data(), big.size(), pszFormat, args);
    m_str.append(big.data(), size_t(n));
}

int CString::Insert(int nIndex, const char* psz)
{
    if (nIndex < 0) nIndex = 0;
    if (nIndex > GetLength()) nIndex = GetLength();
    if (psz) m_str.insert(size_t(nIndex), psz);
    return GetLength();
}

int CString::Insert(int nIndex, char ch)
{
    char s[2] = { ch, 0 };
    if (ch == 0) {
        if (nIndex < 0) nIndex = 0;
        if (nIndex > GetLength()) nIndex = GetLength();
        m_str.insert(size_t(nIndex), 1, '\0');
        return GetLength();
    }
    return Insert(nIndex, s);
}

int CString::Delete(int nIndex, int nCount)
{
    if (nIndex < 0) nIndex = 0;
    if (nIndex < GetLength() && nCount > 0)
        m_str.erase(size_t(nIndex), size_t(nCount));
    return GetLength();
}

int CString::Replace(char chOld, char chNew)
{
    int n = 0;
    for (char& c : m_str)
        if (c == chOld) { c = chNew; ++n; }
    return n;
}

bool CString::IsSpace(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == '\v' || ch == '\f';
}

CString& CString::TrimLeft()
{
    size_t i = 0;
    while (i < m_str.size() && IsSpace(m_str[i])) ++i;
    m_str.erase(0, i);
    return *this;
}

CString& CString::TrimRight()
{
    size_t n = m_str.size();
    while (n > 0 && IsSpace(m_str[n - 1])) --n;
    m_str.resize(n);
    return *this;
}

CString CString::Left(int nCount) const
{
    if (nCount <= 0) return CString();
    return CString(m_str.substr(0, size_t(nCount)).c_str());
}

CString CString::Mid(int nFirst) const
{
    if (nFirst < 0) nFirst = 0;
    if (nFirst >= GetLength()) return CString();
    CString r;
    r.m_str = m_str.substr(size_t(nFirst));
    return r;
}

CString CString::Mid(int nFirst, int nCount) const
{
    if (nFirst < 0) nFirst = 0;
    if (nFirst >= GetLength() || nCount <= 0) return CString();
    CString r;
    r.m_str = m_str.substr(size_t(nFirst), size_t(nCount));
    return r;
}

CString CString::Right(int nCount) const
{
    if (nCount <= 0) return CString();
    if (nCount >= GetLength()) return *this;
    return Mid(GetLength() - nCount);
}

int CString::Find(char ch, int nStart) const
{
    if (nStart < 0) nStart = 0;
    size_t i = m_str.find(ch, size_t(nStart));
    return i == std::string::npos ? -1 : int(i);
}

int CString::Find(const char* psz, int nStart) const
{
    if (nStart < 0) nStart = 0;
    size_t i = m_str.find(psz ? psz : "", size_t(nStart));
    return i == std::string::npos ? -1 : int(i);
}

int CString::Compare(const char* psz) const
{
    return strcmp(m_str.c_str(), psz ? psz : "");
}

int CString::CompareNoCase(const char* psz) const
{
#ifdef _WIN32
    return _stricmp(m_str.c_str(), psz ? psz : "");
#else
    return strcasecmp(m_str.c_str(), psz ? psz : "");
#endif
}

char* CString::GetBuffer(int nMinLength)
{
    if (nMinLength > GetLength())
        m_str.resize(size_t(nMinLength));
    return &m_str[0];
}

void CString::ReleaseBuffer(int nNewLength)
{
    if (nNewLength < 0)
        nNewLength = int(strlen(m_str.c_str()));
    m_str.resize(size_t(nNewLength));
}
