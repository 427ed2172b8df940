#include "app/MainFrame.h"

#include "toolkit/TextRules.h"
#include "resource.h"

#include <commctrl.h>

#include <cstdio>
#include <string>

namespace {
constexpr char kWelcome[] = "Welcome to Zumbrel";
constexpr int kLoadTextCapacity = 32;
constexpr UINT kLoadPaneId = 1;

// The program file's name without folder and extension: the process's performance instance.
std::string ExecutableBaseName()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string name = toolkit::FileTitleOf(path);
    return name.substr(0, name.rfind('.'));
}
} // namespace

// The style is assigned, not combined: no sizing border, no maximize box.
bool CMainFrame::PreCreateWindow(CREATESTRUCTA& cs)
{
    if (!CFrameWnd::PreCreateWindow(cs)) {
        return false;
    }
    cs.style = kStyle;
    return true;
}

int CMainFrame::OnCreate(CREATESTRUCTA* cs)
{
    if (CFrameWnd::OnCreate(cs) == -1) {
        return -1;
    }
    if (!m_statusBar.Create(this, WS_CHILD | WS_VISIBLE | CCS_BOTTOM, IDW_STATUS_BAR)) {
        return -1;
    }
    const UINT indicators[] = {0, 0};
    if (!m_statusBar.SetIndicators(indicators, 2)) {
        return -1;
    }
    m_statusBar.SetPaneText(0, kWelcome);
    m_statusBar.SetPaneInfo(1, kLoadPaneId, toolkit::CStatusBar::Normal, kLoadPaneWidth);
    m_loadTicks.Start(m_hWnd, kLoadTimer, kLoadTimerPeriodMs);
    return 0;
}

// Every tick, whatever its identifier, refreshes the load pane.
void CMainFrame::OnTimer(UINT_PTR)
{
    m_loadTicks.Handled();
    const std::string name = ExecutableBaseName();
    char text[kLoadTextCapacity];
    std::snprintf(text, sizeof text, "CPU:%d %%", static_cast<int>(m_loadMeter.SampleLoad(name.c_str())));
    m_statusBar.SetPaneText(1, text);
}
