// A control derived from CButton gets its messages first; the button's own procedure handles
// the rest; the binding ends cleanly whichever of window and object goes first.
#include "toolkit/Button.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

constexpr UINT kControlId = 803;

// Takes the left button itself, so the button never reports a click.
class CClickTaker : public toolkit::CButton {
public:
    int presses = 0;
    int destroyedWindows = 0;

protected:
    bool OnMessage(UINT msg, WPARAM, LPARAM, LRESULT& result) override
    {
        switch (msg) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
            presses += msg == WM_LBUTTONDOWN ? 1 : 0;
            result = 0;
            return true;
        default:
            return false;
        }
    }
    void PostNcDestroy() override { ++destroyedWindows; }
};

int g_commands = 0;

LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_COMMAND && LOWORD(wParam) == kControlId) {
        ++g_commands;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class ButtonTest : public testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSA wc{};
        wc.lpfnWndProc = &ParentProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "ButtonTestParent";
        RegisterClassA(&wc);
        m_parent = CreateWindowExA(0, "ButtonTestParent", "", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                   nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(m_parent, nullptr);
        g_commands = 0;
    }
    void TearDown() override { DestroyWindow(m_parent); }

    HWND m_parent = nullptr;
};

} // namespace

TEST_F(ButtonTest, DerivedHandlersComeFirstAndTheButtonKeepsTheRest)
{
    CClickTaker control;
    ASSERT_TRUE(control.Create("", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, RECT{0, 0, 40, 20},
                               m_parent, kControlId));
    HWND hwnd = control.GetSafeHwnd();
    EXPECT_EQ(GetDlgItem(m_parent, kControlId), hwnd);

    SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageA(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(control.presses, 1);
    EXPECT_EQ(g_commands, 0); // the button never saw the click

    SetWindowTextA(hwnd, "text");
    char text[16] = {};
    GetWindowTextA(hwnd, text, sizeof text);
    EXPECT_STREQ(text, "text"); // handled by the button's own procedure

    SendMessageA(hwnd, BM_CLICK, 0, 0);
    EXPECT_EQ(g_commands, 0); // BM_CLICK works through the mouse messages we take
}

TEST_F(ButtonTest, AnUntouchedButtonStillReportsClicks)
{
    toolkit::CButton plain;
    ASSERT_TRUE(plain.Create("OK", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, RECT{0, 0, 40, 20},
                             m_parent, kControlId));
    SendMessageA(plain.GetSafeHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageA(plain.GetSafeHwnd(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(g_commands, 1);
}

TEST_F(ButtonTest, WindowDestroyedFirstDetachesTheObject)
{
    CClickTaker control;
    ASSERT_TRUE(control.Create("", WS_CHILD | WS_VISIBLE, RECT{0, 0, 40, 20}, m_parent, kControlId));
    DestroyWindow(m_parent);
    m_parent = nullptr;
    EXPECT_EQ(control.GetSafeHwnd(), nullptr);
    EXPECT_EQ(control.destroyedWindows, 1);
}

TEST_F(ButtonTest, ObjectDestroyedFirstTakesItsWindowAlong)
{
    HWND hwnd = nullptr;
    {
        CClickTaker control;
        ASSERT_TRUE(control.Create("", WS_CHILD | WS_VISIBLE, RECT{0, 0, 40, 20}, m_parent, kControlId));
        hwnd = control.GetSafeHwnd();
    }
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(GetDlgItem(m_parent, kControlId), nullptr);
}
