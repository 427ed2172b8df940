// The file-open and save-as dialogs of the document commands. The program registers no file
// type, so both offer the one filter "All Files (*.*)".
#pragma once

#include <windows.h>

#include <string>

namespace toolkit {

enum class FileDialog { Open, SaveAs };

// Shows the dialog; `path` is the initial name on entry and the chosen path on success.
// Returns false when the user cancels.
bool PromptForFileName(HWND owner, FileDialog kind, std::string& path);

} // namespace toolkit
