#include "toolkit/TextRules.h"

#include <cctype>
#include <cstring>
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

namespace {

// The filter patterns in order.
std::vector<std::string> FilterPatterns(const char* filters)
{
    std::vector<std::string> patterns;
    for (const char* p = filters; p != nullptr && *p != '\0';) {
        p += std::strlen(p) + 1;  // the description
        patterns.emplace_back(p);
        p += std::strlen(p) + 1;
    }
    return patterns;
}

// ".ext" of the file name, without the folder; empty when it has none.
std::string ExtensionOf(const std::string& path)
{
    const std::string name = FileTitleOf(path);
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

// ".ext" of a pattern "*.ext"; empty for any other pattern ("*.*", "*.a;*.b").
std::string ExtensionOfPattern(const std::string& pattern)
{
    if (pattern.size() < 3 || pattern.compare(0, 2, "*.") != 0 ||
        pattern.find_first_of("*?;", 2) != std::string::npos) {
        return {};
    }
    return pattern.substr(1);
}

bool SameIgnoringCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

} // namespace

int FilterIndexFor(const char* filters, const std::string& path)
{
    const std::string extension = ExtensionOf(path);
    const std::vector<std::string> patterns = FilterPatterns(filters);
    for (std::size_t i = 0; i < patterns.size() && !extension.empty(); ++i) {
        if (SameIgnoringCase(ExtensionOfPattern(patterns[i]), extension))
            return static_cast<int>(i) + 1;
    }
    return 1;
}

std::string WithFilterExtension(const std::string& path, const char* filters, int index)
{
    const std::vector<std::string> patterns = FilterPatterns(filters);
    if (!ExtensionOf(path).empty() || index < 1 || index > static_cast<int>(patterns.size()))
        return path;
    return path + ExtensionOfPattern(patterns[static_cast<std::size_t>(index) - 1]);
}

std::string TextWithReason(const std::string& text, const std::string& reason)
{
    if (reason.empty())
        return text;
    std::string sentence = reason;
    sentence[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(sentence[0])));
    if (sentence.back() != '.')
        sentence += '.';
    return text + "\n\n" + sentence;
}

} // namespace toolkit
