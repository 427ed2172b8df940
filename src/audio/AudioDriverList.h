#pragma once
// The ASIO drivers installed on this machine, read once from the registry: one entry per
// driver key under HKLM\Software\ASIO whose class is registered with an existing library.
// Entries keep the registry's order; their position is the driver's identity. Key names
// of any length (up to 255 characters) are read; a key that cannot be read is passed over.

#include "audio/AsioDriver.h"

#include <cstdint>

#include <windows.h>

struct AudioDriverEntry {
    std::int32_t index;
    CLSID classId;    // all zero if the key's text does not parse
    char name[128];   // "description", else the key name; cut to 127 characters
    IAsioDriver* driver;  // the created driver (one reference), or null
    AudioDriverEntry* next;
};

// Result codes of the driver list and loader.
constexpr std::int32_t kDriverOk = 0;
constexpr std::int32_t kDriverNullArgument = -5001;
constexpr std::int32_t kDriverAlreadyCreated = -5002;
constexpr std::int32_t kDriverNoSuchEntry = -5003;

// Where the drivers are registered, below HKEY_LOCAL_MACHINE.
constexpr const char* kAsioDriversKey = "software\\asio";

class CAudioDriverList {
public:
    // `asioKey` is the key below HKEY_LOCAL_MACHINE to enumerate; only tests pass another.
    explicit CAudioDriverList(const char* asioKey = kAsioDriversKey);
    virtual ~CAudioDriverList();
    CAudioDriverList(const CAudioDriverList&) = delete;
    CAudioDriverList& operator=(const CAudioDriverList&) = delete;

    std::int32_t count() const { return entryCount; }
    // Copies the entry's display name, cut to `size` bytes: a name of `size` characters or
    // more keeps its first `size` - 4 characters followed by "...".
    std::int32_t driverName(std::int32_t index, char* buffer, std::int32_t size) const;
    // Fills buffers[i] (each at least 32 bytes) for i below count() and max; returns how many.
    std::int32_t driverNames(char** buffers, std::int32_t max) const;
    AudioDriverEntry* findEntry(std::int32_t index) const;

protected:
    AudioDriverEntry* entries = nullptr;
    std::int32_t entryCount = 0;

private:
    void addEntry(HKEY asioKey, const char* keyName);
    bool comInitialised = false;
};

// Display names are handed out in buffers of this size everywhere in the program.
constexpr std::int32_t kDriverNameBytes = 32;
