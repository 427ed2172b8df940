// The plug-in's editor inside a real host window (Windows only: the probe creates its editor
// as a child window of the handle it is given).

#include "ProbeSupport.h"

#include "plugin/VstPlugin.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

constexpr int kHostWidth = 640;
constexpr int kHostHeight = 480;

class HostWindow {
public:
    HostWindow()
        : m_window(CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, kHostWidth,
                                   kHostHeight, nullptr, nullptr, GetModuleHandleA(nullptr),
                                   nullptr))
    {
    }
    ~HostWindow()
    {
        if (m_window != nullptr)
            DestroyWindow(m_window);
    }
    HWND Handle() const { return m_window; }
    HWND Child() const { return GetWindow(m_window, GW_CHILD); }

private:
    HWND m_window;
};

}  // namespace

TEST(VstPluginEditor, OpensInsideTheHostWindowAndClosesAtUnload)
{
    HostWindow host;
    ASSERT_NE(host.Handle(), nullptr);
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("default").c_str()));
    EXPECT_EQ(plugin.EditOpen(host.Handle()), 1);
    const HWND editor = host.Child();
    ASSERT_NE(editor, nullptr);
    RECT rect{};
    GetWindowRect(editor, &rect);
    EXPECT_EQ(rect.right - rect.left, 400);
    EXPECT_EQ(rect.bottom - rect.top, 300);

    plugin.Unload();  // effEditClose before the library goes
    EXPECT_FALSE(IsWindow(editor));
}
