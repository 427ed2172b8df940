// The driver list against the real registry of the test prefix: each test registers its own
// drivers below a private key and hands that key to the list.
#include "audio/AudioDriverList.h"

#include "audio/AsioStream.h"

#include "SimDrivers.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <string>
#include <vector>

namespace {

std::string name(const CAudioDriverList& list, std::int32_t index, std::int32_t size = 32)
{
    char buffer[256] = {};
    EXPECT_EQ(list.driverName(index, buffer, size), kDriverOk);
    return buffer;
}

// True if this thread has no COM initialisation of its own at the moment.
bool comUninitialised()
{
    const HRESULT hr = CoInitialize(nullptr);
    if (SUCCEEDED(hr))
        CoUninitialize();
    return hr == S_OK;
}

TEST(AudioDriverListEnumeration, NoAsioKeyGivesEmptyListWithoutCom)
{
    const std::string missing = "Software\\ZumbrelTest\\missing-" + uniqueSuffix();
    {
        CAudioDriverList list(missing.c_str());
        EXPECT_EQ(list.count(), 0);
        EXPECT_EQ(list.findEntry(0), nullptr);
        EXPECT_TRUE(comUninitialised());
    }
    EXPECT_TRUE(comUninitialised());
}

TEST(AudioDriverListEnumeration, ComIsUsedWhileDriversAreListed)
{
    CSimDrivers drivers;
    drivers.add("Card");
    {
        CAudioDriverList list(drivers.root());
        EXPECT_EQ(list.count(), 1);
        EXPECT_FALSE(comUninitialised());
    }
    EXPECT_TRUE(comUninitialised());
}

TEST(AudioDriverListEnumeration, KeyWithoutClsidIsPassedOver)
{
    CSimDrivers drivers;
    drivers.add("A first");
    drivers.addKey("B no class", nullptr, "B no class");
    drivers.add("C third");
    CAudioDriverList list(drivers.root());
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.findEntry(0)->index, 0);
    EXPECT_EQ(name(list, 0), "A first");
    EXPECT_EQ(list.findEntry(1)->index, 1);
    EXPECT_EQ(name(list, 1), "C third");
}

TEST(AudioDriverListEnumeration, DescriptionNamesTheDriverElseTheKeyName)
{
    CSimDrivers drivers;
    drivers.add("A key", "Shown name");
    drivers.add("B bare key", nullptr);
    CAudioDriverList list(drivers.root());
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(name(list, 0), "Shown name");
    EXPECT_EQ(name(list, 1), "B bare key");
}

TEST(AudioDriverListEnumeration, ClassIdentifierIsParsedAndStored)
{
    CSimDrivers drivers;
    const std::string clsid = drivers.add("Card");
    CAudioDriverList list(drivers.root());
    ASSERT_EQ(list.count(), 1);
    CLSID expected;
    std::wstring wide(clsid.begin(), clsid.end());
    ASSERT_EQ(CLSIDFromString(wide.c_str(), &expected), S_OK);
    EXPECT_TRUE(IsEqualGUID(list.findEntry(0)->classId, expected));
    EXPECT_EQ(list.findEntry(0)->driver, nullptr);
}

struct CaseParam {
    bool keyUpper;
    bool classUpper;
};

class AudioDriverListClassCase : public testing::TestWithParam<CaseParam> {};

TEST_P(AudioDriverListClassCase, ClassIsFoundWhateverTheCase)
{
    CSimDrivers drivers;
    std::string upper = newClsidText(true);
    std::string lower = upper;
    for (char& c : lower)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    drivers.addKey("Card", (GetParam().keyUpper ? upper : lower).c_str());
    drivers.addClass(GetParam().classUpper ? upper : lower, simDriverPath());
    CAudioDriverList list(drivers.root());
    EXPECT_EQ(list.count(), 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, AudioDriverListClassCase,
                         testing::Values(CaseParam{false, true}, CaseParam{true, false},
                                         CaseParam{true, true}, CaseParam{false, false}),
                         [](const testing::TestParamInfo<CaseParam>& info) {
                             return std::string(info.param.keyUpper ? "KeyUpper" : "KeyLower")
                                    + (info.param.classUpper ? "ClassUpper" : "ClassLower");
                         });

TEST(AudioDriverListLibrary, UnregisteredClassOrMissingFileLeavesDriverOut)
{
    CSimDrivers drivers;
    drivers.addKey("A unregistered", newClsidText().c_str());
    const std::string missingFile = newClsidText();
    drivers.addKey("B missing file", missingFile.c_str());
    drivers.addClass(missingFile, "C:\\zumbrel-nowhere\\missing.dll");
    const std::string bareMissing = newClsidText();
    drivers.addKey("C bare name nowhere", bareMissing.c_str());
    drivers.addClass(bareMissing, "zumbrel_missing_" + uniqueSuffix() + ".dll");
    drivers.addKey("D not a clsid", "hello");
    CAudioDriverList list(drivers.root());
    EXPECT_EQ(list.count(), 0);
}

TEST(AudioDriverListLibrary, FolderPathToExistingFileIsListed)
{
    CSimDrivers drivers;
    const std::string clsid = newClsidText();
    drivers.addKey("Card", clsid.c_str());
    drivers.addClass(clsid, simDriverPath());
    CAudioDriverList list(drivers.root());
    EXPECT_EQ(list.count(), 1);
}

// Some installers register the library by bare file name; COM finds it on the DLL search
// path, and so must the list.
TEST(AudioDriverListLibrary, BareFileNameOnTheSearchPathIsListed)
{
    char system[MAX_PATH];
    ASSERT_GT(GetSystemDirectoryA(system, MAX_PATH), 0u);
    const std::string file = "zumbrel_sim_bare_" + uniqueSuffix() + ".dll";
    const std::string copy = std::string(system) + "\\" + file;
    ASSERT_TRUE(CopyFileA(simDriverPath().c_str(), copy.c_str(), FALSE));
    {
        CSimDrivers drivers;
        const std::string clsid = newClsidText();
        drivers.addKey("Card", clsid.c_str());
        drivers.addClass(clsid, file, "Card");
        CAudioDriverList list(drivers.root());
        ASSERT_EQ(list.count(), 1);
        // COM loads it from there too.
        IUnknown* driver = nullptr;
        EXPECT_EQ(CoCreateInstance(list.findEntry(0)->classId, nullptr, CLSCTX_INPROC_SERVER,
                                   list.findEntry(0)->classId, reinterpret_cast<void**>(&driver)),
                  S_OK);
        if (driver)
            driver->Release();
        CoFreeUnusedLibraries();
    }
    DeleteFileA(copy.c_str());
}

struct CutParam {
    std::size_t length;
    std::int32_t size;
    std::size_t expectedLength;
    bool ellipsis;
};

class AudioDriverListNameCut : public testing::TestWithParam<CutParam> {};

TEST_P(AudioDriverListNameCut, NameIsCutToTheBuffer)
{
    const CutParam p = GetParam();
    std::string full;
    for (std::size_t i = 0; i < p.length; ++i)
        full += static_cast<char>('a' + i % 26);
    CSimDrivers drivers;
    drivers.add("Card", full.c_str());
    CAudioDriverList list(drivers.root());
    ASSERT_EQ(list.count(), 1);
    const std::string got = name(list, 0, p.size);
    ASSERT_EQ(got.size(), p.expectedLength);
    if (p.ellipsis) {
        EXPECT_EQ(got.substr(0, p.expectedLength - 3), full.substr(0, p.expectedLength - 3));
        EXPECT_EQ(got.substr(p.expectedLength - 3), "...");
    } else {
        EXPECT_EQ(got, full.substr(0, p.expectedLength));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, AudioDriverListNameCut,
    testing::Values(CutParam{31, 32, 31, false},   // fits whole
                    CutParam{32, 32, 31, true},    // 28 characters and "..."
                    CutParam{100, 32, 31, true},
                    CutParam{127, 256, 127, false},
                    CutParam{200, 256, 127, false}),  // the stored name holds 127
    [](const testing::TestParamInfo<CutParam>& info) {
        return "Length" + std::to_string(info.param.length) + "Buffer"
               + std::to_string(info.param.size);
    });

TEST(AudioDriverListNames, ResultCodes)
{
    CSimDrivers drivers;
    drivers.add("Card");
    CAudioDriverList list(drivers.root());
    char buffer[32];
    EXPECT_EQ(list.driverName(0, nullptr, 32), kDriverNullArgument);
    EXPECT_EQ(list.driverName(list.count(), buffer, 32), kDriverNoSuchEntry);
    EXPECT_EQ(list.driverName(-1, buffer, 32), kDriverNoSuchEntry);
}

TEST(AudioDriverListNames, DriverNamesFillsAtMostMax)
{
    CSimDrivers drivers;
    drivers.add("A one");
    drivers.add("B two");
    drivers.add("C three");
    CAudioDriverList list(drivers.root());
    char storage[3][32] = {};
    char* buffers[3] = {storage[0], storage[1], storage[2]};
    EXPECT_EQ(list.driverNames(buffers, 2), 2);
    EXPECT_STREQ(storage[0], "A one");
    EXPECT_STREQ(storage[1], "B two");
    EXPECT_STREQ(storage[2], "");
    EXPECT_EQ(list.driverNames(buffers, 3), 3);
    EXPECT_STREQ(storage[2], "C three");
}

// A key name of `length` characters; long ones share their first 40 characters, far more
// than a cut display name keeps, and differ by `tag` after them.
std::string longKey(std::size_t length, char tag)
{
    std::string key = "Long driver key " + std::string(24, 'x') + tag;
    key.resize(length, 'y');
    return key;
}

// Key names go up to 255 characters: every driver is listed in the registry's order, a key
// without a class is passed over, and each opens by its position though the long ones share
// one cut display name.
TEST(AudioDriverListKeys, LongKeyNamesAreListedInOrderAndOpenByPosition)
{
    const std::string keys[] = {"A normal",        longKey(127, '1'), longKey(128, '2'),
                                "M no class",      longKey(200, '3'), longKey(255, '4'),
                                "Z normal"};
    CSimDrivers drivers;
    std::vector<std::string> listed;
    for (const std::string& key : keys) {
        if (key == "M no class") {
            drivers.addKey(key, nullptr);
        } else {
            drivers.add(key, nullptr);  // no description: the key name is shown
            listed.push_back(key);
        }
    }
    CAsioStream stream(drivers.root());
    ASSERT_EQ(stream.driverCount(), static_cast<std::int32_t>(listed.size()));
    for (std::int32_t i = 0; i < stream.driverCount(); ++i) {
        EXPECT_EQ(stream.driverLoader().findEntry(i)->name, listed[i].substr(0, 127)) << i;
        ASSERT_EQ(stream.openStream(i, nullptr, nullptr), 1) << i;
        EXPECT_EQ(stream.driverLoader().currentDriverIndex(), i);
    }
}

}  // namespace
