#include "toolkit/TextRules.h"

#include <vector>

namespace toolkit {

std::string DocStringField(const std::string& docString, DocField field)
{
    std::size_t start = 0;
    for (int i = 0; i < static_cast<int>(field); ++i) {
        start = docString.find('\n', start);
        if (start == std::string::npos) {
            return {};
        }
        ++start;
    }
    return docString.substr(start, docString.find('\n', start) - start);
}

std::string ComposeFrameTitle(const std::string& title, const std::string& docTitle)
{
    return docTitle.empty() ? title : title + " - " + docTitle;
}

std::string PromptOf(const std::string& commandString)
{
    return commandString.substr(0, commandString.find('\n'));
}

std::string FileTitleOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Splits like the C runtime does for argv: blanks separate, quotes group, "" inside quotes is a
// quote. Backslashes are kept literally, which is what paths need.
static std::vector<std::string> SplitArguments(const std::string& line)
{
    std::vector<std::string> args;
    std::string current;
    bool inQuotes = false;
    bool haveArg = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            if (inQuotes && i + 1 < line.size() && line[i + 1] == '"') {
                current += '"';
                ++i;
            } else {
                inQuotes = !inQuotes;
            }
            haveArg = true;
        } else if ((c == ' ' || c == '\t') && !inQuotes) {
            if (haveArg) {
                args.push_back(current);
            }
            current.clear();
            haveArg = false;
        } else {
            current += c;
            haveArg = true;
        }
    }
    if (haveArg) {
        args.push_back(current);
    }
    return args;
}

std::string FileArgumentOf(const std::string& commandLine)
{
    for (const std::string& arg : SplitArguments(commandLine)) {
        if (!arg.empty() && arg[0] != '/' && arg[0] != '-') {
            return arg;
        }
    }
    return {};
}

} // namespace toolkit
