#include "toolkit/FrameWnd.h"

#include "toolkit/Document.h"
#include "toolkit/StatusBar.h"
#include "toolkit/TextRules.h"
#include "toolkit/View.h"
#include "toolkit/WinApp.h"
#include "resource.h"

namespace toolkit {

namespace {
constexpr char kFrameClass[] = "ZumbrelFrame";
constexpr int kStringCapacity = 512;
// WM_MENUSELECT's flags when the menu closes.
constexpr UINT kMenuClosed = 0xFFFF;
} // namespace

// How a command reaches its handler. Menu items and accelerator keys send WM_COMMAND to this
// frame; control notifications from the view's children reach the view, which hands them here
// too. Each stop looks the identifier up in its own command table; the first that has a handler
// wins. In Query mode nothing runs: that is how a menu item learns whether anybody handles it.
bool CFrameWnd::RouteCommand(unsigned id, unsigned code, CmdMode mode)
{
    if (m_view != nullptr && m_view->OnCmdMsg(id, code, mode)) {
        return true; // 1. the view, which knows the instrument
    }
    if (m_document != nullptr && m_document->OnCmdMsg(id, code, mode)) {
        return true; // 2. its document: Close, Save, Save As
    }
    if (OnCmdMsg(id, code, mode)) {
        return true; // 3. this frame's own table
    }
    CWinApp* app = CWinApp::Get();
    return app != nullptr && app->OnCmdMsg(id, code, mode); // 4. the application: New, Open, Exit, About
}

// The frame's message table.
bool CFrameWnd::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (msg) {
    case WM_CREATE:
        result = OnCreate(reinterpret_cast<CREATESTRUCTA*>(lParam));
        return true;
    case WM_COMMAND:
        RouteCommand(LOWORD(wParam), HIWORD(wParam), CmdMode::Execute);
        return true;
    case WM_INITMENUPOPUP:
        OnInitMenuPopup(reinterpret_cast<HMENU>(wParam), HIWORD(lParam) != 0);
        return true;
    case WM_MENUSELECT:
        OnMenuSelect(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HMENU>(lParam));
        return true;
    case WM_SIZE:
        RecalcLayout();
        return true;
    case WM_SETFOCUS:
        if (m_view != nullptr && m_view->GetSafeHwnd() != nullptr) {
            SetFocus(m_view->GetSafeHwnd());
        }
        return true;
    case WM_TIMER:
        OnTimer(static_cast<UINT_PTR>(wParam));
        return false;
    case WM_ACTIVATE:
        // The view hears it too (keys held down are up for it once the frame is inactive); the
        // default handling still moves the focus.
        if (m_view != nullptr && m_view->GetSafeHwnd() != nullptr) {
            m_view->OnActivateFrame(LOWORD(wParam) != WA_INACTIVE);
        }
        return false;
    case WM_CLOSE:
        // The document is never modified, so there is nothing to ask before closing.
        DestroyWindow();
        return true;
    case WM_NCDESTROY:
        OnNcDestroy();
        return false;
    default:
        return false;
    }
}

CFrameWnd::CFrameWnd() = default;

CFrameWnd::~CFrameWnd()
{
    m_view.reset();
    CWinApp* app = CWinApp::Get();
    if (app != nullptr && app->MainFrame() == this) {
        app->SetMainFrame(nullptr);
    }
}

std::string CFrameWnd::LoadText(UINT id) const
{
    char text[kStringCapacity] = {};
    LoadStringA(CWinApp::Get()->Instance(), id, text, kStringCapacity);
    return text;
}

bool CFrameWnd::LoadFrame(UINT resourceId, CDocument* document,
                          CSingleDocTemplate::ViewFactory makeView)
{
    CWinApp* app = CWinApp::Get();
    HINSTANCE instance = app->Instance();
    m_document = document;
    m_makeView = makeView;
    m_title = DocStringField(LoadText(resourceId), DocField::WindowTitle);
    HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(resourceId));
    if (!RegisterClass(instance, kFrameClass, icon, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1))) {
        return false;
    }
    m_menu = LoadMenuA(instance, MAKEINTRESOURCEA(resourceId));
    m_accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(resourceId));

    CREATESTRUCTA cs{};
    cs.hInstance = instance;
    cs.hMenu = m_menu;
    cs.lpszClass = kFrameClass;
    cs.lpszName = m_title.c_str();
    cs.style = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE;
    cs.dwExStyle = WS_EX_CLIENTEDGE;
    cs.x = cs.y = cs.cx = cs.cy = CW_USEDEFAULT;
    if (!PreCreateWindow(cs)) {
        return false;
    }
    if (app->MainFrame() == nullptr) {
        app->SetMainFrame(this);
    }
    HWND hwnd = CreateWindowExA(cs.dwExStyle, cs.lpszClass, cs.lpszName, cs.style, cs.x, cs.y,
                                cs.cx, cs.cy, cs.hwndParent, cs.hMenu, cs.hInstance, this);
    if (hwnd == nullptr) {
        if (app->MainFrame() == this) {
            app->SetMainFrame(nullptr);
        }
        return false;
    }
    return true;
}

bool CFrameWnd::PreCreateWindow(CREATESTRUCTA&)
{
    return true;
}

int CFrameWnd::OnCreate(CREATESTRUCTA*)
{
    if (m_makeView == nullptr) {
        return -1;
    }
    m_view.reset(m_makeView());
    if (m_view == nullptr || !m_view->Create(this, m_document, IDW_PANE_FIRST)) {
        m_view.reset();
        return -1;
    }
    return 0;
}

void CFrameWnd::InitialUpdateFrame()
{
    if (m_view != nullptr) {
        m_view->OnInitialUpdate();
    }
    UpdateFrameTitle();
}

void CFrameWnd::UpdateFrameTitle()
{
    if (m_hWnd == nullptr) {
        return;
    }
    const bool addDocument = (GetWindowLongA(m_hWnd, GWL_STYLE) & FWS_ADDTOTITLE) != 0;
    const std::string docTitle =
        addDocument && m_document != nullptr ? m_document->GetTitle() : std::string();
    SetWindowTextA(m_hWnd, ComposeFrameTitle(m_title, docTitle).c_str());
}

void CFrameWnd::RecalcLayout()
{
    RECT client{};
    GetClientRect(m_hWnd, &client);
    if (m_statusBar != nullptr && m_statusBar->GetSafeHwnd() != nullptr) {
        client.bottom -= m_statusBar->Layout();
    }
    if (m_view != nullptr && m_view->GetSafeHwnd() != nullptr) {
        MoveWindow(m_view->GetSafeHwnd(), 0, 0, client.right, client.bottom, TRUE);
    }
}

void CFrameWnd::SetMessageText(const std::string& text)
{
    if (m_statusBar != nullptr) {
        m_statusBar->SetPaneText(0, text);
    }
}

// Items whose command nobody would handle are shown disabled.
void CFrameWnd::OnInitMenuPopup(HMENU popup, bool isWindowMenu)
{
    if (isWindowMenu) {
        return;
    }
    const int count = GetMenuItemCount(popup);
    for (int i = 0; i < count; ++i) {
        const UINT id = GetMenuItemID(popup, i);
        if (id == 0 || id == static_cast<UINT>(-1)) {
            continue; // separator or sub-menu
        }
        const bool handled = RouteCommand(id, 0, CmdMode::Query);
        EnableMenuItem(popup, i, MF_BYPOSITION | (handled ? MF_ENABLED : MF_GRAYED));
    }
}

// While a menu is browsed the status bar shows the item's prompt; when it closes, "Ready".
void CFrameWnd::OnMenuSelect(UINT item, UINT flags, HMENU menu)
{
    if (flags == kMenuClosed && menu == nullptr) {
        SetMessageText(LoadText(IDS_IDLE_MESSAGE));
        return;
    }
    if ((flags & (MF_POPUP | MF_SEPARATOR | MF_SYSMENU)) != 0 || item == 0) {
        SetMessageText(std::string());
        return;
    }
    SetMessageText(PromptOf(LoadText(item)));
}

// Children are gone by now: the view object goes with its window; the main frame ends the loop.
void CFrameWnd::OnNcDestroy()
{
    m_view.reset();
    if (m_statusBar != nullptr) {
        m_statusBar->ForgetWindow();
        m_statusBar = nullptr;
    }
    CWinApp* app = CWinApp::Get();
    if (app != nullptr && app->MainFrame() == this) {
        app->SetMainFrame(nullptr);
        PostQuitMessage(0);
    }
}

} // namespace toolkit
