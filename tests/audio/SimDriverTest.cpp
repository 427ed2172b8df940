// The simulated card as a COM server of its own: self-registration through its exported
// entry points, and its ASIO operations called through our interface declaration (its vtable
// is written in C, so these calls check the calling convention on both targets).
#include "audio/AsioDriver.h"

#include "SimDrivers.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <cstdlib>
#include <string>

namespace {

std::string readText(HKEY root, const std::string& path, const char* value)
{
    char text[512] = {};
    DWORD bytes = sizeof text - 1;
    if (RegGetValueA(root, path.c_str(), value, RRF_RT_REG_SZ, nullptr, text, &bytes)
        != ERROR_SUCCESS)
        return "<missing>";
    return text;
}

bool keyExists(HKEY root, const std::string& path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

using Entry = HRESULT(WINAPI*)();

TEST(SimDriverServer, RegistersAndUnregistersItself)
{
    const std::string name = "Zumbrel Simulated Sound Card " + uniqueSuffix();
    const std::string clsid = newClsidText();
    _putenv_s("ZUMBREL_SIM_ASIO_NAME", name.c_str());
    _putenv_s("ZUMBREL_SIM_ASIO_CLSID", clsid.c_str());
    HMODULE module = LoadLibraryA(simDriverPath().c_str());
    ASSERT_NE(module, nullptr);
    auto registerServer = reinterpret_cast<Entry>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
    auto unregisterServer = reinterpret_cast<Entry>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllUnregisterServer")));
    ASSERT_NE(registerServer, nullptr);
    ASSERT_NE(unregisterServer, nullptr);

    ASSERT_EQ(registerServer(), S_OK);
    const std::string driverKey = "Software\\ASIO\\" + name;
    const std::string classKey = "CLSID\\" + clsid + "\\InprocServer32";
    EXPECT_EQ(readText(HKEY_LOCAL_MACHINE, driverKey, "CLSID"), clsid);
    EXPECT_EQ(readText(HKEY_LOCAL_MACHINE, driverKey, "Description"), name);
    char path[MAX_PATH];
    GetModuleFileNameA(module, path, MAX_PATH);
    EXPECT_EQ(readText(HKEY_CLASSES_ROOT, classKey, nullptr), path);
    EXPECT_EQ(readText(HKEY_CLASSES_ROOT, classKey, "ThreadingModel"), "Apartment");

    ASSERT_EQ(unregisterServer(), S_OK);
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, driverKey));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, "CLSID\\" + clsid));
    FreeLibrary(module);
}

class SimDriverCalls : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        const std::string clsidText = drivers.add("Card");
        drivers.setNumber("Card", "Inputs", 3);
        drivers.setNumber("Card", "Outputs", 5);
        drivers.setText("Card", "SampleTypes", "16,17,18,19,20,0,1,2");
        drivers.setText("Card", "SampleRates", "44100,48000,96000");
        std::wstring wide(clsidText.begin(), clsidText.end());
        ASSERT_EQ(CLSIDFromString(wide.c_str(), &clsid), S_OK);
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, clsid,
                                   reinterpret_cast<void**>(&driver)),
                  S_OK);
        ASSERT_TRUE(driver->init(nullptr));
    }
    void TearDown() override
    {
        if (driver)
            driver->Release();
        CoUninitialize();
    }
    CSimDrivers drivers;
    CLSID clsid{};
    IAsioDriver* driver = nullptr;
};

TEST_F(SimDriverCalls, AnswersThroughTheDeclaredInterface)
{
    char name[32] = {};
    driver->getDriverName(name);
    EXPECT_STREQ(name, "Card");
    EXPECT_EQ(driver->getDriverVersion(), 1);
    AsioLong inputs = 0, outputs = 0;
    ASSERT_EQ(driver->getChannels(&inputs, &outputs), ASE_OK);
    EXPECT_EQ(inputs, 3);
    EXPECT_EQ(outputs, 5);
    AsioLong minSize = 0, maxSize = 0, preferred = 0, granularity = 0;
    ASSERT_EQ(driver->getBufferSize(&minSize, &maxSize, &preferred, &granularity), ASE_OK);
    EXPECT_EQ(preferred, 256);
    // Doubles passed by value after `this`: the stack layout must agree on 32-bit.
    EXPECT_EQ(driver->canSampleRate(48000.0), ASE_OK);
    EXPECT_NE(driver->canSampleRate(12345.0), ASE_OK);
    EXPECT_EQ(driver->setSampleRate(96000.0), ASE_OK);
    ASIOSampleRate rate = 0.0;
    EXPECT_EQ(driver->getSampleRate(&rate), ASE_OK);
    EXPECT_EQ(rate, 96000.0);
    ASIOClockSource clocks[2] = {};
    AsioLong count = 2;
    EXPECT_EQ(driver->getClockSources(clocks, &count), ASE_OK);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(driver->future(1, nullptr), ASE_InvalidParameter);
}

TEST_F(SimDriverCalls, ReportsOneSampleTypePerChannel)
{
    const ASIOSampleType expected[8] = {16, 17, 18, 19, 20, 0, 1, 2};
    for (int k = 0; k < 8; ++k) {
        ASIOChannelInfo info{};
        info.isInput = k < 3;
        info.channel = k < 3 ? k : k - 3;
        ASSERT_EQ(driver->getChannelInfo(&info), ASE_OK) << k;
        EXPECT_EQ(info.type, expected[k]) << k;
        EXPECT_EQ(info.isActive, ASIOFalse);
    }
    ASIOChannelInfo beyond{};
    beyond.channel = 3;
    beyond.isInput = ASIOTrue;
    EXPECT_EQ(driver->getChannelInfo(&beyond), ASE_InvalidParameter);
}

TEST_F(SimDriverCalls, AnswersItsOwnClassIdentifierWithItself)
{
    IUnknown* same = nullptr;
    ASSERT_EQ(driver->QueryInterface(clsid, reinterpret_cast<void**>(&same)), S_OK);
    EXPECT_EQ(static_cast<void*>(same), static_cast<void*>(driver));
    same->Release();
    IUnknown* other = nullptr;
    EXPECT_EQ(driver->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&other)),
              E_NOINTERFACE);
}

}  // namespace
