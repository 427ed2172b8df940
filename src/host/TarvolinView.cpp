#include "host/TarvolinView.h"

#include "base/FaultGuard.h"
#include "base/SampleRate.h"
#include "host/CloseWatchdog.h"
#include "host/HostRules.h"
#include "resource.h"
#include "settings/DeviceSettings.h"
#include "settings/DeviceSettingsDialog.h"
#include "toolkit/FrameWnd.h"

#include <algorithm>

namespace {
constexpr std::int32_t kPluginBlockSize = 2048;
constexpr char kMessageCaption[] = "Zumbrel";
constexpr char kMissingInstrument[] = "Can not find VSTi";
constexpr char kInitialTitle[] = "Zumbrel";
// Room for the working directory; a longer one leaves the path empty, so no library is found.
constexpr DWORD kDirectoryCapacity = MAX_PATH;
// Editors expect their idle call 20 to 50 times a second on the window's thread.
constexpr UINT_PTR kEditorIdleTimer = 1;
constexpr UINT kEditorIdleMs = 30;
// Closing never takes longer than this (host/CloseWatchdog.h).
constexpr DWORD kCloseLimitMs = 8000;
constexpr UINT kGenericEditorId = 1;
} // namespace

namespace {

// The settings take effect at once when the user confirms the dialog.
void RunSettingsDialog(CTarvolinView& view)
{
    if (RunDeviceSettingsDialog(view.GetSafeHwnd()))
        view.BringUpDevices();
}

} // namespace

CTarvolinView::OptionsHandler CTarvolinView::s_optionsHandler = &RunSettingsDialog;

void CTarvolinView::SetOptionsHandler(OptionsHandler handler)
{
    s_optionsHandler = handler ? handler : &RunSettingsDialog;
}

CTarvolinView::CTarvolinView() : CFormView(IDD_INSTRUMENT_FORM), m_windowTitle(kInitialTitle) {}

CTarvolinView::~CTarvolinView()
{
    ShutDown();
}

// The start-up; see the class comment. New and Open give the view its initial update again:
// the instrument keeps running then, and only the caption is shown again on the next paint.
void CTarvolinView::OnInitialUpdate()
{
    if (m_startupDone) {
        InvalidateRect(m_hWnd, nullptr, TRUE);
        return;
    }
    m_startupDone = true;
    // Faults outside any guarded call (on a driver's own thread, say) end the program with a
    // message naming the module, never silently.
    InstallLastResortFaultHandler();
    CFormView::OnInitialUpdate();
    GetParentFrame()->RecalcLayout();
    ResizeParentToFit();

    ReadDirectoryPath();
    if (!OpenInstrument()) {
        if (m_plugin.Fault() != nullptr) {
            ReportStartupFault();
        } else {
            ReportMissingInstrument();
        }
        return;
    }
    SizeFrameAroundEditor();
    m_settings.setPath((m_directoryPath + kSettingsFileName).c_str());
    ReadKeyboardSetting();
    m_instrumentRunning = true;
    LoadAutosave();
    OpenFileNamedAtStart();
    BuildProgramMenu();
    BringUpDevices();
    m_driverNames[0] = "none";
    PublishDriverList();
    StartHealthTimer();
}

void CTarvolinView::ReadDirectoryPath()
{
    char directory[kDirectoryCapacity] = {};
    const DWORD length = GetCurrentDirectoryA(kDirectoryCapacity, directory);
    m_directoryPath = length == 0 || length >= kDirectoryCapacity ? std::string()
                                                                  : std::string(directory) + "\\";
}

bool CTarvolinView::OpenInstrument()
{
    if (m_directoryPath.empty()) {
        return false;
    }
    char module[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(nullptr, module, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return false;
    }
    const std::string library = host::InstrumentLibraryPath(m_directoryPath, module);
    if (!m_plugin.Load(library.c_str())) {
        return false;
    }
    // The plug-in is switched off before it is opened, as instruments expect.
    m_plugin.MainsChanged(0);
    m_plugin.Open();
    m_plugin.SetBlockSize(kPluginBlockSize);
    m_plugin.SetSampleRate(static_cast<float>(kDefaultSampleRate));
    m_plugin.MainsChanged(1);
    if (m_plugin.Faulted()) {
        return false;
    }
    // Only a plug-in that says it has an editor is asked to open one; the others get the
    // generic editor (SizeFrameAroundEditor).
    m_viewThread = GetCurrentThreadId();
    m_plugin.SetSizeRequestHandler(&CTarvolinView::OnEditorSizeRequest, this);
    if (m_plugin.HasEditor()) {
        m_plugin.EditOpen(m_hWnd);
    }
    if (m_plugin.EditorFault() != nullptr) {
        ReportEditorFault();
    } else {
        StartEditorIdle();
    }
    return true;
}

void CTarvolinView::StartEditorIdle()
{
    if (m_plugin.HasEditor() && m_editorIdleTicks.Start(m_hWnd, kEditorIdleTimer, kEditorIdleMs)) {
        m_editorIdleRunning = true;
    }
}

// The view's client area becomes exactly the editor (the plug-in's own, or the generic one
// when the plug-in shows none), then the frame moves to the middle of the screen. The editor's
// size is its rectangle's right and bottom edges.
void CTarvolinView::SizeFrameAroundEditor()
{
    HWND frame = GetParentFrame()->GetSafeHwnd();
    ERect* editor = nullptr;
    m_plugin.EditGetRect(&editor);
    const ERect rect = editor != nullptr ? *editor : ERect{};
    const bool ownEditor = rect.right > rect.left && rect.bottom > rect.top;
    m_ownEditorShown.store(ownEditor);
    const SIZE content = ownEditor ? SIZE{rect.right, rect.bottom} : OpenGenericEditor();
    if (content.cx > 0 && content.cy > 0) {
        FitFrameTo(content);
    }
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    RECT outer{};
    if (GetWindowRect(frame, &outer) &&
        GetMonitorInfoA(MonitorFromWindow(frame, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
        const RECT& work = monitor.rcWork;
        const int width = outer.right - outer.left;
        const int height = outer.bottom - outer.top;
        SetWindowPos(frame, nullptr, work.left + (work.right - work.left - width) / 2,
                     work.top + (work.bottom - work.top - height) / 2, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

// A first size from the frame's styles and menu (AdjustWindowRectEx) and the status bar's own
// height, then corrected by what the view's client area really measures: a menu bar that
// wraps, or borders the estimate does not know, still end with the exact size.
void CTarvolinView::FitFrameTo(SIZE content)
{
    HWND frame = GetParentFrame()->GetSafeHwnd();
    RECT bar{};
    HWND statusBar = GetDlgItem(frame, IDW_STATUS_BAR);
    if (statusBar != nullptr) {
        GetWindowRect(statusBar, &bar);
    }
    RECT outer{0, 0, content.cx, content.cy + (bar.bottom - bar.top)};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongA(frame, GWL_STYLE)),
                       GetMenu(frame) != nullptr,
                       static_cast<DWORD>(GetWindowLongA(frame, GWL_EXSTYLE)));
    SetWindowPos(frame, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    constexpr int kCorrections = 3;
    for (int pass = 0; pass < kCorrections; ++pass) {
        GetParentFrame()->RecalcLayout();
        RECT client{};
        GetClientRect(m_hWnd, &client);
        const int dx = content.cx - (client.right - client.left);
        const int dy = content.cy - (client.bottom - client.top);
        if (dx == 0 && dy == 0) {
            break;
        }
        RECT now{};
        GetWindowRect(frame, &now);
        SetWindowPos(frame, nullptr, 0, 0, now.right - now.left + dx, now.bottom - now.top + dy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

// For a plug-in without an editor of its own, or whose editor failed: one row per parameter.
SIZE CTarvolinView::OpenGenericEditor()
{
    m_parameterAccess = std::make_unique<host::CPluginParameters>(m_plugin);
    m_genericEditor = std::make_unique<CGenericEditor>(*m_parameterAccess);
    const SIZE size = m_genericEditor->PreferredSize();
    if (!m_genericEditor->Create(m_hWnd, RECT{0, 0, size.cx, size.cy}, kGenericEditorId)) {
        m_genericEditor.reset();
        return SIZE{};
    }
    return size;
}

void CTarvolinView::PublishDriverList()
{
    const int count = std::min(m_asioStream.driverCount() + 1, kDriverNameEntries);
    WriteDriverList(m_settings, std::vector<std::string>(m_driverNames, m_driverNames + count));
}

// Nothing else appears after the message: the frame, not shown yet, stays hidden and closes.
void CTarvolinView::ReportMissingInstrument()
{
    ShowStopMessage(kMissingInstrument);
    GetParentFrame()->CancelShow();
    PostMessageA(GetParent(m_hWnd), WM_CLOSE, 0, 0);
}

void CTarvolinView::ShowStopMessage(const char* text) const
{
    MessageBoxA(m_hWnd, text, kMessageCaption, MB_OK | MB_ICONSTOP);
}

// The view's window goes first when the frame closes, while the editor's parent still exists.
bool CTarvolinView::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg) {
    case WM_PAINT:
        OnPaint();
        result = 0;
        return true;
    case WM_DESTROY:
        ShutDown();
        return false;
    case WM_TIMER:
        if (IsHealthTimer(wParam)) {
            m_healthTicks.Handled();
            CheckHealth();
            result = 0;
            return true;
        }
        if (wParam != kEditorIdleTimer) {
            return false;
        }
        m_editorIdleTicks.Handled();
        // An editor that pumps messages inside its idle call does not get a nested one.
        if (m_editorIdleRunning && !m_inEditorIdle && m_plugin.IsLoaded()) {
            m_inEditorIdle = true;
            m_plugin.EditIdle();
            m_inEditorIdle = false;
        }
        result = 0;
        return true;
    case kDriverRequestMessage:
        ReopenAudio();
        result = 0;
        return true;
    case kEditorSizeMessage:
        ResizeToRequestedEditorSize();
        result = 0;
        return true;
    default:
        return CFormView::OnMessage(msg, wParam, lParam, result);
    }
}

// Devices first: once the stream is closed no render call runs, once the port is closed no
// delivery arrives; only then is the plug-in released. Safe to run more than once. The whole
// close is bounded by a watchdog, whatever a component does in its last calls.
void CTarvolinView::ShutDown() noexcept
{
    const host::CCloseWatchdog watchdog(kCloseLimitMs);
    StopHealthTimer();
    m_editorIdleTicks.Stop();
    m_editorIdleRunning = false;
    // A stuck stream or instrument is asked nothing more.
    if (m_audioStuck) {
        EndWithBrokenComponents();
    }
    m_asioStream.closeStream();
    if (m_midiInDevice) {
        try {
            m_midiInDevice->Close();
        } catch (const std::exception&) {
            m_midiInDevice->Stop();  // a port that refuses to close at least delivers nothing more
        }
        m_midiInDevice->AttachReceiver(nullptr);
    }
    SaveAutosave();
    m_instrumentRunning = false;
    m_ownEditorShown.store(false);
    m_genericEditor.reset();  // it reads the plug-in until its window is gone
    m_plugin.Unload();
    m_plugin.SetSizeRequestHandler(nullptr, nullptr);
    if (BrokenComponentKept()) {
        EndWithBrokenComponents();
    }
}

// MIDI receiver: queue the event on the plug-in, stamped with the stream's rate.
void CTarvolinView::OnShortMessage(std::uint32_t message, std::uint32_t timestamp)
{
    const host::ShortMessage split = host::SplitShortMessage(message);
    if (!m_plugin.IsLoaded()) {
        return;
    }
    m_plugin.AddMidiEvent(split.status, split.data1, split.data2, StreamRate(), timestamp);
}

// The event list copies the bytes, so the buffer can be lent again at once.
void CTarvolinView::OnSysExBuffer(char* data, std::uint32_t bytesRecorded, std::uint32_t timestamp)
{
    if (!m_plugin.IsLoaded()) {
        return;
    }
    m_plugin.AddSysExEvent(data, static_cast<std::int32_t>(bytesRecorded), StreamRate(), timestamp);
    LendSysExBuffer();
}

void CTarvolinView::OnOptions(unsigned)
{
    s_optionsHandler(*this);
}

void CTarvolinView::OnSysExError(char*, std::uint32_t, std::uint32_t) {}

void CTarvolinView::OnShortMessageError(std::uint32_t, std::uint32_t) {}
