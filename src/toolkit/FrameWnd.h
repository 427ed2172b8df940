// CFrameWnd: the main frame window. It holds the menu, the accelerator table, the status bar
// and the one view; it composes its title from its own title and the document's; it shows menu
// prompts on the status bar; and it routes every command (RouteCommand).
#pragma once

#include "toolkit/DocTemplate.h"
#include "toolkit/Wnd.h"

#include <memory>
#include <string>

namespace toolkit {

class CDocument;
class CStatusBar;
class CView;

// Frame style flag: the title shows the document's title after the frame's own.
constexpr DWORD FWS_ADDTOTITLE = 0x00008000;

class CFrameWnd : public CWnd {
public:
    CFrameWnd();
    ~CFrameWnd() override;

    // Creates the frame window from the resources numbered `resourceId`, with the view made by
    // `makeView` for `document`. False when the window or its view could not be made.
    bool LoadFrame(UINT resourceId, CDocument* document, CSingleDocTemplate::ViewFactory makeView);

    // Routes a command: view, then document, then this frame, then the application.
    bool RouteCommand(unsigned id, unsigned code, CmdMode mode);

    // Gives the view its initial update and shows the document's title.
    void InitialUpdateFrame();
    void UpdateFrameTitle();
    // Places the status bar at the bottom and gives the view the rest of the client area.
    void RecalcLayout();
    // Text of the status bar's first pane.
    void SetMessageText(const std::string& text);

    CView* GetActiveView() const { return m_view.get(); }
    CDocument* GetActiveDocument() const { return m_document; }
    HACCEL Accelerators() const { return m_accelerators; }
    CStatusBar* StatusBar() const { return m_statusBar; }
    void SetStatusBar(CStatusBar* bar) { m_statusBar = bar; }
    // A frame whose start-up failed stays hidden until it closes: the application shows the
    // main frame only when no part of it cancelled that.
    void CancelShow() { m_showCancelled = true; }
    bool ShowCancelled() const { return m_showCancelled; }

protected:
    // Adjusts the creation parameters the base prepared; false refuses the creation.
    virtual bool PreCreateWindow(CREATESTRUCTA& cs);
    // WM_CREATE: the base creates the view. Returns 0, or -1 to fail the creation.
    virtual int OnCreate(CREATESTRUCTA* cs);
    // WM_TIMER; the message then takes its default handling.
    virtual void OnTimer(UINT_PTR id) { (void)id; }

    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void OnInitMenuPopup(HMENU popup, bool isWindowMenu);
    void OnMenuSelect(UINT item, UINT flags, HMENU menu);
    void OnNcDestroy();
    std::string LoadText(UINT id) const;

    std::string m_title;
    HMENU m_menu = nullptr;
    HACCEL m_accelerators = nullptr;
    CDocument* m_document = nullptr;
    CSingleDocTemplate::ViewFactory m_makeView = nullptr;
    std::unique_ptr<CView> m_view;
    CStatusBar* m_statusBar = nullptr;
    bool m_showCancelled = false;
};

} // namespace toolkit
