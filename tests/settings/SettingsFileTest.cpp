#include "settings/SettingsFile.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// Each test gets its own folder, so tests running side by side never share a file.
class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::string(temp) + "zumbrel-settings-" + info->name() + "-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(folder.c_str(), nullptr);
        file = folder + "\\" + kSettingsFileName;
        DeleteFileA(file.c_str());
        store.setPath(file.c_str());
    }

    void TearDown() override
    {
        DeleteFileA(file.c_str());
        RemoveDirectoryA(folder.c_str());
    }

    void writeFile(const std::string& text) { std::ofstream(file, std::ios::binary) << text; }

    std::string fileText() const
    {
        std::ifstream in(file, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string folder;
    std::string file;
    CSettingsFile store;
};

}  // namespace

TEST_F(SettingsFileTest, MissingValuesReadAsTheCallersDefaults)
{
    writeFile("[other]\r\nasio=3\r\n");
    EXPECT_EQ(store.getInt("device", "asio", 0, 10), 0);
    EXPECT_EQ(store.getInt("device", "samplerate", 0, 10), 0);
    EXPECT_EQ(store.getInt("device", "tempo", 120, 10), 120);
    EXPECT_EQ(store.getInt("list", "num", 1, 10), 1);
    EXPECT_EQ(store.getStringValue("list", "0", "error"), "error");
    EXPECT_EQ(store.readValue("list", "0", nullptr), "");
}

TEST_F(SettingsFileTest, IntegerValuesFollowTheParseRules)
{
    writeFile("[Device]\r\nsamplerate=\r\nmidiin=abc\r\ntempo=007\r\nASIO=-1\r\n");
    EXPECT_EQ(store.getInt("device", "samplerate", 5, 10), 5) << "an empty value reads as the default";
    EXPECT_EQ(store.getInt("device", "midiin", 5, 10), 0);
    EXPECT_EQ(store.getInt("device", "tempo", 120, 10), 7);
    EXPECT_EQ(store.getInt("device", "asio", 0, 10), -1) << "names match without regard to case";

    // Only the first 64 characters count: 70 digits of 1 overflow, the same after 64 zeros do not.
    store.writeString("device", "long", std::string(70, '1').c_str());
    EXPECT_EQ(store.getInt("device", "long", 0, 10), -1);
    store.writeString("device", "padded", (std::string(64, '0') + "42").c_str());
    EXPECT_EQ(store.getInt("device", "padded", 9, 10), 0);
}

TEST_F(SettingsFileTest, WritesReachTheFileAtOnceAndAreSeenByASecondStore)
{
    EXPECT_NE(store.writeInt("device", "tempo", 96, 10), 0);
    EXPECT_NE(fileText().find("[device]"), std::string::npos);
    EXPECT_NE(fileText().find("tempo=96"), std::string::npos);

    CSettingsFile other;
    other.setPath(file.c_str());
    EXPECT_EQ(other.getInt("device", "tempo", 120, 10), 96);
    other.writeInt("device", "tempo", 140, 10);
    EXPECT_EQ(store.getInt("device", "tempo", 120, 10), 140) << "nothing may be cached";

    store.writeInt("device", "hex", 255, 16);
    EXPECT_EQ(store.getStringValue("device", "hex", ""), "FF");
    EXPECT_EQ(store.getInt("device", "hex", 0, 16), 255);
}

TEST_F(SettingsFileTest, NullArgumentsWriteNothingAndNullValuesWriteEmpty)
{
    EXPECT_EQ(store.writeString("device", nullptr, "1"), 0);
    EXPECT_EQ(store.writeString(nullptr, "asio", "1"), 0);
    EXPECT_EQ(GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES) << "no file may be created";

    store.writeString("list", "0", "none");
    EXPECT_NE(store.writeString("list", "0", nullptr), 0);
    EXPECT_NE(fileText().find("0="), std::string::npos) << "the key stays, with an empty value";
    EXPECT_EQ(store.getStringValue("list", "0", "error"), "");
    EXPECT_EQ(store.readValue(nullptr, "0", "dflt"), "dflt");
    EXPECT_EQ(store.readValue("list", nullptr, nullptr), "");
}

TEST_F(SettingsFileTest, LongValuesAreReadWhole)
{
    for (size_t length : {510u, 511u, 512u, 600u, 1023u, 1024u, 5000u}) {
        std::string value;
        for (size_t i = 0; i < length; ++i)
            value += static_cast<char>('a' + i % 26);
        store.writeString("list", "1", value.c_str());
        EXPECT_EQ(store.readValue("list", "1", "error"), value) << "length " << length;
        EXPECT_EQ(store.getString("list", "1", nullptr, 0, ""), static_cast<int>(length));
    }
}

TEST_F(SettingsFileTest, GetStringCopiesLikeStrncpy)
{
    store.writeString("list", "1", "0123456789");
    char small[8];
    std::memset(small, '#', sizeof small);
    EXPECT_EQ(store.getString("list", "1", small, 4, ""), 4);
    EXPECT_EQ(std::string(small, 5), "0123#") << "four characters, no terminator, nothing past the size";

    char large[16];
    std::memset(large, '#', sizeof large);
    EXPECT_EQ(store.getString("list", "1", large, 14, ""), 10);
    EXPECT_EQ(std::string(large, 15), std::string("0123456789\0\0\0\0#", 15)) << "padded with NUL up to the size";
}

TEST_F(SettingsFileTest, WithoutAPathNothingIsReadOrWritten)
{
    CSettingsFile unset;
    EXPECT_EQ(unset.writeInt("device", "asio", 2, 10), 0);
    EXPECT_EQ(unset.getInt("device", "asio", 7, 10), 7);

    store.writeInt("device", "asio", 2, 10);
    store.setPath(nullptr);
    ASSERT_TRUE(store.getPath().has_value());
    EXPECT_EQ(*store.getPath(), "") << "a null path empties the old one";
    EXPECT_EQ(store.getInt("device", "asio", 7, 10), 7);
    EXPECT_EQ(store.writeInt("device", "asio", 3, 10), 0);

    store.setPath(file.c_str());
    EXPECT_EQ(store.getInt("device", "asio", 7, 10), 2);
}

TEST(SettingsFilePath, IsTheCurrentDirectoryAndTheFileName)
{
    char current[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, current);
    EXPECT_EQ(CSettingsFile::defaultPath(), std::string(current) + "\\tarvoshell.ini");
}
