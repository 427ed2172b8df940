#include "toolkit/StatusBar.h"

#include "toolkit/FrameWnd.h"

#include <commctrl.h>

namespace toolkit {

CStatusBar::~CStatusBar()
{
    if (m_hWnd != nullptr && IsWindow(m_hWnd)) {
        DestroyWindow(m_hWnd);
    }
}

bool CStatusBar::Create(CFrameWnd* frame, DWORD style, UINT id)
{
    m_hWnd = CreateWindowExA(0, STATUSCLASSNAMEA, "", style, 0, 0, 0, 0, frame->GetSafeHwnd(),
                             reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                             GetModuleHandleA(nullptr), nullptr);
    if (m_hWnd == nullptr) {
        return false;
    }
    frame->SetStatusBar(this);
    return true;
}

bool CStatusBar::SetIndicators(const UINT* ids, int count)
{
    if (m_hWnd == nullptr || count <= 0) {
        return false;
    }
    m_panes.clear();
    for (int i = 0; i < count; ++i) {
        m_panes.push_back({ids[i], i == 0 ? NoBorders | Stretch : Normal, 0, std::string()});
    }
    Layout();
    return true;
}

bool CStatusBar::SetPaneInfo(int index, UINT id, unsigned style, int width)
{
    if (index < 0 || index >= static_cast<int>(m_panes.size())) {
        return false;
    }
    m_panes[index].id = id;
    m_panes[index].style = style;
    m_panes[index].width = width;
    Layout();
    ApplyText(index);
    return true;
}

bool CStatusBar::SetPaneText(int index, const std::string& text, bool update)
{
    if (index < 0 || index >= static_cast<int>(m_panes.size())) {
        return false;
    }
    m_panes[index].text = text;
    ApplyText(index);
    if (update) {
        UpdateWindow(m_hWnd);
    }
    return true;
}

void CStatusBar::ApplyText(int index) const
{
    const Pane& pane = m_panes[index];
    const WPARAM type = (pane.style & NoBorders) != 0 ? SBT_NOBORDERS : 0;
    SendMessageA(m_hWnd, SB_SETTEXTA, static_cast<WPARAM>(index) | type,
                 reinterpret_cast<LPARAM>(pane.text.c_str()));
}

int CStatusBar::Layout()
{
    if (m_hWnd == nullptr) {
        return 0;
    }
    SendMessageA(m_hWnd, WM_SIZE, 0, 0); // the control places itself along the parent's bottom
    RECT bar{};
    GetClientRect(m_hWnd, &bar);
    auto outerWidth = [](const Pane& pane) { return pane.width + 2 * kPaneInset; };
    int fixed = 0;
    for (const Pane& pane : m_panes) {
        fixed += (pane.style & Stretch) != 0 ? 0 : outerWidth(pane);
    }
    // Right edges, left to right; the stretching pane takes what the fixed ones leave.
    std::vector<int> edges;
    int x = 0;
    for (const Pane& pane : m_panes) {
        x += (pane.style & Stretch) != 0 ? (bar.right - fixed > 0 ? bar.right - fixed : 0)
                                         : outerWidth(pane);
        edges.push_back(x);
    }
    if (!edges.empty()) {
        SendMessageA(m_hWnd, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
        for (int i = 0; i < static_cast<int>(m_panes.size()); ++i) {
            ApplyText(i);
        }
    }
    RECT window{};
    GetWindowRect(m_hWnd, &window);
    return window.bottom - window.top;
}

} // namespace toolkit
