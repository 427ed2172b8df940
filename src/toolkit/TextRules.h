// The toolkit's text rules, free of operating-system calls so that they are tested natively:
// the document string's fields, the frame title, menu prompts, file titles, the command line and
// the file dialogs' filters.
#pragma once

#include <string>

namespace toolkit {

// Fields of the document string, separated by line feeds.
enum class DocField { WindowTitle = 0, DocName, NewFileName, FilterName, FilterExt, TypeId, TypeName };

// The field, or an empty text when the string has fewer fields.
std::string DocStringField(const std::string& docString, DocField field);

// "Title - Document", or the title alone while the document has no title.
std::string ComposeFrameTitle(const std::string& title, const std::string& docTitle);

// The status-bar prompt of a command string "prompt\ntooltip": the text before the line feed.
std::string PromptOf(const std::string& commandString);

// The file name part of a path ("C:\a\b.txt" gives "b.txt"); either slash separates.
std::string FileTitleOf(const std::string& path);

// The file to open from the program's command line (without the program itself), by the usual
// rules: arguments separated by blanks, double quotes group, options start with '/' or '-'.
// The first argument that is not an option; empty when there is none.
std::string FileArgumentOf(const std::string& commandLine);

// File dialog filters are pairs of a description and a pattern ("VST bank (*.fxb)", "*.fxb"),
// each text followed by a zero and the list ended by a second zero.

// The 1-based index of the first filter whose pattern is "*.ext" for the extension of `path`
// (letter case ignored); 1 when none is.
int FilterIndexFor(const char* filters, const std::string& path);

// `path` with the extension of filter `index` ("*.fxp" gives ".fxp") appended when the file
// name has no extension and that pattern names one; otherwise `path` unchanged.
std::string WithFilterExtension(const std::string& path, const char* filters, int index);

// "Failed to open document." and a reason ("the file is truncated") as one message:
// "Failed to open document.\n\nThe file is truncated." The text alone for an empty reason.
std::string TextWithReason(const std::string& text, const std::string& reason);

} // namespace toolkit
