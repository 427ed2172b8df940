#include "toolkit/FileDialogs.h"

#include <commdlg.h>

namespace toolkit {

namespace {
constexpr char kAllFilesFilter[] = "All Files (*.*)\0*.*\0";
}

bool PromptForFileName(HWND owner, FileDialog kind, std::string& path)
{
    char buffer[MAX_PATH] = {};
    path.copy(buffer, MAX_PATH - 1);
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = kAllFilesFilter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buffer;
    ofn.nMaxFile = MAX_PATH;
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    BOOL chosen = FALSE;
    if (kind == FileDialog::Open) {
        ofn.Flags |= OFN_FILEMUSTEXIST;
        chosen = GetOpenFileNameA(&ofn);
    } else {
        ofn.Flags |= OFN_OVERWRITEPROMPT;
        chosen = GetSaveFileNameA(&ofn);
    }
    if (!chosen) {
        return false;
    }
    path = buffer;
    return true;
}

} // namespace toolkit
