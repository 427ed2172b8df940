#include "audio/AudioDriverList.h"

#include "audio/AsioCalls.h"
#include "audio/DriverLibrary.h"

#include <cctype>
#include <cstring>
#include <new>

namespace {

constexpr DWORD kKeyNameBytes = 256;  // registry key names hold up to 255 characters
constexpr DWORD kMaxDriverKeys = 4096;  // ends the enumeration of a key that never does
constexpr DWORD kValueBytes = 256;
constexpr int kMaxWideClsid = 100;
constexpr char kEllipsis[] = "...";

// Reads a REG_SZ value, always NUL-terminated; false if missing or of another type.
bool readString(HKEY key, const char* name, char* out, DWORD size)
{
    DWORD type = 0;
    DWORD bytes = size - 1;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(out), &bytes)
            != ERROR_SUCCESS
        || type != REG_SZ)
        return false;
    out[bytes < size ? bytes : size - 1] = '\0';
    return true;
}

void copyCut(char* out, const char* text, std::size_t size)
{
    std::size_t n = std::strlen(text);
    n = n < size ? n : size - 1;
    std::memcpy(out, text, n);
    out[n] = '\0';
}

void destroyFrom(AudioDriverEntry* entry)
{
    if (!entry)
        return;
    destroyFrom(entry->next);  // tail first
    ASIOReleaseDriver(entry->driver);
    delete entry;
}

}  // namespace

CAudioDriverList::CAudioDriverList(const char* asioKey)
{
    HKEY asio = nullptr;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, asioKey, &asio) != ERROR_SUCCESS)
        return;
    // A key that cannot be read is passed over: only the end of the list ends the listing.
    LONG status = ERROR_SUCCESS;
    for (DWORD i = 0; status != ERROR_NO_MORE_ITEMS && i < kMaxDriverKeys; ++i) {
        char keyName[kKeyNameBytes];
        DWORD length = kKeyNameBytes;
        status = RegEnumKeyExA(asio, i, keyName, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_SUCCESS)
            addEntry(asio, keyName);
    }
    RegCloseKey(asio);
    // A thread that already chose the multithreaded apartment refuses; then there is
    // nothing of ours to undo.
    if (entryCount > 0)
        comInitialised = SUCCEEDED(CoInitialize(nullptr));
}

CAudioDriverList::~CAudioDriverList()
{
    destroyFrom(entries);
    entries = nullptr;
    if (comInitialised)
        CoUninitialize();
}

void CAudioDriverList::addEntry(HKEY asioKey, const char* keyName)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(asioKey, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    char clsidText[kValueBytes];
    if (!readString(key, "clsid", clsidText, kValueBytes) || !driverLibraryFound(clsidText)) {
        RegCloseKey(key);
        return;
    }
    auto* entry = new (std::nothrow) AudioDriverEntry{};
    if (!entry) {
        RegCloseKey(key);
        return;
    }
    entry->index = entryCount;
    for (char* c = clsidText; *c; ++c)
        *c = static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    WCHAR wide[kMaxWideClsid];
    if (MultiByteToWideChar(CP_ACP, 0, clsidText, -1, wide, kMaxWideClsid) == 0
        || FAILED(CLSIDFromString(wide, &entry->classId)))
        entry->classId = CLSID{};
    char description[kValueBytes];
    copyCut(entry->name, readString(key, "description", description, kValueBytes) ? description
                                                                                   : keyName,
            sizeof entry->name);
    RegCloseKey(key);

    AudioDriverEntry** tail = &entries;
    while (*tail)
        tail = &(*tail)->next;
    *tail = entry;
    ++entryCount;
}

std::int32_t CAudioDriverList::driverName(std::int32_t index, char* buffer, std::int32_t size) const
{
    if (!buffer)
        return kDriverNullArgument;
    const AudioDriverEntry* entry = findEntry(index);
    if (!entry)
        return kDriverNoSuchEntry;
    if (size <= 0)
        return kDriverOk;  // nowhere to write even the terminator
    const std::size_t length = std::strlen(entry->name);
    const auto room = static_cast<std::size_t>(size);
    if (length < room || room < sizeof kEllipsis) {
        copyCut(buffer, entry->name, room);
        return kDriverOk;
    }
    std::memcpy(buffer, entry->name, room - sizeof kEllipsis);
    std::memcpy(buffer + room - sizeof kEllipsis, kEllipsis, sizeof kEllipsis);
    return kDriverOk;
}

std::int32_t CAudioDriverList::driverNames(char** buffers, std::int32_t max) const
{
    const std::int32_t n = entryCount < max ? entryCount : max;
    for (std::int32_t i = 0; i < n; ++i)
        driverName(i, buffers[i], kDriverNameBytes);
    return n < 0 ? 0 : n;
}

AudioDriverEntry* CAudioDriverList::findEntry(std::int32_t index) const
{
    for (AudioDriverEntry* e = entries; e; e = e->next)
        if (e->index == index)
            return e;
    return nullptr;
}
