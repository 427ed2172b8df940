// CTarvolinApp: the application object. Its start-up sets the profile root, registers the
// single document template and carries out the command line, then shows the main frame.
#pragma once

#include "toolkit/WinApp.h"

class CTarvolinApp : public toolkit::CWinApp {
public:
    bool InitInstance() override;
    bool OnCmdMsg(unsigned id, unsigned code, toolkit::CmdMode mode) override;

private:
    void OnAppAbout(unsigned id);
};
