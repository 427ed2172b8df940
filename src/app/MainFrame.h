// CMainFrame: the main frame. A caption, a system menu and a minimize box, no sizing border
// and no maximize box: only the view changes its size. It owns the status bar and the
// processor-load meter, which it samples once a second.
#pragma once

#include "sysinfo/ProcessLoadMeter.h"
#include "toolkit/FrameWnd.h"
#include "toolkit/PostedTimer.h"
#include "toolkit/StatusBar.h"

class CMainFrame : public toolkit::CFrameWnd {
public:
    // The frame's style word: caption, system menu, minimize box, document title in the title.
    static constexpr DWORD kStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | toolkit::FWS_ADDTOTITLE;
    static constexpr UINT_PTR kLoadTimer = 1;
    static constexpr UINT kLoadTimerPeriodMs = 1000;
    static constexpr int kLoadPaneWidth = 50;

protected:
    bool PreCreateWindow(CREATESTRUCTA& cs) override;
    int OnCreate(CREATESTRUCTA* cs) override;
    void OnTimer(UINT_PTR id) override;

private:
    toolkit::CStatusBar m_statusBar;
    sysinfo::CProcessLoadMeter m_loadMeter;
    // Posted ticks: the figure goes on even while a window of the thread never stops painting.
    toolkit::CPostedTimer m_loadTicks;
};
