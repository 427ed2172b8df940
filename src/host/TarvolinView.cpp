#include "host/TarvolinView.h"

#include "audio/AsioStream.h"
#include "audio/WasapiDevice.h"
#include "base/FaultGuard.h"
#include "host/HostRules.h"
#include "resource.h"
#include "settings/DeviceSettingsDialog.h"
#include "toolkit/Document.h"
#include "toolkit/FrameWnd.h"

namespace {
constexpr char kMessageCaption[] = "Zumbrel";
constexpr char kMissingInstrument[] = "Can not find VSTi";
constexpr char kInitialTitle[] = "Zumbrel";
// Room for the working directory; a longer one leaves the path empty, so no library is found.
constexpr DWORD kDirectoryCapacity = MAX_PATH;
constexpr UINT_PTR kHealthTimer = 2;
constexpr UINT kHealthMs = 250;

std::string ModulePath()
{
    char module[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(nullptr, module, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::string() : std::string(module);
}

// The dialog edits a copy of the settings; the session applies it when the user confirms the
// dialog, and Cancel forgets it.
void RunSettingsDialog(CTarvolinView& view)
{
    const host::CInstrumentSession& session = view.Session();
    DeviceSettings edited = session.ReadSettings();
    if (EditDeviceSettings(view.GetSafeHwnd(), session.Settings(), session.DeviceChoices(),
                           edited))
        view.ApplySettings(edited);
}
} // namespace

CTarvolinView::OptionsHandler CTarvolinView::s_optionsHandler = &RunSettingsDialog;

void CTarvolinView::SetOptionsHandler(OptionsHandler handler)
{
    s_optionsHandler = handler ? handler : &RunSettingsDialog;
}

CTarvolinView::CTarvolinView()
    : CFormView(IDD_INSTRUMENT_FORM),
      m_session(*this, std::make_unique<CAsioStream>(), std::make_unique<CWasapiDevice>()),
      m_plugin(m_session.Plugin()),
      m_windowTitle(kInitialTitle),
      m_editor(m_plugin, *this)
{
}

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

    const std::string directory = ReadDirectoryPath();
    if (!OpenInstrument(directory)) {
        return;
    }
    m_editor.FitFrameAround();
    m_session.UseSettingsFile(directory + kSettingsFileName);
    ReadKeyboardSetting();
    const std::string module = ModulePath();
    m_session.StartRunning(module.empty() ? std::string()
                                          : host::AutosaveBankPath(directory, module));
    m_editor.FollowSizeRequests();
    OpenFileNamedAtStart();
    BuildProgramMenu();
    BringUpDevices();
    m_session.PublishDeviceChoices();
    m_healthTicks.Start(m_hWnd, kHealthTimer, kHealthMs);
}

std::string CTarvolinView::ReadDirectoryPath() const
{
    char directory[kDirectoryCapacity] = {};
    const DWORD length = GetCurrentDirectoryA(kDirectoryCapacity, directory);
    return length == 0 || length >= kDirectoryCapacity ? std::string()
                                                       : std::string(directory) + "\\";
}

// The library named after the executable, then its editor; false (with the program closing)
// when there is none or it faults while being opened.
bool CTarvolinView::OpenInstrument(const std::string& directory)
{
    const std::string module = ModulePath();
    const std::string library = directory.empty() || module.empty()
                                    ? std::string()
                                    : host::InstrumentLibraryPath(directory, module);
    switch (m_session.OpenInstrument(library)) {
    case host::CInstrumentSession::Opening::Missing:
        ReportMissingInstrument();
        return false;
    case host::CInstrumentSession::Opening::Faulted:
        ReportStartupFault();
        return false;
    case host::CInstrumentSession::Opening::Opened:
        break;
    }
    if (!m_editor.Open()) {
        ReportEditorFault();
    }
    return true;
}

void CTarvolinView::BringUpDevices()
{
    ApplySettings(m_session.ReadSettings());
}

void CTarvolinView::ApplySettings(const DeviceSettings& settings)
{
    m_session.ApplySettings(settings);
}

void CTarvolinView::OnOptions(unsigned)
{
    s_optionsHandler(*this);
}

// ---- What the user sees -------------------------------------------------------------------

void CTarvolinView::ShowStop(const std::string& text)
{
    MessageBoxA(m_hWnd, text.c_str(), kMessageCaption, MB_OK | MB_ICONSTOP);
}

void CTarvolinView::ShowStatus(const std::string& text)
{
    if (toolkit::CFrameWnd* frame = GetParentFrame()) {
        frame->SetMessageText(text.c_str());
    }
}

// The driver's thread: handled on this thread.
void CTarvolinView::RequestReopen()
{
    PostMessageA(m_hWnd, kDriverRequestMessage, 0, 0);
}

// Nothing else appears after the message: the frame, not shown yet, stays hidden and closes.
void CTarvolinView::ReportMissingInstrument()
{
    ShowStop(kMissingInstrument);
    CloseStartedEarly();
}

// A fault while the instrument is being opened ends the program, as a missing one does.
void CTarvolinView::ReportStartupFault()
{
    ShowStop("The instrument stopped working while it was being opened.\n\n" +
             FaultText(m_plugin.Fault()->call, m_plugin.Fault()->record) + "\n\nZumbrel closes.");
    CloseStartedEarly();
}

void CTarvolinView::CloseStartedEarly()
{
    GetParentFrame()->CancelShow();
    PostMessageA(GetParent(m_hWnd), WM_CLOSE, 0, 0);
}

void CTarvolinView::ReportEditorFault()
{
    ShowStop("The instrument's editor stopped working while it was being opened.\n\n" +
             FaultText(m_plugin.EditorFault()->call, m_plugin.EditorFault()->record) +
             "\n\nZumbrel plays the instrument without its editor.");
}

// ---- The instrument's state as files ------------------------------------------------------

std::vector<std::uint8_t> CTarvolinView::SaveInstrumentState(bool program, std::string& failure)
{
    return m_session.SaveState(program, failure);
}

// A bank brings its own program names and program: the menu and the caption follow them.
std::string CTarvolinView::LoadInstrumentState(const std::vector<std::uint8_t>& bytes)
{
    std::string refusal = m_session.LoadState(bytes);
    if (refusal.empty()) {
        RefreshProgramNames();
        ShowProgram(m_session.CurrentProgram(), false);
    }
    return refusal;
}

// The document accepted the name before the instrument ran (see the document); it is read now,
// and a file that cannot be applied leaves an untitled document.
void CTarvolinView::OpenFileNamedAtStart()
{
    toolkit::CDocument* document = GetDocument();
    if (document == nullptr || document->GetPathName().empty()) {
        return;
    }
    if (!document->OnOpenDocument(document->GetPathName())) {
        document->OnNewDocument();
    }
}

// ---- Messages and timers ------------------------------------------------------------------

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
        if (wParam != kHealthTimer && wParam != host::CInstrumentEditor::kIdleTimer) {
            return false;
        }
        OnTimer(wParam);
        result = 0;
        return true;
    case kDriverRequestMessage:
        m_session.ReopenAudio();
        result = 0;
        return true;
    case host::CInstrumentEditor::kSizeMessage:
        m_editor.OnSizeMessage();
        result = 0;
        return true;
    default:
        return CFormView::OnMessage(msg, wParam, lParam, result);
    }
}

void CTarvolinView::OnTimer(WPARAM timer)
{
    if (timer == kHealthTimer) {
        m_healthTicks.Handled();
        m_editor.OnHealthTick();
        m_session.CheckHealth();
        return;
    }
    m_editor.OnIdleTick();
}

// The timers stop and the editor goes (the generic one reads the plug-in until its window is
// gone), then the session closes the devices and releases the instrument. Safe to run again.
void CTarvolinView::ShutDown() noexcept
{
    m_healthTicks.Stop();
    m_editor.Close();
    m_session.ShutDown();
}
