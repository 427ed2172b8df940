#include "toolkit/View.h"

#include "toolkit/FrameWnd.h"
#include "toolkit/StatusBar.h"
#include "toolkit/WinApp.h"

namespace toolkit {

bool CFormView::Create(CFrameWnd* frame, CDocument* document, UINT id)
{
    m_frame = frame;
    m_document = document;
    HWND hwnd = CreateDialogParamA(CWinApp::Get()->Instance(), MAKEINTRESOURCEA(m_templateId),
                                   frame->GetSafeHwnd(), &CWnd::DialogProc,
                                   reinterpret_cast<LPARAM>(this));
    if (hwnd == nullptr) {
        return false;
    }
    SetWindowLongPtrA(hwnd, GWLP_ID, static_cast<LONG_PTR>(id));
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    m_formSize = {rect.right - rect.left, rect.bottom - rect.top};
    ShowWindow(SW_SHOW);
    return true;
}

void CFormView::ResizeParentToFit()
{
    HWND frame = m_frame->GetSafeHwnd();
    RECT rect{0, 0, m_formSize.cx, m_formSize.cy};
    const CStatusBar* bar = m_frame->StatusBar();
    if (bar != nullptr && bar->GetSafeHwnd() != nullptr) {
        RECT barRect{};
        GetWindowRect(bar->GetSafeHwnd(), &barRect);
        rect.bottom += barRect.bottom - barRect.top;
    }
    AdjustWindowRectEx(&rect, static_cast<DWORD>(GetWindowLongA(frame, GWL_STYLE)),
                       GetMenu(frame) != nullptr, static_cast<DWORD>(GetWindowLongA(frame, GWL_EXSTYLE)));
    SetWindowPos(frame, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Notifications of the form's controls take the same route as menu commands.
bool CFormView::OnMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT& result)
{
    if (msg == WM_COMMAND && m_frame != nullptr) {
        m_frame->RouteCommand(LOWORD(wParam), HIWORD(wParam), CmdMode::Execute);
        result = 0;
        return true;
    }
    return false;
}

} // namespace toolkit
