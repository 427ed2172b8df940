#include "audio/DriverLibrary.h"

#include <windows.h>

#include <cctype>
#include <cstring>

namespace {

constexpr DWORD kPathBytes = 512;

bool hasFolder(const std::string& path)
{
    return path.find_first_of("\\/:") != std::string::npos;
}

// The default value of an open key as a path; REG_EXPAND_SZ (%SystemRoot%\...) expanded.
bool readPath(HKEY key, std::string& out)
{
    char raw[kPathBytes];
    DWORD type = 0;
    DWORD bytes = kPathBytes - 1;
    if (RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(raw), &bytes)
        != ERROR_SUCCESS)
        return false;
    raw[bytes < kPathBytes ? bytes : kPathBytes - 1] = '\0';
    if (type == REG_SZ) {
        out = raw;
        return true;
    }
    if (type != REG_EXPAND_SZ)
        return false;
    char expanded[kPathBytes];
    const DWORD n = ExpandEnvironmentStringsA(raw, expanded, kPathBytes);
    if (n == 0 || n > kPathBytes)
        return false;
    out = expanded;
    return true;
}

}  // namespace

bool libraryFileExists(const std::string& path)
{
    if (path.empty())
        return false;
    if (!hasFolder(path)) {
        char found[MAX_PATH];
        const DWORD n = SearchPathA(nullptr, path.c_str(), nullptr, MAX_PATH, found, nullptr);
        return n > 0 && n < MAX_PATH;
    }
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool driverLibraryFound(const char* clsidText)
{
    // Registry key names compare without regard to case, so opening the class key by name
    // finds it however either side spells the hexadecimal digits. A text with a backslash
    // would reach into another key and is no class identifier.
    if (!clsidText || !clsidText[0] || std::strchr(clsidText, '\\'))
        return false;
    std::string key = "clsid\\";
    for (const char* c = clsidText; *c; ++c)
        key += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    key += "\\InprocServer32";
    HKEY server = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &server) != ERROR_SUCCESS)
        return false;
    std::string path;
    const bool read = readPath(server, path);
    RegCloseKey(server);
    return read && libraryFileExists(path);
}
