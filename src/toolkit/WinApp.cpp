#include "toolkit/WinApp.h"

#include "toolkit/DocTemplate.h"
#include "toolkit/Document.h"
#include "toolkit/FileDialogs.h"
#include "toolkit/FrameWnd.h"
#include "toolkit/TextRules.h"
#include "toolkit/View.h"
#include "resource.h"

namespace toolkit {

namespace {
CWinApp* g_app = nullptr;
constexpr int kTitleCapacity = 256;
} // namespace

CWinApp::CWinApp()
{
    g_app = this;
}

CWinApp::~CWinApp()
{
    if (g_app == this) {
        g_app = nullptr;
    }
}

CWinApp* CWinApp::Get()
{
    return g_app;
}

void CWinApp::SetInstance(HINSTANCE instance, const std::string& commandLine)
{
    m_instance = instance;
    m_commandLine = commandLine;
    char title[kTitleCapacity] = {};
    LoadStringA(instance, IDS_APP_TITLE, title, kTitleCapacity);
    m_appTitle = title;
}

int CWinApp::Run(HINSTANCE instance, const std::string& commandLine)
{
    SetInstance(instance, commandLine);
    if (!InitInstance()) {
        return 0;
    }
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        CView* view = m_mainFrame != nullptr ? m_mainFrame->GetActiveView() : nullptr;
        if ((view != nullptr && view->PreTranslateMessage(msg)) || TranslateFrameAccelerator(msg)) {
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    m_template.reset();
    return static_cast<int>(msg.wParam);
}

// The frame takes its keys before any child, the plug-in's editor included, can see them.
bool CWinApp::TranslateFrameAccelerator(MSG& msg) const
{
    const CFrameWnd* frame = m_mainFrame;
    return frame != nullptr && frame->Accelerators() != nullptr &&
           TranslateAcceleratorA(frame->GetSafeHwnd(), frame->Accelerators(), &msg) != 0;
}

int CWinApp::ShowMessage(const std::string& text, UINT flags) const
{
    HWND owner = m_mainFrame != nullptr ? m_mainFrame->GetSafeHwnd() : nullptr;
    return MessageBoxA(owner, text.c_str(), m_appTitle.c_str(), flags);
}

void CWinApp::LoadStdProfileSettings(unsigned recentFileCount)
{
    // This program keeps no recent-file list (count 0); the print-preview page count is the
    // one standard value read, and reading it creates the profile keys when they are missing.
    (void)recentFileCount;
    m_previewPages = GetProfileInt("Settings", "PreviewPages", 0);
}

unsigned CWinApp::GetProfileInt(const char* section, const char* entry, unsigned defaultValue) const
{
    if (m_registryKey.empty()) {
        return defaultValue;
    }
    const std::string path =
        "Software\\" + m_registryKey + "\\" + m_appTitle + "\\" + section;
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return defaultValue;
    }
    DWORD value = 0;
    DWORD type = 0;
    DWORD size = sizeof value;
    const LONG status = RegQueryValueExA(key, entry, nullptr, &type,
                                         reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value) {
        return defaultValue;
    }
    return value;
}

void CWinApp::AddDocTemplate(std::unique_ptr<CSingleDocTemplate> docTemplate)
{
    m_template = std::move(docTemplate);
}

bool CWinApp::ProcessShellCommand()
{
    if (m_template == nullptr) {
        return false;
    }
    const std::string file = FileArgumentOf(m_commandLine);
    return m_template->OpenDocumentFile(file.empty() ? nullptr : file.c_str()) != nullptr;
}

bool CWinApp::OnCmdMsg(unsigned id, unsigned, CmdMode mode)
{
    static const CommandEntry<CWinApp> table[] = {
        {ID_APP_EXIT, ID_APP_EXIT, &CWinApp::OnAppExit},
    };
    return DispatchCommand(this, table, id, mode);
}

void CWinApp::OnFileNew(unsigned)
{
    if (m_template != nullptr) {
        m_template->OpenDocumentFile(nullptr);
    }
}

void CWinApp::OnFileOpen(unsigned)
{
    std::string path;
    HWND owner = m_mainFrame != nullptr ? m_mainFrame->GetSafeHwnd() : nullptr;
    const CDocument* document = m_template != nullptr ? m_template->Document() : nullptr;
    const char* filters = document != nullptr ? document->FileFilters() : CDocument::kAllFilesFilter;
    if (m_template != nullptr && PromptForFileName(owner, FileDialog::Open, filters, path)) {
        m_template->OpenDocumentFile(path.c_str());
    }
}

void CWinApp::OnAppExit(unsigned)
{
    if (m_mainFrame != nullptr) {
        SendMessageA(m_mainFrame->GetSafeHwnd(), WM_CLOSE, 0, 0);
    }
}

} // namespace toolkit
