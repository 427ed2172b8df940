// Starts the real zumbrel.exe in a fresh working directory and drives its main window from
// this process, as a user would: caption, style, status bar, menus by keyboard, accelerator
// keys, the document commands, the About box and Exit.
#include "UiHarness.h"
#include "resource.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

using namespace uiharness;

namespace {

constexpr char kFrameClass[] = "ZumbrelFrame";
constexpr char kDialogClass[] = "#32770";
constexpr DWORD kStartTimeoutMs = 20000;
constexpr DWORD kWaitMs = 10000;
constexpr int kMessageBoxText = 0xFFFF;
constexpr int kFileNameCombo = 0x47C; // cmb13 of the common file dialogs
constexpr int kFileNameEdit = 0x480;  // edt1
constexpr int kFileTypeCombo = 0x470; // cmb1
constexpr int kLoadPaneWidth = 50;
constexpr int kPaneInset = 3;
constexpr DWORD kFwsAddToTitle = 0x8000;

std::string MakeWorkDir()
{
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    return uiharness::MakeTempFolder(std::string("zumbrel-ui-") + info->test_suite_name() + "-" + info->name());
}

using uiharness::WindowsPath;

using uiharness::RemoveDirectoryTree;

bool FileExists(const std::string& path, LONGLONG* size)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        return false;
    }
    *size = (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

} // namespace

class ShellUi : public testing::Test {
protected:
    void SetUp() override { m_dir = MakeWorkDir(); }
    void TearDown() override
    {
        m_program.reset();
        RemoveDirectoryTree(m_dir);
    }

    // Starts the program and waits for its main frame.
    void Launch(const std::string& arguments = "")
    {
        m_program = std::make_unique<CProgram>();
        ASSERT_TRUE(m_program->Start(WindowsPath(ZUMBREL_EXE), m_dir, arguments));
        m_frame = m_program->WaitForWindow(kFrameClass, kStartTimeoutMs);
        ASSERT_NE(m_frame, nullptr) << "no main frame appeared";
    }

    CRemoteStatusBar StatusBar() const
    {
        return CRemoteStatusBar(m_program->Process(), GetDlgItem(m_frame, IDW_STATUS_BAR));
    }
    std::string Pane(int index) const { return StatusBar().PaneText(index); }
    bool PaneBecomes(int index, const std::string& text) const
    {
        return WaitUntil([&] { return Pane(index) == text; }, kWaitMs);
    }
    void PostCommand(UINT id) const { PostMessageA(m_frame, WM_COMMAND, id, 0); }
    HWND WaitForDialog(const std::string& title) const
    {
        return m_program->WaitForWindow(kDialogClass, title, kWaitMs);
    }
    bool Responsive() const
    {
        DWORD_PTR result = 0;
        return SendMessageTimeoutA(m_frame, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result) != 0;
    }
    // Saves through the file dialog that Ctrl+S opens, into the working directory.
    std::string SaveWithKeyboard(const std::string& name)
    {
        PressKey(m_frame, {VK_CONTROL}, 'S');
        HWND dialog = WaitForDialog("Save As");
        EXPECT_NE(dialog, nullptr) << "Ctrl+S opened no save dialog";
        if (dialog == nullptr) {
            return {};
        }
        const std::string path = m_dir + "\\" + name;
        HWND field = GetDlgItem(dialog, kFileNameCombo);
        field = field != nullptr ? FindDescendant(field, "Edit") : GetDlgItem(dialog, kFileNameEdit);
        EXPECT_NE(field, nullptr);
        SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
        ClickButton(dialog, IDOK);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, kWaitMs));
        return path;
    }

    std::string m_dir;
    std::unique_ptr<CProgram> m_program;
    HWND m_frame = nullptr;
};

TEST_F(ShellUi, FrameHasMinimizeAndSystemMenuButCannotBeResizedOrMaximized)
{
    Launch();
    EXPECT_EQ(WindowText(m_frame), "Tarvolin - Untitled");
    const DWORD style = static_cast<DWORD>(GetWindowLongA(m_frame, GWL_STYLE));
    EXPECT_EQ(style & WS_CAPTION, static_cast<DWORD>(WS_CAPTION));
    EXPECT_NE(style & WS_SYSMENU, 0u);
    EXPECT_NE(style & WS_MINIMIZEBOX, 0u);
    EXPECT_NE(style & kFwsAddToTitle, 0u);
    EXPECT_EQ(style & WS_THICKFRAME, 0u);
    EXPECT_EQ(style & WS_MAXIMIZEBOX, 0u);
    EXPECT_NE(GetWindowLongA(m_frame, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
    EXPECT_TRUE(IsWindowVisible(m_frame));
    // The edges offer no sizing handles.
    RECT outer{};
    GetWindowRect(m_frame, &outer);
    const int midY = (outer.top + outer.bottom) / 2;
    const int midX = (outer.left + outer.right) / 2;
    for (POINT edge : {POINT{outer.left, midY}, POINT{outer.right - 1, midY},
                       POINT{midX, outer.bottom - 1}, POINT{outer.right - 1, outer.bottom - 1}}) {
        const LRESULT hit = SendMessageA(m_frame, WM_NCHITTEST, 0, MAKELPARAM(edge.x, edge.y));
        EXPECT_TRUE(hit < HTSIZEFIRST || hit > HTSIZELAST) << "hit test " << hit;
    }
}

// The frame is shrunk around the form (193 × 71 dialog units) and the status bar.
TEST_F(ShellUi, FrameFitsTheFormAndTheStatusBar)
{
    Launch();
    HWND view = GetDlgItem(m_frame, IDW_PANE_FIRST);
    ASSERT_NE(view, nullptr);
    RECT client{}, viewRect{}, barRect{};
    GetClientRect(m_frame, &client);
    GetWindowRect(view, &viewRect);
    GetWindowRect(GetDlgItem(m_frame, IDW_STATUS_BAR), &barRect);
    EXPECT_EQ(viewRect.right - viewRect.left, client.right);
    EXPECT_EQ((viewRect.bottom - viewRect.top) + (barRect.bottom - barRect.top), client.bottom);
    // 193 × 71 dialog units are well over 193 × 71 pixels with any font the form may get.
    EXPECT_GT(client.right, 193);
    EXPECT_GT(viewRect.bottom - viewRect.top, 71);
}

TEST_F(ShellUi, StatusBarWelcomesThenShowsTheLoadEverySecond)
{
    Launch();
    EXPECT_EQ(Pane(0), "Welcome to Zumbrel");
    ASSERT_TRUE(WaitUntil([&] { return !Pane(1).empty(); }, kWaitMs));
    EXPECT_EQ(Pane(1), "CPU:0 %"); // the first tick only records
    // Later ticks show the program's own load: a small figure for an idle window.
    const std::string first = Pane(1);
    Sleep(1500);
    const std::string later = Pane(1);
    int load = -1;
    ASSERT_EQ(sscanf(later.c_str(), "CPU:%d %%", &load), 1) << later;
    EXPECT_GE(load, 0);
    EXPECT_LE(load, 100);
    EXPECT_EQ(Pane(0), "Welcome to Zumbrel");
}

TEST_F(ShellUi, LoadPaneIsFiftyPixelsAndTheFirstPaneTakesTheRest)
{
    Launch();
    CRemoteStatusBar bar = StatusBar();
    ASSERT_EQ(bar.PaneCount(), 2);
    const std::vector<int> edges = bar.PaneEdges();
    ASSERT_EQ(edges.size(), 2u);
    RECT barClient{};
    GetClientRect(bar.Handle(), &barClient);
    EXPECT_EQ(edges[1] - edges[0], kLoadPaneWidth + 2 * kPaneInset);
    EXPECT_EQ(edges[1], barClient.right);
}

// Browsing a menu shows the prompts of its items; closing it leaves "Ready".
TEST_F(ShellUi, MenuPromptsWhileBrowsingThenReady)
{
    Launch();
    PostMessageA(m_frame, WM_SYSCOMMAND, SC_KEYMENU, 'z');
    EXPECT_TRUE(PaneBecomes(0, "Setup MIDI IN and ASIO driver")) << Pane(0);
    for (const char* prompt :
         {"Open an existing document", "Save the active document",
          "Save the active document with a new name",
          "Play notes with the keys A to ; and W to P (Z X: octave, C V: velocity)",
          "Silence every note on every channel", "Open the ASIO driver's own settings",
          "Exit Zumbrel"}) {
        PostMessageA(m_frame, WM_KEYDOWN, VK_DOWN, 0);
        EXPECT_TRUE(PaneBecomes(0, prompt)) << Pane(0);
    }
    PostMessageA(m_frame, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(m_frame, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(PaneBecomes(0, "Ready")) << Pane(0);
    EXPECT_TRUE(Responsive());
}

// The keys reach the frame while the keyboard focus is in the view, a child of the frame. The
// shell alone has no instrument, so its document is empty.
TEST_F(ShellUi, CtrlSAsksForANameAndWritesAnEmptyFile)
{
    Launch();
    SetForegroundWindow(m_frame);
    HWND view = GetDlgItem(m_frame, IDW_PANE_FIRST);
    const DWORD thread = GetWindowThreadProcessId(m_frame, nullptr);
    EXPECT_TRUE(WaitUntil(
        [&] {
            GUITHREADINFO gui{};
            gui.cbSize = sizeof gui;
            return GetGUIThreadInfo(thread, &gui) && gui.hwndFocus == view;
        },
        kWaitMs))
        << "the keyboard focus is not in the view";

    const std::string path = SaveWithKeyboard("song.tvo");
    LONGLONG size = -1;
    ASSERT_TRUE(WaitUntil([&] { return FileExists(path, &size); }, kWaitMs));
    EXPECT_EQ(size, 0);
    EXPECT_EQ(WindowText(m_frame), "Tarvolin - song.tvo");
}

TEST_F(ShellUi, CtrlNStartsAnewUntitledDocument)
{
    Launch();
    SaveWithKeyboard("before.tvo");
    ASSERT_EQ(WindowText(m_frame), "Tarvolin - before.tvo");
    PressKey(m_frame, {VK_CONTROL}, 'N');
    EXPECT_TRUE(WaitUntil([&] { return WindowText(m_frame) == "Tarvolin - Untitled"; }, kWaitMs));
}

TEST_F(ShellUi, CtrlOOffersBanksFirstAndCancelChangesNothing)
{
    Launch();
    PressKey(m_frame, {VK_CONTROL}, 'O');
    HWND dialog = WaitForDialog("Open");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(DialogItemText(dialog, kFileTypeCombo), "VST bank (*.fxb)");
    EXPECT_EQ(SendMessageA(GetDlgItem(dialog, kFileTypeCombo), CB_GETCOUNT, 0, 0), 3);
    ClickButton(dialog, IDCANCEL);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, kWaitMs));
    EXPECT_EQ(WindowText(m_frame), "Tarvolin - Untitled");
}

// The edit and pane keys of the table have no handler: they do nothing at all.
TEST_F(ShellUi, UnhandledAcceleratorsDoNothing)
{
    Launch();
    const std::vector<std::pair<std::vector<WORD>, WORD>> keys = {
        {{VK_CONTROL}, 'Z'}, {{VK_MENU}, VK_BACK},   {{VK_CONTROL}, 'X'}, {{VK_SHIFT}, VK_DELETE},
        {{VK_CONTROL}, 'C'}, {{VK_CONTROL}, VK_INSERT}, {{VK_CONTROL}, 'V'}, {{VK_SHIFT}, VK_INSERT},
        {{}, VK_F6},         {{VK_SHIFT}, VK_F6}};
    for (const auto& key : keys) {
        PressKey(m_frame, key.first, key.second);
    }
    EXPECT_TRUE(Responsive());
    EXPECT_TRUE(TopLevelWindows(m_program->ProcessId(), kDialogClass).empty());
    EXPECT_EQ(WindowText(m_frame), "Tarvolin - Untitled");
    EXPECT_TRUE(m_program->IsRunning());
}

TEST_F(ShellUi, AboutBoxOpensAndCloses)
{
    Launch();
    PostCommand(ID_APP_ABOUT);
    HWND about = WaitForDialog("About Velmora Zumbrel");
    ASSERT_NE(about, nullptr);
    for (int id : {IDC_ABOUT_LINE1, IDC_ABOUT_LINE2, IDC_ABOUT_LINE3}) {
        EXPECT_FALSE(DialogItemText(about, id).empty()) << id;
    }
    ClickButton(about, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }, kWaitMs));
    EXPECT_TRUE(Responsive());
}

TEST_F(ShellUi, ExitEndsTheProgramWithoutASavePrompt)
{
    Launch();
    PostCommand(ID_APP_EXIT);
    EXPECT_EQ(m_program->WaitForExit(kWaitMs), 0u);
}

TEST_F(ShellUi, ClosingTheWindowEndsTheProgram)
{
    Launch();
    PostMessageA(m_frame, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(m_program->WaitForExit(kWaitMs), 0u);
}

TEST_F(ShellUi, AFileOnTheCommandLineBecomesTheDocument)
{
    const std::string path = m_dir + "\\patch.tvo";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    Launch("patch.tvo");
    EXPECT_EQ(WindowText(m_frame), "Tarvolin - patch.tvo");
}

// A missing file fails the command line: the standard message, then the program ends.
TEST_F(ShellUi, AMissingFileOnTheCommandLineEndsTheProgram)
{
    m_program = std::make_unique<CProgram>();
    ASSERT_TRUE(m_program->Start(WindowsPath(ZUMBREL_EXE), m_dir, "missing.tvo"));
    HWND box = m_program->WaitForWindow(kDialogClass, "Tarvolin", kStartTimeoutMs);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(DialogItemText(box, kMessageBoxText), "Failed to open document.");
    ClickButton(box, IDOK);
    EXPECT_EQ(m_program->WaitForExit(kWaitMs), 0u);
}
