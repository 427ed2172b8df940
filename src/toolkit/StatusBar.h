// CStatusBar: the status bar at the bottom of a frame, a row of panes. One pane may stretch to
// take the width the others leave; the others have fixed widths in pixels. A pane's width is
// the room for its text; its sunken border and margins (kPaneInset on each side) come on top,
// so that a text as wide as the pane is shown whole.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace toolkit {

class CFrameWnd;

class CStatusBar {
public:
    enum PaneStyle : unsigned { Normal = 0, NoBorders = 1, Stretch = 2 };
    static constexpr int kPaneInset = 3;

    CStatusBar() = default;
    ~CStatusBar();
    CStatusBar(const CStatusBar&) = delete;
    CStatusBar& operator=(const CStatusBar&) = delete;

    // Creates the bar as a child of `frame` and makes it the frame's status bar.
    bool Create(CFrameWnd* frame, DWORD style, UINT id);
    // One pane per identifier; the first becomes the stretching, borderless pane.
    bool SetIndicators(const UINT* ids, int count);
    bool SetPaneInfo(int index, UINT id, unsigned style, int width);
    bool SetPaneText(int index, const std::string& text, bool update = true);

    // Sizes the bar to its parent's bottom edge and spreads the panes; returns the bar's height.
    int Layout();
    HWND GetSafeHwnd() const { return m_hWnd; }
    // Called by the frame when its windows are gone: the handle is not ours any more.
    void ForgetWindow() { m_hWnd = nullptr; }

private:
    struct Pane {
        UINT id;
        unsigned style;
        int width;
        std::string text;
    };
    void ApplyText(int index) const;

    HWND m_hWnd = nullptr;
    std::vector<Pane> m_panes;
};

} // namespace toolkit
