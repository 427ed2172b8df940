// The typed settings on a real settings file: every key read into its field, every default
// from an empty file, and a file of today read and written back byte for byte.
#include "settings/DeviceSettings.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

class DeviceSettingsFile : public testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        m_path = std::string(temp) + "zumbrel-device-settings-" +
                 std::to_string(GetCurrentProcessId()) + ".ini";
        DeleteFileA(m_path.c_str());
        m_file.setPath(m_path.c_str());
    }
    void TearDown() override { DeleteFileA(m_path.c_str()); }
    void Write(const std::string& text) const { std::ofstream(m_path, std::ios::binary) << text; }
    std::string Text() const
    {
        std::ostringstream text;
        text << std::ifstream(m_path, std::ios::binary).rdbuf();
        return text.str();
    }

    std::string m_path;
    CSettingsFile m_file;
};

bool operator==(const DeviceSettings& a, const DeviceSettings& b)
{
    return a.driver == b.driver && a.sampleRateCode == b.sampleRateCode &&
           a.midiInPort == b.midiInPort && a.tempo == b.tempo &&
           a.keyboardPlays == b.keyboardPlays && a.keepState == b.keepState &&
           a.windowsDevice == b.windowsDevice && a.deviceChosen == b.deviceChosen;
}

TEST_F(DeviceSettingsFile, AnEmptyFileGivesTheDefaults)
{
    EXPECT_TRUE(ReadDeviceSettings(m_file) == (DeviceSettings{0, 0, 0, 120, true, true, "", false}));
    EXPECT_EQ(ReadDriverList(m_file, 255), std::vector<std::string>{"error"});
}

// A file as the program writes it today, an unknown rate code among its values.
TEST_F(DeviceSettingsFile, EveryKeyIsReadAndWrittenBackByteForByte)
{
    const std::string today =
        "[device]\r\nasio=2\r\nmidiin=3\r\nsamplerate=5\r\ntempo=93\r\n"
        "[list]\r\n0=none\r\n1=Card A\r\n2=Card B\r\nnum=3\r\n"
        "[keyboard]\r\nplay=0\r\n[state]\r\nautosave=0\r\n";
    Write(today);
    const DeviceSettings read = ReadDeviceSettings(m_file);
    EXPECT_TRUE(read == (DeviceSettings{2, 5, 3, 93, false, false, "", true}));
    const std::vector<std::string> names = ReadDriverList(m_file, 255);
    EXPECT_EQ(names, (std::vector<std::string>{"none", "Card A", "Card B"}));
    EXPECT_EQ(ReadDriverList(m_file, 2).size(), 2u);

    WriteDriver(m_file, read.driver);
    WriteMidiInPort(m_file, read.midiInPort);
    WriteSampleRateCode(m_file, read.sampleRateCode);
    WriteTempo(m_file, read.tempo);
    WriteKeyboardPlays(m_file, read.keyboardPlays);
    WriteDriverList(m_file, names);
    EXPECT_EQ(Text(), today);
}

// A device choice is either key alone ("asio" for a driver, "windows" for a Windows device); a
// file that never named a Windows device gets no "windows" key, and choosing a driver or
// "none" after one empties it.
TEST_F(DeviceSettingsFile, TheDeviceChoiceSurvivesEveryKindOfChange)
{
    struct Step {
        int driver;
        const char* windows;
        const char* text;  // the [device] section afterwards
    };
    const Step steps[] = {
        {2, "", "asio=2\r\n"},
        {0, "", "asio=0\r\n"},
        {0, "default;exclusive", "asio=0\r\nwindows=default;exclusive\r\n"},
        {3, "", "asio=3\r\nwindows=\r\n"},
        {0, "{0.0.0.00000000}.{guid}", "asio=0\r\nwindows={0.0.0.00000000}.{guid}\r\n"},
        {0, "", "asio=0\r\nwindows=\r\n"},
    };
    for (const Step& step : steps) {
        WriteDeviceChoice(m_file, step.driver, step.windows);
        EXPECT_EQ(Text(), std::string("[device]\r\n") + step.text) << step.driver << step.windows;
        const DeviceSettings read = ReadDeviceSettings(m_file);
        EXPECT_EQ(read.driver, step.driver);
        EXPECT_EQ(read.windowsDevice, step.windows);
        EXPECT_TRUE(read.deviceChosen);
    }
    // A file from before Windows audio with only a rate in it holds no device choice yet.
    Write("[device]\r\nsamplerate=1\r\n");
    EXPECT_FALSE(ReadDeviceSettings(m_file).deviceChosen);
}

}  // namespace
