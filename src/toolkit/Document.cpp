#include "toolkit/Document.h"

#include "toolkit/FileDialogs.h"
#include "toolkit/FrameWnd.h"
#include "toolkit/TextRules.h"
#include "toolkit/WinApp.h"
#include "resource.h"

namespace toolkit {

namespace {
constexpr char kUntitled[] = "Untitled";
constexpr char kOpenFailed[] = "Failed to open document.";
constexpr char kSaveFailed[] = "Failed to save document.";

CFrameWnd* MainFrame()
{
    CWinApp* app = CWinApp::Get();
    return app != nullptr ? app->MainFrame() : nullptr;
}

void ReportFailure(const char* text)
{
    if (CWinApp* app = CWinApp::Get()) {
        app->ShowMessage(text, MB_OK | MB_ICONEXCLAMATION);
    }
}
} // namespace

void CDocument::SetTitle(const std::string& title)
{
    m_title = title;
    if (CFrameWnd* frame = MainFrame()) {
        frame->UpdateFrameTitle();
    }
}

void CDocument::SetPathName(const std::string& path)
{
    m_path = path;
    SetTitle(FileTitleOf(path));
}

bool CDocument::OnNewDocument()
{
    m_path.clear();
    SetTitle(kUntitled);
    return true;
}

bool CDocument::OnOpenDocument(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ReportFailure(kOpenFailed);
        return false;
    }
    CArchive archive{file, false};
    Serialize(archive);
    CloseHandle(file);
    return true;
}

bool CDocument::OnSaveDocument(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ReportFailure(kSaveFailed);
        return false;
    }
    CArchive archive{file, true};
    Serialize(archive);
    CloseHandle(file);
    return true;
}

bool CDocument::OnCmdMsg(unsigned id, unsigned, CmdMode mode)
{
    static const CommandEntry<CDocument> table[] = {
        {ID_FILE_CLOSE, ID_FILE_CLOSE, &CDocument::OnFileClose},
        {ID_FILE_SAVE, ID_FILE_SAVE, &CDocument::OnFileSave},
        {ID_FILE_SAVE_AS, ID_FILE_SAVE_AS, &CDocument::OnFileSaveAs},
    };
    return DispatchCommand(this, table, id, mode);
}

// The single document is shown by the main frame; closing it ends the program.
void CDocument::OnFileClose(unsigned)
{
    if (CFrameWnd* frame = MainFrame()) {
        PostMessageA(frame->GetSafeHwnd(), WM_CLOSE, 0, 0);
    }
}

void CDocument::OnFileSave(unsigned)
{
    DoSave(m_path.empty());
}

void CDocument::OnFileSaveAs(unsigned)
{
    DoSave(true);
}

bool CDocument::DoSave(bool askForName)
{
    std::string path = m_path.empty() ? m_title : m_path;
    if (askForName) {
        CFrameWnd* frame = MainFrame();
        if (!PromptForFileName(frame != nullptr ? frame->GetSafeHwnd() : nullptr,
                               FileDialog::SaveAs, path)) {
            return false;
        }
    }
    if (!OnSaveDocument(path)) {
        DeleteFileA(path.c_str()); // leave no half-written file behind
        return false;
    }
    if (askForName) {
        SetPathName(path);
    }
    return true;
}

} // namespace toolkit
