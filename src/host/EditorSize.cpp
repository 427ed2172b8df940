// An editor that changes its size (a zoom, a panel it opens) asks for the new size; the frame
// then fits exactly around it, as at start-up, but never grows beyond the monitor's work area:
// there the view shows the editor's top-left part.
#include "host/TarvolinView.h"

#include "toolkit/FrameWnd.h"

#include <algorithm>

namespace {
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
        height > kLargestEditorSide || self->m_genericEditor != nullptr) {
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
