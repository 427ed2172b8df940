// CAboutDlg: the About box, dialog template 100, with no behaviour of its own.
#pragma once

#include "toolkit/Dialog.h"
#include "resource.h"

class CAboutDlg : public toolkit::CDialog {
public:
    CAboutDlg() : CDialog(IDD_ABOUTBOX) {}
};
