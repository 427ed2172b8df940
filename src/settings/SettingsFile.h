#pragma once
// The settings file store: string and integer values by section and key, read from and written
// to an INI file through the system's private-profile functions. Nothing is cached: every read
// goes to the file and every write reaches it at once, so two stores on one file always see
// each other's changes. Used on the user-interface thread only.

#include <optional>
#include <string>

// The settings file's name; it lives in the process's current directory.
constexpr const char* kSettingsFileName = "tarvoshell.ini";

class CSettingsFile {
public:
    CSettingsFile() = default;
    virtual ~CSettingsFile() = default;
    CSettingsFile(const CSettingsFile&) = delete;
    CSettingsFile& operator=(const CSettingsFile&) = delete;

    // The full path of the settings file in the current directory.
    static std::string defaultPath();

    // A path replaces the old one; null turns an existing path into the empty one.
    void setPath(const char* newPath);
    const std::optional<std::string>& getPath() const { return path; }

    // The value, read whole whatever its length, or the default (empty for null) if missing.
    std::string readValue(const char* section, const char* key, const char* defaultValue) const;

    // Copies at most `size` bytes of the value into `buffer` as strncpy does (padded with NUL,
    // unterminated when the value fills the buffer); returns its length, at most `size`.
    int getString(const char* section, const char* key, char* buffer, int size,
                  const char* defaultValue) const;

    std::string getStringValue(const char* section, const char* key, const char* defaultValue) const;

    // Writes key=value (empty for a null value); non-zero on success, 0 when section or key
    // is null or the write failed. Never deletes a key.
    int writeString(const char* section, const char* key, const char* value) const;

    // The first 64 characters of the value parsed in the radix; the default if empty or missing.
    int getInt(const char* section, const char* key, int defaultValue, int radix) const;
    int writeInt(const char* section, const char* key, int value, int radix) const;

private:
    // Without a file to go to (no path, or an empty one) the store reads defaults and writes
    // nothing: the system functions would fall back to the Windows directory's win.ini.
    bool hasFile() const { return path && !path->empty(); }

    std::optional<std::string> path;
};
