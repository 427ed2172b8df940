#include "audio/AudioDriverLoader.h"

#include <cstring>

CAudioDriverLoader::CAudioDriverLoader(const char* asioKey) : CAudioDriverList(asioKey) {}

CAudioDriverLoader::~CAudioDriverLoader()
{
    // The list's destruction releases every driver; the call layer must not keep one.
    if (currentIndex != -1) {
        const AudioDriverEntry* entry = findEntry(currentIndex);
        driverCalls.forget(entry ? entry->driver : nullptr);
    }
}

std::int32_t CAudioDriverLoader::createDriver(std::int32_t index, IAsioDriver** driver)
{
    if (!driver)
        return kDriverNullArgument;
    AudioDriverEntry* entry = findEntry(index);
    if (!entry)
        return kDriverNoSuchEntry;
    if (entry->driver)
        return kDriverAlreadyCreated;
    // ASIO drivers answer a request for their own class identifier with the ASIO interface.
    // The driver's library is loaded and its object made in here: guarded like its calls.
    void* object = nullptr;
    HRESULT hr = E_FAIL;
    auto create = [&] {
        hr = CoCreateInstance(entry->classId, nullptr, CLSCTX_INPROC_SERVER, entry->classId,
                              &object);
    };
    FaultRecord fault;
    if (!RunGuardedCall(create, fault)) {
        ASIOSwitchOffDriver(nullptr, "the driver's creation", fault);
        *driver = nullptr;
        return kDriverFaulted;
    }
    if (hr == S_OK && !object)
        hr = E_NOINTERFACE;  // a server that claims success without an object
    if (hr != S_OK) {
        if (object)
            ASIOReleaseDriver(static_cast<IAsioDriver*>(object));
        *driver = nullptr;
        return static_cast<std::int32_t>(hr);
    }
    entry->driver = static_cast<IAsioDriver*>(object);
    *driver = entry->driver;
    return kDriverOk;
}

std::int32_t CAudioDriverLoader::releaseDriver(std::int32_t index)
{
    AudioDriverEntry* entry = findEntry(index);
    if (entry && entry->driver) {
        IAsioDriver* driver = entry->driver;
        entry->driver = nullptr;
        driverCalls.forget(driver);
        ASIOReleaseDriver(driver);
    }
    return kDriverOk;
}

bool CAudioDriverLoader::currentDriverName(char* buffer) const
{
    if (currentIndex == -1) {
        buffer[0] = '\0';
        return false;
    }
    return driverName(currentIndex, buffer, kDriverNameBytes) == kDriverOk;
}

void CAudioDriverLoader::removeCurrentDriver()
{
    if (currentIndex != -1)
        releaseDriver(currentIndex);
    currentIndex = -1;
}

bool CAudioDriverLoader::loadDriver(const char* name)
{
    if (!name)
        return false;
    char candidate[kDriverNameBytes];
    for (std::int32_t i = 0; i < count(); ++i)
        if (driverName(i, candidate, kDriverNameBytes) == kDriverOk
            && std::strcmp(candidate, name) == 0)
            return loadDriverAt(i);
    return false;
}

bool CAudioDriverLoader::loadDriverAt(std::int32_t index)
{
    if (!findEntry(index))
        return false;
    const std::int32_t previous = currentIndex;
    removeCurrentDriver();
    IAsioDriver* created = nullptr;
    if (createDriver(index, &created) == kDriverOk) {
        driverCalls.use(created);
        currentIndex = index;
        return true;
    }
    driverCalls.use(nullptr);
    if (previous != -1 && previous != index)
        loadDriverAt(previous);  // no driver is current now, so this goes one level deep
    return false;
}
