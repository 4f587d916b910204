// The window framework's own rules: class names that stay what they were
// registered as, and windows that go with the objects that made them.
#include <gtest/gtest.h>

#include <string>

#include "framework/Controls.h"
#include "support/TestWindows.h"

TEST(Wnd, DefaultClassKeepsItsNameAfterManyOtherRegistrations)
{
    const std::string strDefault = CWnd::DefaultClass();
    const std::string strFirst = CWnd::RegisterWndClass(CS_HREDRAW, nullptr, HBRUSH(COLOR_WINDOW + 1), nullptr);
    for (int i = 0; i < 20; ++i)
        CWnd::RegisterWndClass(CS_VREDRAW, nullptr, HBRUSH(INT_PTR(i + 1)), nullptr);
    EXPECT_EQ(CWnd::DefaultClass(), strDefault);
    EXPECT_EQ(CWnd::RegisterWndClass(CS_HREDRAW, nullptr, HBRUSH(COLOR_WINDOW + 1), nullptr), strFirst);

    // A window of the default class still gets its double clicks.
    CHostWnd host;
    ASSERT_TRUE(host.CreateHost(100, 100));
    char szClass[64] = {};
    ::GetClassNameA(host.m_hWnd, szClass, sizeof szClass);
    EXPECT_EQ(std::string(szClass), strDefault);
    EXPECT_NE(::GetClassLongPtrA(host.m_hWnd, GCL_STYLE) & CS_DBLCLKS, 0u);
}

TEST(Wnd, ControlGoesWithTheObjectThatMadeIt)
{
    CHostWnd host;
    ASSERT_TRUE(host.CreateHost(200, 100));
    HWND hEdit = nullptr;
    {
        CEdit edit;
        RECT rc = { 0, 0, 100, 20 };
        ASSERT_TRUE(edit.Create(WS_CHILD | WS_VISIBLE, rc, &host, 5));
        hEdit = edit.m_hWnd;
        ASSERT_TRUE(::IsWindow(hEdit));
    }
    EXPECT_FALSE(::IsWindow(hEdit)) << "the edit outlived its object";
}

TEST(Wnd, ControlTakenOverIsLeftToItsParent)
{
    CHostWnd host;
    ASSERT_TRUE(host.CreateHost(200, 100));
    HWND hEdit = ::CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 0, 0, 100, 20, host.m_hWnd, nullptr,
                                   ::GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(hEdit, nullptr);
    {
        CEdit edit;
        ASSERT_TRUE(edit.SubclassWindow(hEdit));
        ::SetWindowTextA(hEdit, "kept");
    }
    ASSERT_TRUE(::IsWindow(hEdit)) << "the object destroyed a window it only took over";
    EXPECT_EQ(CWnd::FromHandle(hEdit), nullptr);
    // Its own procedure is back: it still answers as an edit.
    char sz[16] = {};
    ::SendMessageA(hEdit, WM_GETTEXT, sizeof sz, LPARAM(sz));
    EXPECT_STREQ(sz, "kept");
}
