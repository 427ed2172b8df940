// The toolkit's text rules, free of operating-system calls so that they are tested natively:
// the document string's fields, the frame title, menu prompts, file titles and the command line.
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

} // namespace toolkit
