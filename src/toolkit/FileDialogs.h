// The file-open and save-as dialogs of the document commands, offering the document's filters
// (pairs of description and pattern, see toolkit/TextRules.h).
#pragma once

#include <windows.h>

#include <string>

namespace toolkit {

enum class FileDialog { Open, SaveAs };

// Shows the dialog; `path` is the initial name on entry and the chosen path on success. The
// filter matching the initial name's extension is preselected; a name typed without an
// extension gets the one of the chosen filter. Returns false when the user cancels.
bool PromptForFileName(HWND owner, FileDialog kind, const char* filters, std::string& path);

} // namespace toolkit
