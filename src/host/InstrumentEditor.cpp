#include "host/InstrumentEditor.h"

#include "resource.h"
#include "toolkit/FrameWnd.h"

#include <algorithm>

namespace host {

namespace {
// Editors expect their idle call 20 to 50 times a second on the window's thread.
constexpr UINT kIdleMs = 30;
// No editor is larger than this on any screen: a request beyond it is taken as garbage.
constexpr std::int32_t kLargestEditorSide = 16384;
constexpr UINT kGenericEditorId = 1;

std::uint64_t PackSize(std::int32_t width, std::int32_t height)
{
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(width)) << 32) |
           static_cast<std::uint32_t>(height);
}
}  // namespace

CInstrumentEditor::CInstrumentEditor(CVstPlugin& plugin, toolkit::CView& view)
    : m_plugin(plugin), m_view(view)
{
}

// Only a plug-in that says it has an editor is asked to open one; the others get the generic
// editor (FitFrameAround).
bool CInstrumentEditor::Open()
{
    m_viewThread = GetCurrentThreadId();
    m_plugin.SetSizeRequestHandler(&CInstrumentEditor::OnSizeRequest, this);
    if (m_plugin.HasEditor()) {
        m_plugin.EditOpen(m_view.GetSafeHwnd());
    }
    if (m_plugin.EditorFault() != nullptr) {
        return false;
    }
    if (m_plugin.HasEditor() && m_idleTicks.Start(m_view.GetSafeHwnd(), kIdleTimer, kIdleMs)) {
        m_idleRunning = true;
    }
    return true;
}

void CInstrumentEditor::OnIdleTick()
{
    m_idleTicks.Handled();
    // An editor that pumps messages inside its idle call does not get a nested one.
    if (m_idleRunning && !m_inIdle && m_plugin.IsLoaded()) {
        m_inIdle = true;
        m_plugin.EditIdle();
        m_inIdle = false;
    }
}

void CInstrumentEditor::OnHealthTick()
{
    // Ahead of the editor's own refresh.
    if (m_genericEditor && m_plugin.Automations() != m_automationsSeen) {
        m_automationsSeen = m_plugin.Automations();
        m_genericEditor->Refresh();
    }
    if (m_plugin.Faulted()) {
        m_idleRunning = false;
    }
}

void CInstrumentEditor::Refresh()
{
    if (m_genericEditor) {
        m_genericEditor->Refresh();
    }
}

void CInstrumentEditor::Close()
{
    m_following = false;
    m_idleTicks.Stop();
    m_idleRunning = false;
    m_ownEditorShown.store(false);
    m_genericEditor.reset();
}

// The view's client area becomes exactly the editor (the plug-in's own, or the generic one
// when the plug-in shows none), then the frame moves to the middle of the screen. The editor's
// size is its rectangle's right and bottom edges.
void CInstrumentEditor::FitFrameAround()
{
    HWND frame = m_view.GetParentFrame()->GetSafeHwnd();
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
void CInstrumentEditor::FitFrameTo(SIZE content)
{
    HWND frame = m_view.GetParentFrame()->GetSafeHwnd();
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
        m_view.GetParentFrame()->RecalcLayout();
        RECT client{};
        GetClientRect(m_view.GetSafeHwnd(), &client);
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
SIZE CInstrumentEditor::OpenGenericEditor()
{
    m_parameterAccess = std::make_unique<CPluginParameters>(m_plugin);
    m_genericEditor = std::make_unique<CGenericEditor>(*m_parameterAccess);
    const SIZE size = m_genericEditor->PreferredSize();
    if (!m_genericEditor->Create(m_view.GetSafeHwnd(), RECT{0, 0, size.cx, size.cy},
                                 kGenericEditorId)) {
        m_genericEditor.reset();
        return SIZE{};
    }
    return size;
}

// Any thread the editor asks from. A size of its own editor only: the generic editor, and
// sizes that are no size, are refused.
bool CInstrumentEditor::OnSizeRequest(void* editor, std::int32_t width, std::int32_t height)
{
    auto* self = static_cast<CInstrumentEditor*>(editor);
    if (self == nullptr || width <= 0 || height <= 0 || width > kLargestEditorSide ||
        height > kLargestEditorSide || !self->m_ownEditorShown.load()) {
        return false;
    }
    self->m_requestedSize.store(PackSize(width, height));
    if (GetCurrentThreadId() == self->m_viewThread) {
        self->ResizeToRequestedSize();
    } else if (!self->m_sizePosted.exchange(true)) {
        PostMessageA(self->m_view.GetSafeHwnd(), kSizeMessage, 0, 0);
    }
    return true;
}

void CInstrumentEditor::ResizeToRequestedSize()
{
    m_sizePosted.store(false);
    const std::uint64_t size = m_requestedSize.load();
    if (size == 0 || !m_following || m_view.GetSafeHwnd() == nullptr) {
        return;
    }
    FitFrameTo(SIZE{static_cast<LONG>(size >> 32), static_cast<LONG>(size & 0xFFFFFFFFu)});
    KeepFrameOnWorkArea();
}

// A frame larger than the work area is cut to it; one that reaches beyond it moves back in.
void CInstrumentEditor::KeepFrameOnWorkArea()
{
    HWND frame = m_view.GetParentFrame()->GetSafeHwnd();
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    RECT outer{};
    if (!GetWindowRect(frame, &outer) ||
        !GetMonitorInfoA(MonitorFromWindow(frame, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
        return;
    }
    const RECT& work = monitor.rcWork;
    const LONG width = std::min(outer.right - outer.left, work.right - work.left);
    const LONG height = std::min(outer.bottom - outer.top, work.bottom - work.top);
    const LONG left = std::max(work.left, std::min(outer.left, work.right - width));
    const LONG top = std::max(work.top, std::min(outer.top, work.bottom - height));
    if (width != outer.right - outer.left || height != outer.bottom - outer.top ||
        left != outer.left || top != outer.top) {
        SetWindowPos(frame, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
        m_view.GetParentFrame()->RecalcLayout();
    }
}

// Every message of the loop passes here first: a paint for one of the editor's windows is
// remembered, and when the next message comes the window is asked whether it is still waiting
// to be painted, as a window whose paint handler faulted is.
bool CInstrumentEditor::WatchPaints(const MSG& msg)
{
    HWND painted = m_paintedWindow;
    m_paintedWindow = nullptr;
    if (painted != nullptr && IsWindow(painted) && GetUpdateRect(painted, nullptr, FALSE) &&
        m_paintStorm.CountUnvalidated(GetTickCount64())) {
        CloseBrokenEditor();
        return true;
    }
    HWND view = m_view.GetSafeHwnd();
    if (msg.message == WM_PAINT && m_genericEditor == nullptr && view != nullptr &&
        m_plugin.HasEditor() && IsChild(view, msg.hwnd)) {
        m_paintedWindow = msg.hwnd;
    }
    return false;
}

void CInstrumentEditor::CloseBrokenEditor()
{
    m_ownEditorShown.store(false);
    m_idleTicks.Stop();
    m_idleRunning = false;
    m_plugin.EditClose();
    // What the editor left behind goes with it (windows of other threads cannot be destroyed
    // from here: they are hidden).
    for (HWND child = GetWindow(m_view.GetSafeHwnd(), GW_CHILD); child != nullptr;) {
        HWND next = GetWindow(child, GW_HWNDNEXT);
        if (!DestroyWindow(child)) {
            ShowWindowAsync(child, SW_HIDE);
        }
        child = next;
    }
    const SIZE size = OpenGenericEditor();
    if (size.cx > 0 && size.cy > 0) {
        FitFrameTo(size);
        KeepFrameOnWorkArea();
    }
}

}  // namespace host
