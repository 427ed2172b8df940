#pragma once
// Test support: simulated sound cards registered in the real registry of the test prefix,
// each test below its own key so that tests running side by side never see each other's
// drivers, and removed again when the test ends.

#include <windows.h>

#include <map>
#include <string>
#include <vector>

// Text unique within this test run: process id and a counter.
std::string uniqueSuffix();
// A fresh class identifier in braced text, upper or lower case.
std::string newClsidText(bool upperCase = true);
// A path for a scratch file in the temporary folder, unique to this call.
std::string tempFilePath(const char* stem, const char* extension);
// The simulated driver DLL as a Windows path.
std::string simDriverPath();
// Reads the simulated driver's statistics file ("key=value" lines); empty if missing.
std::map<std::string, double> readStats(const std::string& path);

class CSimDrivers {
public:
    // Below a private key, or (realKey) below the machine's own Software\ASIO key.
    explicit CSimDrivers(bool realKey = false);
    ~CSimDrivers();
    CSimDrivers(const CSimDrivers&) = delete;
    CSimDrivers& operator=(const CSimDrivers&) = delete;

    // The key to give the driver list or the stream.
    const char* root() const { return rootKey.c_str(); }

    // A simulated card with a fresh class identifier; description null: none is written.
    // Returns the class identifier text.
    std::string add(const std::string& name, const char* description);
    std::string add(const std::string& name) { return add(name, name.c_str()); }
    // A driver key alone, with any "clsid" text (or none when clsid is null).
    void addKey(const std::string& name, const char* clsid, const char* description = nullptr);
    // A class registration alone: HKCR\CLSID\<clsid>\InprocServer32 = library. With a
    // driver key name, a simulated card created through it reads that key's settings.
    void addClass(const std::string& clsid, const std::string& library,
                  const std::string& driverKeyName = std::string());

    void setNumber(const std::string& name, const char* value, DWORD number);
    void setText(const std::string& name, const char* value, const std::string& text);

private:
    std::string rootKey;
    bool privateRoot;
    std::vector<std::pair<std::string, std::string>> cards;  // name, clsid
    std::vector<std::string> classes;
};
