#include "toolkit/Document.h"

#include "toolkit/FileBytes.h"
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
// Beyond any document this program writes; a larger file is refused before it is read.
constexpr std::size_t kMaxDocumentBytes = 256u << 20;
constexpr char kTooLarge[] = "the file is too large";

CFrameWnd* MainFrame()
{
    CWinApp* app = CWinApp::Get();
    return app != nullptr ? app->MainFrame() : nullptr;
}

void ReportFailure(const char* text, const std::string& reason = std::string())
{
    if (CWinApp* app = CWinApp::Get()) {
        app->ShowMessage(TextWithReason(text, reason).c_str(), MB_OK | MB_ICONEXCLAMATION);
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
    CArchive archive(false, path);
    const ReadOutcome read = ReadFileBytes(path, kMaxDocumentBytes, archive.Bytes());
    if (read != ReadOutcome::Read) {
        ReportFailure(kOpenFailed, read == ReadOutcome::TooLarge ? kTooLarge : "");
        return false;
    }
    Serialize(archive);
    if (archive.Failed()) {
        ReportFailure(kOpenFailed, archive.Reason());
        return false;
    }
    return true;
}

bool CDocument::OnSaveDocument(const std::string& path)
{
    CArchive archive(true, path);
    Serialize(archive);
    if (archive.Failed()) {
        ReportFailure(kSaveFailed, archive.Reason());
        return false;
    }
    const std::vector<std::uint8_t>& bytes = archive.Bytes();
    if (!WriteFileReplacing(path, bytes.data(), bytes.size())) {
        ReportFailure(kSaveFailed);
        return false;
    }
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
                               FileDialog::SaveAs, FileFilters(), path)) {
            return false;
        }
    }
    // A failed save leaves the previous file as it was (see OnSaveDocument).
    if (!OnSaveDocument(path)) {
        return false;
    }
    if (askForName) {
        SetPathName(path);
    }
    return true;
}

} // namespace toolkit
