#include "settings/SettingsFile.h"

#include "settings/ProfileNumber.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace {

constexpr DWORD kReadChunk = 512;       // capacity of the first read, and of each enlargement
constexpr int kIntegerTextLimit = 64;   // characters of an integer value that are looked at

}  // namespace

std::string CSettingsFile::defaultPath()
{
    // Ask for the length first: a deep working directory must not leave a cut or empty path.
    std::vector<char> directory(MAX_PATH + 1);
    DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(directory.size()), directory.data());
    if (length >= directory.size()) {
        directory.resize(length + 1);
        length = GetCurrentDirectoryA(static_cast<DWORD>(directory.size()), directory.data());
    }
    std::string result(directory.data(), length < directory.size() ? length : 0);
    return result + "\\" + kSettingsFileName;
}

void CSettingsFile::setPath(const char* newPath)
{
    if (newPath)
        path = newPath;
    else if (path)
        path->clear();
}

std::string CSettingsFile::readValue(const char* section, const char* key, const char* defaultValue) const
{
    const char* fallback = defaultValue ? defaultValue : "";
    if (!section || !key || !hasFile())
        return fallback;

    // The system call cuts a value that does not fit and reports capacity - 1 characters;
    // read again with a larger buffer until the value is known to be whole.
    DWORD capacity = kReadChunk;
    std::vector<char> buffer;
    for (;;) {
        buffer.assign(capacity + 1, '\0');
        const DWORD length =
            GetPrivateProfileStringA(section, key, fallback, buffer.data(), capacity, path->c_str());
        if (length + 1 < capacity)
            return std::string(buffer.data(), length);
        capacity += kReadChunk;
    }
}

int CSettingsFile::getString(const char* section, const char* key, char* buffer, int size,
                             const char* defaultValue) const
{
    if (buffer && size > 0)
        buffer[0] = '\0';
    const std::string value = readValue(section, key, defaultValue);
    int length = static_cast<int>(value.size());
    if (buffer && size > 0) {
        std::strncpy(buffer, value.c_str(), static_cast<size_t>(size));
        if (length > size)
            length = size;
    }
    return length;
}

std::string CSettingsFile::getStringValue(const char* section, const char* key, const char* defaultValue) const
{
    return readValue(section, key, defaultValue);
}

int CSettingsFile::writeString(const char* section, const char* key, const char* value) const
{
    if (!section || !key || !hasFile())
        return 0;
    return WritePrivateProfileStringA(section, key, value ? value : "", path->c_str()) ? 1 : 0;
}

int CSettingsFile::getInt(const char* section, const char* key, int defaultValue, int radix) const
{
    char text[kIntegerTextLimit + 1] = {};
    getString(section, key, text, kIntegerTextLimit, nullptr);
    if (text[0] == '\0')
        return defaultValue;
    return parseProfileInt(text, radix);
}

int CSettingsFile::writeInt(const char* section, const char* key, int value, int radix) const
{
    return writeString(section, key, formatProfileInt(value, radix).c_str());
}
