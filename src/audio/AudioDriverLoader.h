#pragma once
// Makes one of the listed drivers the current one: creates its in-process object, makes it
// the driver its call layer (audio/AsioCalls.h) calls, and releases it again. A failed switch
// to another driver brings the previous one back.

#include "audio/AsioCalls.h"
#include "audio/AudioDriverList.h"

// createDriver: the driver faulted while it was being created (audio/AsioCalls.h has what
// happened).
constexpr std::int32_t kDriverFaulted = -5004;

class CAudioDriverLoader : public CAudioDriverList {
public:
    explicit CAudioDriverLoader(const char* asioKey = kAsioDriversKey);
    ~CAudioDriverLoader() override;

    // Creates the driver of entry `index` into *driver and the entry; the creation status.
    std::int32_t createDriver(std::int32_t index, IAsioDriver** driver);
    std::int32_t releaseDriver(std::int32_t index);
    // The current driver's display name cut to 32 bytes; empty and false without one.
    bool currentDriverName(char* buffer) const;
    void removeCurrentDriver();
    // Makes the driver with this (cut) display name current; the lowest index wins.
    bool loadDriver(const char* name);
    // Makes the driver of entry `index` current: the way to reach a driver whose cut name
    // another one shares.
    bool loadDriverAt(std::int32_t index);
    std::int32_t currentDriverIndex() const { return currentIndex; }
    // The calls to the current driver. They hold no reference: the list entry does.
    CAsioDriverCalls& calls() { return driverCalls; }
    const CAsioDriverCalls& calls() const { return driverCalls; }

private:
    CAsioDriverCalls driverCalls;
    std::int32_t currentIndex = -1;
};
