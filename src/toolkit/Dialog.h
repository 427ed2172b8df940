// CDialog: a modal dialog box from a dialog template. Commands and control notifications go to
// the dialog's own command table (OnCmdMsg); OK and Cancel, when the table does not take them,
// end the dialog.
#pragma once

#include "toolkit/Wnd.h"

namespace toolkit {

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId) : m_templateId(templateId) {}

    // Runs the dialog, owned by the main frame; returns the code passed to EndDialog, or -1.
    INT_PTR DoModal();

protected:
    // Returns true to let the system set the focus to the first control.
    virtual bool OnInitDialog() { return true; }
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    void EndDialog(INT_PTR code) { ::EndDialog(m_hWnd, code); }

    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    UINT m_templateId;
};

} // namespace toolkit
