#include "toolkit/FileDialogs.h"

#include "toolkit/TextRules.h"

#include <commdlg.h>

namespace toolkit {

bool PromptForFileName(HWND owner, FileDialog kind, const char* filters, std::string& path)
{
    char buffer[MAX_PATH] = {};
    path.copy(buffer, MAX_PATH - 1);
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filters;
    ofn.nFilterIndex = static_cast<DWORD>(FilterIndexFor(filters, path));
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
    path = kind == FileDialog::SaveAs
               ? WithFilterExtension(buffer, filters, static_cast<int>(ofn.nFilterIndex))
               : std::string(buffer);
    return true;
}

} // namespace toolkit
