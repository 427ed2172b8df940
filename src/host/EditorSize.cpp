// The instrument's editor as it changes: one that changes its size (a zoom, a panel it opens)
// asks for the new size, and the frame then fits exactly around it, as at start-up, but never
// grows beyond the monitor's work area (there the view shows the editor's top-left part); one
// that faults while drawing is closed and the generic editor takes its place.
#include "host/TarvolinView.h"

#include "toolkit/FrameWnd.h"

#include <algorithm>

namespace {
constexpr char kEditorStoppedDrawing[] =
    "The instrument's editor stopped working while drawing and was closed.\n\nThe instrument "
    "plays on; its parameters are shown in a plain editor.";
// No editor is larger than this on any screen: a request beyond it is taken as garbage.
constexpr std::int32_t kLargestEditorSide = 16384;

std::uint64_t PackSize(std::int32_t width, std::int32_t height)
{
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(width)) << 32) |
           static_cast<std::uint32_t>(height);
}
}  // namespace

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
    if (size == 0 || !m_instrumentRunning || m_hWnd == nullptr) {
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
    ShowStopMessage(kEditorStoppedDrawing);
}
