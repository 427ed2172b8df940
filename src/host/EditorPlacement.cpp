// The instrument's editor in the view: the frame fits exactly around it at start-up, in the
// middle of the screen. One that changes its size (a zoom, a panel it opens) asks for the new
// size, and the frame then fits exactly around it again, but never grows beyond the monitor's
// work area (there the view shows the editor's top-left part); one that faults while drawing
// is closed and the generic editor takes its place.
#include "host/TarvolinView.h"

#include "resource.h"
#include "toolkit/FrameWnd.h"

#include <algorithm>

namespace {
constexpr char kEditorStoppedDrawing[] =
    "The instrument's editor stopped working while drawing and was closed.\n\nThe instrument "
    "plays on; its parameters are shown in a plain editor.";
// No editor is larger than this on any screen: a request beyond it is taken as garbage.
constexpr std::int32_t kLargestEditorSide = 16384;
constexpr UINT kGenericEditorId = 1;

std::uint64_t PackSize(std::int32_t width, std::int32_t height)
{
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(width)) << 32) |
           static_cast<std::uint32_t>(height);
}
}  // namespace

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

// Any thread the editor asks from. A size of its own editor only: the generic editor, and
// sizes that are no size, are refused.
bool CTarvolinView::OnEditorSizeRequest(void* view, std::int32_t width, std::int32_t height)
{
    auto* self = static_cast<CTarvolinView*>(view);
    if (self == nullptr || width <= 0 || height <= 0 || width > kLargestEditorSide ||
        height > kLargestEditorSide || !self->m_ownEditorShown.load()) {
        return false;
    }
    self->m_requestedEditorSize.store(PackSize(width, height));
    if (GetCurrentThreadId() == self->m_viewThread) {
        self->ResizeToRequestedEditorSize();
    } else if (!self->m_editorSizePosted.exchange(true)) {
        PostMessageA(self->m_hWnd, kEditorSizeMessage, 0, 0);
    }
    return true;
}

void CTarvolinView::ResizeToRequestedEditorSize()
{
    m_editorSizePosted.store(false);
    const std::uint64_t size = m_requestedEditorSize.load();
    if (size == 0 || !m_session.Started() || m_hWnd == nullptr) {
        return;
    }
    FitFrameTo(SIZE{static_cast<LONG>(size >> 32), static_cast<LONG>(size & 0xFFFFFFFFu)});
    KeepFrameOnWorkArea();
}

// A frame larger than the work area is cut to it; one that reaches beyond it moves back in.
void CTarvolinView::KeepFrameOnWorkArea()
{
    HWND frame = GetParentFrame()->GetSafeHwnd();
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
        GetParentFrame()->RecalcLayout();
    }
}

// Every message of the loop passes here first: a paint for one of the editor's windows is
// remembered, and when the next message comes the window is asked whether it is still waiting
// to be painted, as a window whose paint handler faulted is.
bool CTarvolinView::WatchEditorPaints(const MSG& msg)
{
    HWND painted = m_paintedEditorWindow;
    m_paintedEditorWindow = nullptr;
    if (painted != nullptr && IsWindow(painted) && GetUpdateRect(painted, nullptr, FALSE) &&
        m_paintStorm.CountUnvalidated(GetTickCount64())) {
        CloseBrokenEditor();
        return true;
    }
    if (msg.message == WM_PAINT && m_genericEditor == nullptr && m_hWnd != nullptr &&
        m_plugin.HasEditor() && IsChild(m_hWnd, msg.hwnd)) {
        m_paintedEditorWindow = msg.hwnd;
    }
    return false;
}

void CTarvolinView::CloseBrokenEditor()
{
    m_ownEditorShown.store(false);
    m_editorIdleTicks.Stop();
    m_editorIdleRunning = false;
    m_plugin.EditClose();
    // What the editor left behind goes with it (windows of other threads cannot be destroyed
    // from here: they are hidden).
    for (HWND child = GetWindow(m_hWnd, GW_CHILD); child != nullptr;) {
        HWND next = GetWindow(child, GW_HWNDNEXT);
        if (!::DestroyWindow(child)) {
            ShowWindowAsync(child, SW_HIDE);
        }
        child = next;
    }
    const SIZE size = OpenGenericEditor();
    if (size.cx > 0 && size.cy > 0) {
        FitFrameTo(size);
        KeepFrameOnWorkArea();
    }
    ShowStop(kEditorStoppedDrawing);
}
