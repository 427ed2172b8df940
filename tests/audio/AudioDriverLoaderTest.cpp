// The loader creates simulated cards through COM, below a private driver key per test.
#include "audio/AudioDriverLoader.h"

#include "SimDrivers.h"

#include <gtest/gtest.h>

#include <string>

namespace {

IAsioDriver* entryDriver(const CAudioDriverLoader& loader, std::int32_t index)
{
    const AudioDriverEntry* entry = loader.findEntry(index);
    return entry ? entry->driver : nullptr;
}

TEST(AudioDriverLoaderLoad, LoadsByNameAndPublishesTheDriver)
{
    CSimDrivers drivers;
    drivers.add("A card");
    drivers.add("B card");
    CAudioDriverLoader loader(drivers.root());
    EXPECT_EQ(loader.currentDriverIndex(), -1);
    ASSERT_TRUE(loader.loadDriver("B card"));
    EXPECT_EQ(loader.currentDriverIndex(), 1);
    EXPECT_NE(loader.calls().current(), nullptr);
    EXPECT_EQ(loader.calls().current(), entryDriver(loader, 1));
    char current[32];
    EXPECT_TRUE(loader.currentDriverName(current));
    EXPECT_STREQ(current, "B card");
}

TEST(AudioDriverLoaderLoad, ReloadingTheCurrentDriverCreatesItAgain)
{
    CSimDrivers drivers;
    drivers.add("Card");
    CAudioDriverLoader loader(drivers.root());
    ASSERT_TRUE(loader.loadDriver("Card"));
    ASSERT_TRUE(loader.loadDriver("Card"));
    EXPECT_EQ(loader.currentDriverIndex(), 0);
    EXPECT_NE(entryDriver(loader, 0), nullptr);
    EXPECT_EQ(loader.calls().current(), entryDriver(loader, 0));
}

TEST(AudioDriverLoaderLoad, FailedSwitchBringsThePreviousDriverBack)
{
    CSimDrivers drivers;
    drivers.add("A good");
    drivers.add("B refuses");
    drivers.setNumber("B refuses", "RefuseCreate", 1);
    CAudioDriverLoader loader(drivers.root());
    ASSERT_TRUE(loader.loadDriver("A good"));
    EXPECT_FALSE(loader.loadDriver("B refuses"));
    EXPECT_EQ(loader.currentDriverIndex(), 0);
    EXPECT_NE(entryDriver(loader, 0), nullptr);
    EXPECT_EQ(loader.calls().current(), entryDriver(loader, 0));
    EXPECT_EQ(entryDriver(loader, 1), nullptr);
}

TEST(AudioDriverLoaderLoad, FailedLoadWithoutCurrentDriverLeavesNone)
{
    CSimDrivers drivers;
    drivers.add("Refuses");
    drivers.setNumber("Refuses", "RefuseCreate", 1);
    CAudioDriverLoader loader(drivers.root());
    EXPECT_FALSE(loader.loadDriver("Refuses"));
    EXPECT_EQ(loader.currentDriverIndex(), -1);
    EXPECT_EQ(loader.calls().current(), nullptr);
    char current[32] = "x";
    EXPECT_FALSE(loader.currentDriverName(current));
    EXPECT_STREQ(current, "");
}

TEST(AudioDriverLoaderLoad, UnknownNameChangesNothing)
{
    CSimDrivers drivers;
    drivers.add("Card");
    CAudioDriverLoader loader(drivers.root());
    ASSERT_TRUE(loader.loadDriver("Card"));
    IAsioDriver* before = loader.calls().current();
    EXPECT_FALSE(loader.loadDriver("No such card"));
    EXPECT_FALSE(loader.loadDriver(nullptr));
    EXPECT_EQ(loader.currentDriverIndex(), 0);
    EXPECT_EQ(loader.calls().current(), before);
}

TEST(AudioDriverLoaderLoad, NamesEqualAfterCuttingPickTheLowerIndex)
{
    const std::string common = "Zumbrel Simulated Card Number";  // 29 characters
    CSimDrivers drivers;
    drivers.add("A", (common + " One").c_str());
    drivers.add("B", (common + " Two").c_str());
    CAudioDriverLoader loader(drivers.root());
    char first[32], second[32];
    ASSERT_EQ(loader.driverName(0, first, 32), kDriverOk);
    ASSERT_EQ(loader.driverName(1, second, 32), kDriverOk);
    ASSERT_STREQ(first, second);
    ASSERT_TRUE(loader.loadDriver(second));
    EXPECT_EQ(loader.currentDriverIndex(), 0);
}

TEST(AudioDriverLoaderCreate, ResultCodes)
{
    CSimDrivers drivers;
    drivers.add("Card");
    CAudioDriverLoader loader(drivers.root());
    IAsioDriver* driver = nullptr;
    EXPECT_EQ(loader.createDriver(0, nullptr), kDriverNullArgument);
    EXPECT_EQ(entryDriver(loader, 0), nullptr);
    EXPECT_EQ(loader.createDriver(1, &driver), kDriverNoSuchEntry);
    ASSERT_EQ(loader.createDriver(0, &driver), kDriverOk);
    EXPECT_EQ(entryDriver(loader, 0), driver);
    IAsioDriver* second = nullptr;
    EXPECT_EQ(loader.createDriver(0, &second), kDriverAlreadyCreated);
    EXPECT_EQ(entryDriver(loader, 0), driver);
    EXPECT_EQ(loader.releaseDriver(0), kDriverOk);
    EXPECT_EQ(entryDriver(loader, 0), nullptr);
    EXPECT_EQ(loader.releaseDriver(5), kDriverOk);
}

TEST(AudioDriverLoaderCreate, RefusingServerReportsItsStatus)
{
    CSimDrivers drivers;
    drivers.add("Card");
    drivers.setNumber("Card", "RefuseCreate", static_cast<DWORD>(E_OUTOFMEMORY));
    CAudioDriverLoader loader(drivers.root());
    IAsioDriver* driver = nullptr;
    EXPECT_EQ(loader.createDriver(0, &driver), static_cast<std::int32_t>(E_OUTOFMEMORY));
    EXPECT_EQ(entryDriver(loader, 0), nullptr);
}

}  // namespace
