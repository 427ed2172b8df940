// The program on a machine without an ASIO driver choice: the probe's tone through Windows
// audio into the tests' sound server (float 32, 48000 Hz, stereo), as captured there.
#include "E2eSupport.h"
#include "SoundServer.h"
#include "resource.h"

namespace e2e {
namespace {

constexpr double kToneHz = 440.0;
constexpr double kToneLevel = 0.25 * 0.9;  // the probe's tone through the output stage

class WindowsAudio : public E2eTest {
protected:
    void SetUp() override
    {
        if (!m_server.Available())
            GTEST_SKIP() << "no sound server (scripts/sound-server.sh)";
        E2eTest::SetUp();
        InstallProbe("tone");
    }
    std::string StatusText()
    {
        return uiharness::CRemoteStatusBar(Program().Process(), GetDlgItem(Frame(), IDW_STATUS_BAR))
            .PaneText(0);
    }
    // The tone heard for `ms` from now: both channels, whole, at its pitch and level.
    void ExpectToneFor(DWORD ms)
    {
        const std::uint64_t mark = m_server.CaptureMark();
        Sleep(ms);
        ExpectCleanSine(m_server.CaptureSince(mark), kToneHz, kToneLevel, ms / 1000.0 * 0.8);
    }

    CSoundServer m_server;
};

// No settings file at all: the default device plays, the status bar tells its latency, and
// the file keeps no device choice (the default device goes on being followed).
TEST_F(WindowsAudio, AFirstStartIsHeardThroughTheDefaultDevice)
{
    Launch();
    ASSERT_TRUE(uiharness::WaitUntil(
        [&] { return StatusText().rfind("Windows Audio (default device): 48000 Hz", 0) == 0; },
        kWaitMs))
        << StatusText();
    ExpectToneFor(3000);
    EXPECT_FALSE(AnyMessageBox());
    EXPECT_EQ(CloseProgram(), 0u);
    EXPECT_EQ(ReadSetting("device", "asio"), "<missing>");
    EXPECT_EQ(ReadSetting("device", "samplerate"), "1");
}

// Exclusive mode, refused by the sound server: shared, said in the status bar.
TEST_F(WindowsAudio, RefusedExclusiveModePlaysSharedAndSaysSo)
{
    WriteSetting("device", "asio", "0");
    WriteSetting("device", "windows", "default;exclusive");
    Launch();
    ASSERT_TRUE(uiharness::WaitUntil(
        [&] { return StatusText().find("Exclusive mode was refused") != std::string::npos; }, kWaitMs))
        << StatusText();
    ExpectToneFor(1500);
    EXPECT_FALSE(AnyMessageBox());
    EXPECT_EQ(CloseProgram(), 0u);
}

// The sink goes away and comes back while the program plays: it is heard again, whole, within
// a few seconds (the device is opened afresh, or looked for until it is back).
TEST_F(WindowsAudio, PlaysAgainWhenTheDeviceComesBack)
{
    Launch();
    ASSERT_TRUE(uiharness::WaitUntil(
        [&] { return StatusText().rfind("Windows Audio", 0) == 0; }, kWaitMs)) << StatusText();
    ASSERT_TRUE(m_server.UnloadSink());
    Sleep(1000);
    ASSERT_TRUE(m_server.LoadSink());
    std::string why = "not heard";
    for (int attempt = 0; attempt < 8 && !why.empty(); ++attempt) {
        const std::uint64_t mark = m_server.CaptureMark();
        Sleep(1500);
        IsCleanSine(m_server.CaptureSince(mark), kToneHz, kToneLevel, 1.2, why);
    }
    EXPECT_TRUE(why.empty()) << why << StatusText();
    EXPECT_FALSE(AnyMessageBox());
    EXPECT_EQ(CloseProgram(), 0u);
}

}  // namespace
}  // namespace e2e
