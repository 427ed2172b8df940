// CWinApp: the application object. One instance per program; Run() carries out start-up
// (InitInstance of the derived class), then the message loop, in which the main frame's
// accelerator keys are translated before any window sees the key.
#pragma once

#include "toolkit/Command.h"

#include <windows.h>

#include <memory>
#include <string>

namespace toolkit {

class CFrameWnd;
class CSingleDocTemplate;

class CWinApp : public CCmdTarget {
public:
    CWinApp();
    ~CWinApp() override;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The one application object, or null before it is constructed.
    static CWinApp* Get();

    // Start-up and message loop; returns the program's exit code.
    int Run(HINSTANCE instance, const std::string& commandLine);
    // Must be set before InitInstance when Run is not used (tests create the frame themselves).
    void SetInstance(HINSTANCE instance, const std::string& commandLine);
    virtual bool InitInstance() = 0;
    // Takes the main frame's accelerator keys out of the message stream before any window sees
    // them; true when `msg` was one (it has then become a command to the frame).
    bool TranslateFrameAccelerator(MSG& msg) const;

    HINSTANCE Instance() const { return m_instance; }
    const std::string& AppTitle() const { return m_appTitle; }
    CFrameWnd* MainFrame() const { return m_mainFrame; }
    void SetMainFrame(CFrameWnd* frame) { m_mainFrame = frame; }
    CSingleDocTemplate* DocTemplate() const { return m_template.get(); }

    // A message box owned by the main frame with the application title as caption.
    int ShowMessage(const std::string& text, UINT flags) const;

    // Per-user profile under HKEY_CURRENT_USER\Software\<key>\<application title>.
    void SetRegistryKey(const std::string& key) { m_registryKey = key; }
    void LoadStdProfileSettings(unsigned recentFileCount);
    unsigned GetProfileInt(const char* section, const char* entry, unsigned defaultValue) const;

    void AddDocTemplate(std::unique_ptr<CSingleDocTemplate> docTemplate);
    // Carries out the command line: a new document, or the named file opened as the document.
    bool ProcessShellCommand();

    bool OnCmdMsg(unsigned id, unsigned code, CmdMode mode) override;

protected:
    // Standard commands; a derived application lists those it offers in its own table.
    void OnFileNew(unsigned id);
    void OnFileOpen(unsigned id);
    void OnAppExit(unsigned id);

private:
    HINSTANCE m_instance = nullptr;
    std::string m_commandLine;
    std::string m_appTitle;
    std::string m_registryKey;
    unsigned m_previewPages = 0;
    std::unique_ptr<CSingleDocTemplate> m_template;
    CFrameWnd* m_mainFrame = nullptr;
};

} // namespace toolkit
