#include "toolkit/Dialog.h"

#include "toolkit/FrameWnd.h"
#include "toolkit/WinApp.h"

namespace toolkit {

INT_PTR CDialog::DoModal()
{
    CWinApp* app = CWinApp::Get();
    HWND owner = app->MainFrame() != nullptr ? app->MainFrame()->GetSafeHwnd() : nullptr;
    return DialogBoxParamA(app->Instance(), MAKEINTRESOURCEA(m_templateId), owner,
                           &CWnd::DialogProc, reinterpret_cast<LPARAM>(this));
}

// The dialog's message table.
bool CDialog::OnMessage(UINT msg, WPARAM wParam, LPARAM, LRESULT& result)
{
    switch (msg) {
    case WM_INITDIALOG:
        result = OnInitDialog() ? TRUE : FALSE;
        return true;
    case WM_COMMAND:
        // The dialog's own command table first: its controls' notifications and commands.
        if (OnCmdMsg(LOWORD(wParam), HIWORD(wParam), CmdMode::Execute)) {
            return true;
        }
        if (LOWORD(wParam) == IDOK) {
            OnOK();
            return true;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            return true;
        }
        return false;
    default:
        return false;
    }
}

} // namespace toolkit
