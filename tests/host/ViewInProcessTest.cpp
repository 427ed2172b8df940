// The whole start-up run inside this test process with a probe plug-in named after this
// executable, so that the menus can be read (they cannot be from another process): the menu
// bar with the stepping commands, one Presets item per program, which of them can be chosen,
// and that a second initial update adds nothing; and the same with the demo instrument.
#include "UiHarness.h"
#include "app/TarvolinApp.h"
#include "host/TarvolinView.h"
#include "plugin/PluginState.h"
#include "plugin/PresetFile.h"
#include "toolkit/FileBytes.h"
#include "toolkit/FrameWnd.h"
#include "resource.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

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
    if (variant == "no_editor") {
        return PROBE_NO_EDITOR_DLL;
    }
    if (variant == "chunks") {
        return PROBE_CHUNKS_DLL;
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
        ASSERT_TRUE(CopyFileA(uiharness::WindowsPath(ProbePath(GetParam())).c_str(),
                              m_library.c_str(), FALSE));
        SetCurrentDirectoryA(m_dir.c_str());
        m_app.SetInstance(GetModuleHandleA(nullptr), "");
        ASSERT_TRUE(m_app.InitInstance());
        m_frame = m_app.MainFrame();
        ASSERT_NE(m_frame, nullptr);
    }
    void TearDown() override
    {
        Close();
        SetCurrentDirectoryA(m_previousDir.c_str());
        DeleteFileA(m_library.c_str());
        DeleteFileA(KeptBank().c_str());
        DeleteFileA((m_dir + "\\tarvoshell.ini").c_str());
        RemoveDirectoryA(m_dir.c_str());
    }

    void Close()
    {
        if (m_app.MainFrame() != nullptr) {
            m_app.MainFrame()->DestroyWindow();
            PumpUntilQuit();
        }
    }
    // Closes the program and starts it again in the same folder.
    void Restart()
    {
        Close();
        ASSERT_TRUE(m_app.InitInstance());
        m_frame = m_app.MainFrame();
        ASSERT_NE(m_frame, nullptr);
    }
    std::string KeptBank() const { return m_dir + "\\" + ThisExecutablesBaseName() + ".fxb"; }
    host::IInstrumentState& Instrument() const
    {
        return *dynamic_cast<host::IInstrumentState*>(m_frame->GetActiveView());
    }
    std::string Caption() const
    {
        RedrawWindow(Frame(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        char caption[256] = {};
        GetWindowTextA(Frame(), caption, sizeof caption);
        return caption;
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

// The view's client area is the editor's size exactly, whatever the frame's parts measure.
TEST_P(ViewInProcess, ViewIsExactlyTheEditorsSize)
{
    RECT client{};
    GetClientRect(m_frame->GetActiveView()->GetSafeHwnd(), &client);
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(client.bottom, 300);
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

// The state given by the instrument, changed and applied again, is what it gives from then on;
// it survives a restart through the kept bank; a file of another instrument or a damaged one
// changes nothing, and a damaged kept bank is left exactly as it was.
TEST_P(ViewInProcess, StateIsAppliedAndKeptAcrossRuns)
{
    preset::ReadResult bank = [&] {
        const std::vector<std::uint8_t> bytes = Instrument().SaveInstrumentState(false);
        return preset::Read(bytes.data(), bytes.size());
    }();
    ASSERT_EQ(bank.error, preset::Error::None);
    ASSERT_EQ(static_cast<int>(bank.file.programs.size()), Programs());
    if (Programs() > 0) {
        bank.file.programs[3].name = "Changed";
        bank.file.programs[3].parameters[1] = 0.25f;
        bank.file.currentProgram = 3;
    }
    const std::vector<std::uint8_t> changed = preset::Write(bank.file);
    EXPECT_EQ(Instrument().LoadInstrumentState(changed), "");
    EXPECT_EQ(Instrument().SaveInstrumentState(false), changed);
    if (Programs() > 0) {
        EXPECT_EQ(Caption(), "Zumbrel - Changed");
        EXPECT_EQ(MenuText(Presets(), 4), "Changed");
    }

    preset::File other = bank.file;
    other.pluginId ^= 1;
    std::vector<std::uint8_t> damaged = changed;
    damaged.resize(damaged.size() - 1);
    EXPECT_EQ(Instrument().LoadInstrumentState(preset::Write(other)),
              preset::Describe(preset::ApplyError::OtherInstrument));
    EXPECT_EQ(Instrument().LoadInstrumentState(damaged),
              preset::Describe(preset::Error::Truncated));
    EXPECT_EQ(Instrument().SaveInstrumentState(false), changed);

    // Closing keeps the state; the next start applies what the kept bank holds.
    Close();
    std::vector<std::uint8_t> kept;
    ASSERT_EQ(toolkit::ReadFileBytes(KeptBank(), 1 << 20, kept), toolkit::ReadOutcome::Read);
    EXPECT_EQ(kept, changed);
    if (Programs() > 0) {
        bank.file.programs[5].name = "On disk";
        bank.file.currentProgram = 5;
    }
    const std::vector<std::uint8_t> onDisk = preset::Write(bank.file);
    ASSERT_TRUE(toolkit::WriteFileReplacing(KeptBank(), onDisk.data(), onDisk.size()));
    Restart();
    EXPECT_EQ(Instrument().SaveInstrumentState(false), onDisk);
    if (Programs() > 0) {
        EXPECT_EQ(Caption(), "Zumbrel - On disk");
    }

    Close();
    ASSERT_TRUE(toolkit::WriteFileReplacing(KeptBank(), damaged.data(), damaged.size()));
    Restart();
    char note[256] = {};
    SendMessageA(GetDlgItem(Frame(), IDW_STATUS_BAR), SB_GETTEXTA, 0,
                 reinterpret_cast<LPARAM>(note));
    EXPECT_EQ(std::string(note).find(ThisExecutablesBaseName() + ".fxb was not loaded"), 0u)
        << note;
    Close();
    ASSERT_EQ(toolkit::ReadFileBytes(KeptBank(), 1 << 20, kept), toolkit::ReadOutcome::Read);
    EXPECT_EQ(kept, damaged);
}

TEST_P(ViewInProcess, KeepingTheStateCanBeSwitchedOff)
{
    Close();
    DeleteFileA(KeptBank().c_str());
    WritePrivateProfileStringA("state", "autosave", "0", (m_dir + "\\tarvoshell.ini").c_str());
    Restart();
    Close();
    EXPECT_EQ(GetFileAttributesA(KeptBank().c_str()), INVALID_FILE_ATTRIBUTES);
}

LRESULT CALLBACK AnswersAsATextField(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return msg == WM_GETDLGCODE ? DLGC_HASSETSEL | DLGC_WANTCHARS
                                : DefWindowProcA(window, msg, wParam, lParam);
}

// The computer keyboard plays whichever window of the frame has the focus, an instrument's
// editor named "...Editor..." among them; only a text field keeps its keys.
TEST_P(ViewInProcess, KeysPlayUnlessATextFieldHasTheFocus)
{
    LoadLibraryA("riched20.dll");
    WNDCLASSA editorClass{};
    editorClass.lpfnWndProc = DefWindowProcA;
    editorClass.lpszClassName = "VSTGUI_PluginEditor";
    RegisterClassA(&editorClass);
    WNDCLASSA fieldClass{};
    fieldClass.lpfnWndProc = AnswersAsATextField;
    fieldClass.lpszClassName = "SkinnedTextBox";
    RegisterClassA(&fieldClass);
    auto* view = dynamic_cast<CTarvolinView*>(m_frame->GetActiveView());
    ASSERT_NE(view, nullptr);
    const struct {
        const char* windowClass;
        bool plays;
    } cases[] = {{"VSTGUI_PluginEditor", true}, {"STATIC", true}, {"Edit", false},
                 {"RichEdit20A", false}, {"SkinnedTextBox", false}};
    for (const auto& c : cases) {
        HWND window = CreateWindowExA(0, c.windowClass, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP,
                                      0, 0, 100, 20, view->GetSafeHwnd(), nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr) << c.windowClass;
        SetFocus(window);
        ASSERT_EQ(GetFocus(), window) << c.windowClass;
        for (const WPARAM key : {WPARAM('A'), WPARAM(VK_ESCAPE)}) {
            MSG down{window, WM_KEYDOWN, key, 1, 0, {}};
            EXPECT_EQ(view->PreTranslateMessage(down), c.plays) << c.windowClass << " " << key;
            MSG up{window, WM_KEYUP, key, static_cast<LPARAM>(1u | (1u << 30) | (1u << 31)), 0, {}};
            view->PreTranslateMessage(up);
        }
        DestroyWindow(window);
    }
}

INSTANTIATE_TEST_SUITE_P(Probes, ViewInProcess, testing::Values("programs0", "programs128"));

} // namespace

// The demo instrument that ships with the program: its programs in the Presets menu, the
// first one in the caption.
class DemoInProcess : public ViewInProcess {};

// An instrument whose chunk is broken (ZUMBREL_PROBE_CHUNK) replaces no file: the bank kept
// between runs stays byte for byte as it was, and a save is refused with the reason.
class ChunksInProcess : public ViewInProcess {};

TEST_P(ChunksInProcess, ABrokenChunkReplacesNoFile)
{
    Restart();  // the first run's close keeps a good bank
    std::vector<std::uint8_t> kept;
    ASSERT_EQ(toolkit::ReadFileBytes(KeptBank(), 1u << 20, kept), toolkit::ReadOutcome::Read);
    for (const char* answer : {"null", "zero", "huge"}) {
        SetEnvironmentVariableA("ZUMBREL_PROBE_CHUNK", answer);
        Restart();
        SetEnvironmentVariableA("ZUMBREL_PROBE_CHUNK", nullptr);
        std::string failure;
        EXPECT_TRUE(Instrument().SaveInstrumentState(false, failure).empty()) << answer;
        EXPECT_NE(failure.find("the instrument"), std::string::npos) << answer << ": " << failure;
        Close();  // the broken chunk is asked for once more here
        std::vector<std::uint8_t> after;
        ASSERT_EQ(toolkit::ReadFileBytes(KeptBank(), 1u << 20, after), toolkit::ReadOutcome::Read);
        EXPECT_EQ(after, kept) << answer;
        Restart();
    }
}

INSTANTIATE_TEST_SUITE_P(Probes, ChunksInProcess, testing::Values("chunks"));

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

// The demo keeps its programs in a chunk: its bank and program files carry the chunk, and a
// bank applied back restores the names it holds.
TEST_P(DemoInProcess, StateTravelsAsChunks)
{
    const std::vector<std::uint8_t> bytes = Instrument().SaveInstrumentState(false);
    preset::ReadResult bank = preset::Read(bytes.data(), bytes.size());
    ASSERT_EQ(bank.error, preset::Error::None);
    EXPECT_EQ(bank.file.form, preset::Form::BankChunk);
    EXPECT_EQ(bank.file.programCount, 8);
    const std::vector<std::uint8_t> program = Instrument().SaveInstrumentState(true);
    EXPECT_EQ(preset::Read(program.data(), program.size()).file.form, preset::Form::ProgramChunk);

    SendMessageA(Frame(), WM_COMMAND, kFirstProgram + 6, 0);
    EXPECT_EQ(Instrument().LoadInstrumentState(bytes), "");
    EXPECT_EQ(Caption(), "Zumbrel - Warm Keys");
    EXPECT_EQ(Instrument().SaveInstrumentState(false), bytes);
}

INSTANTIATE_TEST_SUITE_P(Instruments, DemoInProcess, testing::Values("demo"));

// An instrument without an editor of its own gets the generic one: a slider per parameter,
// and the view sized to it.
class NoEditorInProcess : public ViewInProcess {};

TEST_P(NoEditorInProcess, GenericEditorFillsTheView)
{
    HWND view = m_frame->GetActiveView()->GetSafeHwnd();
    HWND editor = GetWindow(view, GW_CHILD);
    ASSERT_NE(editor, nullptr);
    RECT client{};
    RECT editorRect{};
    GetClientRect(view, &client);
    GetWindowRect(editor, &editorRect);
    EXPECT_EQ(client.right, editorRect.right - editorRect.left);
    EXPECT_EQ(client.bottom, editorRect.bottom - editorRect.top);
    int sliders = 0;
    for (HWND child = GetWindow(editor, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        char name[64] = {};
        GetClassNameA(child, name, sizeof name);
        sliders += std::string(name) == TRACKBAR_CLASSA;
    }
    EXPECT_EQ(sliders, 3);  // the probe's parameters
}

INSTANTIATE_TEST_SUITE_P(Probes, NoEditorInProcess, testing::Values("no_editor"));
