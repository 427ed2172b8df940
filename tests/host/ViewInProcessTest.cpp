// The whole start-up run inside this test process with a probe plug-in named after this
// executable, so that the menus can be read (they cannot be from another process): the menu
// bar with the stepping commands, one Presets item per program, which of them can be chosen,
// and that a second initial update adds nothing; and the same with the demo instrument.
#include "UiHarness.h"
#include "app/TarvolinApp.h"
#include "host/TarvolinView.h"
#include "toolkit/FrameWnd.h"
#include "resource.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

constexpr UINT kPresetsPosition = 1;
constexpr UINT kFirstProgram = 200;

std::string MenuText(HMENU menu, UINT position)
{
    char text[256] = {};
    GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
    return text;
}

std::string ProbePath(const std::string& variant)
{
    if (variant == "demo") {
        return DEMO_INSTRUMENT_DLL;
    }
    return variant == "programs0" ? PROBE_PROGRAMS0_DLL : PROBE_PROGRAMS128_DLL;
}

std::string ThisExecutablesBaseName()
{
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    std::string name = module;
    name = name.substr(name.find_last_of("\\/") + 1);
    return name.substr(0, name.find_last_of('.'));
}

void PumpUntilQuit()
{
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        DispatchMessageA(&msg);
    }
}

class ViewInProcess : public testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        char previous[MAX_PATH] = {};
        GetCurrentDirectoryA(MAX_PATH, previous);
        m_previousDir = previous;
        m_dir = std::string(temp) + "zumbrel-view-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(m_dir.c_str(), nullptr);
        m_library = m_dir + "\\" + ThisExecutablesBaseName() + ".dll";
        ASSERT_TRUE(CopyFileA(uiharness::WindowsPath(ProbePath(GetParam())).c_str(), m_library.c_str(), FALSE));
        SetCurrentDirectoryA(m_dir.c_str());
        m_app.SetInstance(GetModuleHandleA(nullptr), "");
        ASSERT_TRUE(m_app.InitInstance());
        m_frame = m_app.MainFrame();
        ASSERT_NE(m_frame, nullptr);
    }
    void TearDown() override
    {
        if (m_app.MainFrame() != nullptr) {
            m_app.MainFrame()->DestroyWindow();
            PumpUntilQuit();
        }
        SetCurrentDirectoryA(m_previousDir.c_str());
        DeleteFileA(m_library.c_str());
        DeleteFileA((m_dir + "\\tarvoshell.ini").c_str());
        RemoveDirectoryA(m_dir.c_str());
    }

    HWND Frame() const { return m_frame->GetSafeHwnd(); }
    HMENU Presets() const { return GetSubMenu(GetMenu(Frame()), kPresetsPosition); }
    bool Enabled(UINT id) const
    {
        SendMessageA(Frame(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(Presets()),
                     MAKELPARAM(kPresetsPosition, FALSE));
        return (GetMenuState(Presets(), id, MF_BYCOMMAND) & MF_GRAYED) == 0;
    }
    int Programs() const { return std::string(GetParam()) == "programs128" ? 128 : 0; }

    CTarvolinApp m_app;
    toolkit::CFrameWnd* m_frame = nullptr;
    std::string m_dir;
    std::string m_previousDir;
    std::string m_library;
};

TEST_P(ViewInProcess, MenuBarGetsTheSteppingCommandsAtPositionsTwoAndThree)
{
    HMENU bar = GetMenu(Frame());
    ASSERT_EQ(GetMenuItemCount(bar), 5);
    EXPECT_EQ(MenuText(bar, 0), "&Zumbrel");
    EXPECT_EQ(MenuText(bar, 1), "&Presets");
    EXPECT_EQ(MenuText(bar, 2), " &<< ");
    EXPECT_EQ(MenuText(bar, 3), " &>> ");
    EXPECT_EQ(MenuText(bar, 4), "&Help");
    EXPECT_EQ(GetMenuItemID(bar, 2), 990u);
    EXPECT_EQ(GetMenuItemID(bar, 3), 991u);
    EXPECT_EQ(GetSubMenu(bar, 2), nullptr);  // plain commands, not menus
}

TEST_P(ViewInProcess, PresetsListEveryProgramAndOnlyTheFirst80CanBeChosen)
{
    HMENU presets = Presets();
    ASSERT_EQ(GetMenuItemCount(presets), 1 + Programs());
    EXPECT_EQ(MenuText(presets, 0), "Select a patch below");
    for (int i = 0; i < Programs(); ++i) {
        EXPECT_EQ(GetMenuItemID(presets, i + 1), kFirstProgram + i);
        EXPECT_EQ(MenuText(presets, i + 1), "Program " + std::to_string(i));
        EXPECT_EQ(Enabled(kFirstProgram + i), i < 80) << i;
    }
}

TEST_P(ViewInProcess, SecondInitialUpdateAddsNothing)
{
    m_frame->InitialUpdateFrame();
    EXPECT_EQ(GetMenuItemCount(GetMenu(Frame())), 5);
    EXPECT_EQ(GetMenuItemCount(Presets()), 1 + Programs());
}

int optionsRuns = 0;

void CountAndBringUp(CTarvolinView& view)
{
    ++optionsRuns;
    view.BringUpDevices();
}

// Options is always offered; the command runs whatever handler is in place (the settings
// dialog unless a test put its own there).
TEST_P(ViewInProcess, OptionsRunsItsHandler)
{
    HMENU zumbrel = GetSubMenu(GetMenu(Frame()), 0);
    const auto optionsEnabled = [&] {
        SendMessageA(Frame(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(zumbrel), 0);
        return (GetMenuState(zumbrel, ID_OPTIONS, MF_BYCOMMAND) & MF_GRAYED) == 0;
    };
    EXPECT_TRUE(optionsEnabled());
    CTarvolinView::SetOptionsHandler(&CountAndBringUp);
    optionsRuns = 0;
    SendMessageA(Frame(), WM_COMMAND, ID_OPTIONS, 0);
    EXPECT_EQ(optionsRuns, 1);
    CTarvolinView::SetOptionsHandler(nullptr);
    EXPECT_TRUE(optionsEnabled());
}

INSTANTIATE_TEST_SUITE_P(Probes, ViewInProcess, testing::Values("programs0", "programs128"));

} // namespace

// The demo instrument that ships with the program: its programs in the Presets menu, the
// first one in the caption.
class DemoInProcess : public ViewInProcess {};

TEST_P(DemoInProcess, PresetsListTheInstrumentsProgramsAndTheCaptionNamesTheFirst)
{
    const char* const names[] = {"Warm Keys", "Soft Pad",    "Bright Lead",   "Hollow Square",
                                 "Pluck",     "Deep Bass",   "Brass Section", "Glass Bells"};
    HMENU presets = Presets();
    ASSERT_EQ(GetMenuItemCount(presets), 1 + 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(MenuText(presets, i + 1), names[i]);
        EXPECT_TRUE(Enabled(kFirstProgram + i));
    }
    UpdateWindow(Frame());
    RedrawWindow(Frame(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    char caption[256] = {};
    GetWindowTextA(Frame(), caption, sizeof caption);
    EXPECT_STREQ(caption, "Zumbrel - Warm Keys");
    SendMessageA(Frame(), WM_COMMAND, kFirstProgram + 6, 0);
    RedrawWindow(Frame(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    GetWindowTextA(Frame(), caption, sizeof caption);
    EXPECT_STREQ(caption, "Zumbrel - Brass Section");
}

INSTANTIATE_TEST_SUITE_P(Instruments, DemoInProcess, testing::Values("demo"));
