#include "app/TarvolinApp.h"

#include "app/AboutDlg.h"
#include "app/InstrumentViewFactory.h"
#include "app/MainFrame.h"
#include "app/TarvolinDoc.h"
#include "toolkit/DocTemplate.h"
#include "resource.h"

#include <commctrl.h>

using toolkit::CmdMode;
using toolkit::CommandEntry;

namespace {
constexpr char kProfileRoot[] = "Local AppWizard-Generated Applications";
constexpr unsigned kRecentFileCount = 0;

toolkit::CDocument* MakeDocument() { return new CTarvolinDoc; }
toolkit::CFrameWnd* MakeFrame() { return new CMainFrame; }
} // namespace

bool CTarvolinApp::InitInstance()
{
    // 1. Common controls with the current look (the manifest asks for version 6).
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    // 2. Profile root, and the standard profile read, which creates the profile keys.
    SetRegistryKey(kProfileRoot);
    LoadStdProfileSettings(kRecentFileCount);

    // 3. The single document template: document, main frame and the instrument view.
    AddDocTemplate(std::make_unique<toolkit::CSingleDocTemplate>(
        IDR_MAINFRAME, &MakeDocument, &MakeFrame, &MakeInstrumentView));

    // 4. A new document, or the file named on the command line; failure ends the program.
    if (!ProcessShellCommand()) {
        return false;
    }

    // 5. Show the frame where and as large as it is, and paint it at once; a frame whose
    //    start-up failed stays hidden and closes.
    if (MainFrame() != nullptr && !MainFrame()->ShowCancelled()) {
        MainFrame()->ShowWindow(SW_SHOW);
        MainFrame()->UpdateWindow();
    }
    return true;
}

bool CTarvolinApp::OnCmdMsg(unsigned id, unsigned code, CmdMode mode)
{
    static const CommandEntry<CTarvolinApp> table[] = {
        {ID_APP_ABOUT, ID_APP_ABOUT, &CTarvolinApp::OnAppAbout},
        {ID_FILE_NEW, ID_FILE_NEW, &CTarvolinApp::OnFileNew},
        {ID_FILE_OPEN, ID_FILE_OPEN, &CTarvolinApp::OnFileOpen},
    };
    return DispatchCommand(this, table, id, mode) || CWinApp::OnCmdMsg(id, code, mode);
}

void CTarvolinApp::OnAppAbout(unsigned)
{
    CAboutDlg about;
    about.DoModal();
}
