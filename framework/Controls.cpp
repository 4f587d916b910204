#include "framework/Controls.h"

CString CComboBox::GetLBText(int i) const
{
    CString s;
    LRESULT n = SendMessage(CB_GETLBTEXTLEN, WPARAM(i));
    if (n == CB_ERR)
        return s;
    char* p = s.GetBuffer(int(n) + 1);
    LRESULT got = SendMessage(CB_GETLBTEXT, WPARAM(i), LPARAM(p));
    s.ReleaseBuffer(got == CB_ERR ? 0 : int(got));
    return s;
}
