// The application's start-up run inside this test process, so that what cannot be read from
// another process can be: the menu bar, the menu item states the frame sets when a menu opens,
// the command route, and the profile keys of the standard profile read.
#include "app/TarvolinApp.h"
#include "UiHarness.h"
#include "toolkit/Dialog.h"
#include "toolkit/Document.h"
#include "toolkit/FrameWnd.h"
#include "resource.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

using toolkit::CmdMode;

namespace {

constexpr char kProfileKey[] =
    "Software\\Local AppWizard-Generated Applications\\Tarvolin\\Settings";

std::string MenuText(HMENU menu, UINT position)
{
    char text[256] = {};
    GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
    return text;
}

// The state a popup's item shows once the frame has prepared the popup.
UINT StateAfterOpening(HWND frame, UINT popupIndex, UINT id)
{
    HMENU popup = GetSubMenu(GetMenu(frame), static_cast<int>(popupIndex));
    SendMessageA(frame, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), MAKELPARAM(popupIndex, FALSE));
    return GetMenuState(popup, id, MF_BYCOMMAND);
}

struct MessageBoxSeen {
    std::string caption;
    std::string text;
};

// Waits for a message box of this process, reads it and presses OK (from another thread,
// while the box's own loop runs on the test's thread).
MessageBoxSeen AnswerMessageBox()
{
    HWND box = nullptr;
    uiharness::WaitUntil(
        [&] {
            const auto boxes = uiharness::TopLevelWindows(GetCurrentProcessId(), "#32770");
            box = boxes.empty() ? nullptr : boxes.front();
            return box != nullptr;
        },
        10000);
    if (box == nullptr) {
        return {};
    }
    MessageBoxSeen seen{uiharness::WindowText(box), uiharness::DialogItemText(box, 0xFFFF)};
    uiharness::ClickButton(box, IDOK);
    return seen;
}

void PumpUntilQuit()
{
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        DispatchMessageA(&msg);
    }
}

} // namespace

class FrameInProcess : public testing::Test {
protected:
    void SetUp() override
    {
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
    }

    HWND Frame() const { return m_frame->GetSafeHwnd(); }

    CTarvolinApp m_app;
    toolkit::CFrameWnd* m_frame = nullptr;
};

TEST_F(FrameInProcess, MenuBarHasThreeMenus)
{
    HMENU bar = GetMenu(Frame());
    ASSERT_EQ(GetMenuItemCount(bar), 3);
    EXPECT_EQ(MenuText(bar, 0), "&Zumbrel");
    EXPECT_EQ(MenuText(bar, 1), "&Presets");
    EXPECT_EQ(MenuText(bar, 2), "&Help");
    HMENU zumbrel = GetSubMenu(bar, 0);
    ASSERT_EQ(GetMenuItemCount(zumbrel), 9);
    const std::pair<const char*, UINT> items[] = {
        {"Options...", ID_OPTIONS},
        {"Open...\tCtrl+O", ID_FILE_OPEN},
        {"Save\tCtrl+S", ID_FILE_SAVE},
        {"Save As...", ID_FILE_SAVE_AS},
        {"Play with Computer Keyboard", ID_KEYBOARD_NOTES},
        {"All Notes Off\tEsc", ID_ALL_NOTES_OFF},
        {"ASIO Control Panel...", ID_ASIO_PANEL},
    };
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(MenuText(zumbrel, i), items[i].first);
        EXPECT_EQ(GetMenuItemID(zumbrel, i), items[i].second);
    }
    EXPECT_NE(GetMenuState(zumbrel, 7, MF_BYPOSITION) & MF_SEPARATOR, 0u);
    EXPECT_EQ(MenuText(zumbrel, 8), "E&xit");
    EXPECT_EQ(MenuText(GetSubMenu(bar, 1), 0), "Select a patch below");
    EXPECT_EQ(MenuText(GetSubMenu(bar, 2), 0), "&About Velmora Zumbrel...");
}

// Items whose command nobody handles are disabled when their menu opens; the others enabled.
TEST_F(FrameInProcess, ItemsWithoutHandlerAreShownDisabled)
{
    EXPECT_NE(StateAfterOpening(Frame(), 1, ID_SELECT_PATCH) & MF_GRAYED, 0u);
    for (UINT id : {ID_APP_EXIT, ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_SAVE_AS})
        EXPECT_EQ(StateAfterOpening(Frame(), 0, id) & MF_GRAYED, 0u) << id;
    EXPECT_EQ(StateAfterOpening(Frame(), 2, ID_APP_ABOUT) & MF_GRAYED, 0u);
}

struct RouteCase {
    UINT id;
    bool handled;
};

// Who answers which command along the route view → document → frame → application.
TEST_F(FrameInProcess, CommandRouteFindsEachStandardHandler)
{
    const RouteCase cases[] = {
        {ID_FILE_NEW, true},      {ID_FILE_OPEN, true},    {ID_FILE_CLOSE, true},
        {ID_FILE_SAVE, true},     {ID_FILE_SAVE_AS, true}, {ID_APP_ABOUT, true},
        {ID_APP_EXIT, true},      {ID_SELECT_PATCH, false}, {ID_EDIT_UNDO, false},
        {ID_EDIT_CUT, false},     {ID_EDIT_COPY, false},   {ID_EDIT_PASTE, false},
        {ID_NEXT_PANE, false},    {ID_PREV_PANE, false},
    };
    for (const RouteCase& c : cases) {
        EXPECT_EQ(m_frame->RouteCommand(c.id, 0, CmdMode::Query), c.handled) << c.id;
    }
}

TEST_F(FrameInProcess, TitleIsApplicationThenDocument)
{
    char title[256] = {};
    GetWindowTextA(Frame(), title, sizeof title);
    EXPECT_STREQ(title, "Tarvolin - Untitled");
    EXPECT_EQ(m_app.AppTitle(), "Tarvolin");
}

// The standard profile read creates the profile keys (the value itself is not written).
TEST_F(FrameInProcess, ProfileReadCreatesTheSettingsKey)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kProfileKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_NE(RegQueryValueExA(key, "PreviewPages", nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(m_app.GetProfileInt("Settings", "PreviewPages", 0), 0u);
}

struct FileFailure {
    bool save;
    const char* message;
};

// The document's file errors show the standard messages, captioned with the application title.
TEST_F(FrameInProcess, FileErrorsShowTheStandardMessages)
{
    const std::string missing = "Z:\\zumbrel-no-such-folder\\song.tvo";
    for (const FileFailure& failure : {FileFailure{false, "Failed to open document."},
                                       FileFailure{true, "Failed to save document."}}) {
        MessageBoxSeen seen;
        std::thread answer([&] { seen = AnswerMessageBox(); });
        toolkit::CDocument* document = m_frame->GetActiveDocument();
        const bool done = failure.save ? document->OnSaveDocument(missing)
                                       : document->OnOpenDocument(missing);
        answer.join();
        EXPECT_FALSE(done);
        EXPECT_EQ(seen.text, failure.message);
        EXPECT_EQ(seen.caption, "Tarvolin");
    }
}

// A save that cannot replace the file (another program holds it open) leaves the old one as it
// was and no temporary file.
TEST_F(FrameInProcess, FailedSaveKeepsThePreviousFile)
{
    const std::string dir = uiharness::MakeTempFolder("zumbrel-save");
    const std::string path = dir + "\\kept.fxb";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              0, nullptr);
    DWORD written = 0;
    WriteFile(file, "old", 3, &written, nullptr);

    MessageBoxSeen seen;
    std::thread answer([&] { seen = AnswerMessageBox(); });
    EXPECT_FALSE(m_frame->GetActiveDocument()->OnSaveDocument(path));
    answer.join();
    EXPECT_EQ(seen.text, "Failed to save document.");
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(data.nFileSizeLow, 3u);
    CloseHandle(file);
    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA((dir + "\\*.tmp").c_str(), &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE) << found.cFileName;
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    uiharness::RemoveDirectoryTree(dir);
}

TEST_F(FrameInProcess, ClosingTheFrameEndsTheMessageLoop)
{
    PostMessageA(Frame(), WM_CLOSE, 0, 0);
    PumpUntilQuit();
    EXPECT_EQ(m_app.MainFrame(), nullptr);
}

namespace {

constexpr UINT kCustomCommand = 4242;
constexpr INT_PTR kCustomResult = 7;

// A modal dialog that sends itself one command as soon as it is up.
class CSelfDrivenDialog : public toolkit::CDialog {
public:
    explicit CSelfDrivenDialog(UINT command) : CDialog(IDD_ABOUTBOX), m_command(command) {}
    bool OnCmdMsg(unsigned id, unsigned code, CmdMode mode) override
    {
        static const toolkit::CommandEntry<CSelfDrivenDialog> table[] = {
            {kCustomCommand, kCustomCommand, &CSelfDrivenDialog::OnCustom},
        };
        return DispatchCommand(this, table, id, mode) || CDialog::OnCmdMsg(id, code, mode);
    }

protected:
    bool OnInitDialog() override
    {
        PostMessageA(m_hWnd, WM_COMMAND, m_command, 0);
        return true;
    }

private:
    void OnCustom(unsigned) { EndDialog(kCustomResult); }
    UINT m_command;
};

} // namespace

TEST(DialogInProcess, CommandsReachTheDialogsOwnTableFirst)
{
    CTarvolinApp app;
    app.SetInstance(GetModuleHandleA(nullptr), "");
    EXPECT_EQ(CSelfDrivenDialog(kCustomCommand).DoModal(), kCustomResult);
    EXPECT_EQ(CSelfDrivenDialog(IDCANCEL).DoModal(), IDCANCEL);
    EXPECT_EQ(CSelfDrivenDialog(IDOK).DoModal(), IDOK);
}

namespace {

// A child window standing in for the plug-in's editor: it records the keys it receives.
struct KeyLog {
    std::vector<WPARAM> keyDowns;
    std::vector<WPARAM> chars;
};
KeyLog g_keys;

LRESULT CALLBACK EditorStandInProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_KEYDOWN) {
        g_keys.keyDowns.push_back(wParam);
    } else if (msg == WM_CHAR) {
        g_keys.chars.push_back(wParam);
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void Type(const std::vector<WORD>& modifiers, WORD key)
{
    std::vector<INPUT> inputs;
    auto add = [&](WORD vk, bool up) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(input);
    };
    for (WORD m : modifiers) {
        add(m, false);
    }
    add(key, false);
    add(key, true);
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) {
        add(*it, true);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

} // namespace

// Ctrl+C while a child of the view (such as the plug-in's editor) has the keyboard focus is
// taken by the frame's accelerator table and never reaches the child; other keys do.
TEST_F(FrameInProcess, AcceleratorKeysNeverReachAFocusedChildOfTheView)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = &EditorStandInProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "EditorStandIn";
    RegisterClassA(&wc);
    HWND view = GetDlgItem(Frame(), IDW_PANE_FIRST);
    HWND editor = CreateWindowExA(0, "EditorStandIn", "", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50,
                                  view, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(editor, nullptr);
    ShowWindow(Frame(), SW_SHOW);
    SetForegroundWindow(Frame());
    SetFocus(editor);
    ASSERT_EQ(GetFocus(), editor);
    g_keys = {};

    Type({VK_CONTROL}, 'C');
    Type({}, 'A');
    auto pump = [&] {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!m_app.TranslateFrameAccelerator(msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        return std::find(g_keys.keyDowns.begin(), g_keys.keyDowns.end(), 'A') != g_keys.keyDowns.end();
    };
    ASSERT_TRUE(uiharness::WaitUntil(pump, 5000)) << "the plain key never arrived";
    EXPECT_EQ(std::count(g_keys.keyDowns.begin(), g_keys.keyDowns.end(), 'C'), 0);
    EXPECT_EQ(std::count(g_keys.chars.begin(), g_keys.chars.end(), 3), 0); // Ctrl+C's character
    EXPECT_EQ(std::count(g_keys.chars.begin(), g_keys.chars.end(), 'a'), 1);
}
