// A script file played through the device, as a whole-program run under Wine uses it.
#include "ScriptedMidiRun.h"

#include "MidiTestSupport.h"

#include <cstdio>
#include <fstream>

namespace miditest {
namespace {

using midi::CMIDIInDevice;

class ScriptedRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_path = std::string("midi-script-") + info->name() + ".txt";
    }
    void TearDown() override
    {
        std::remove(m_path.c_str());
        std::remove(PlaysPath().c_str());
    }
    std::string PlaysPath() const { return m_path + ".plays"; }

    void Write(const std::string& text) { std::ofstream(m_path) << text; }

    std::string m_path;
};

TEST_F(ScriptedRun, PlaysTheScriptThroughTheDeviceEachTimeItStarts)
{
    Write("port Scripted Keys\n"
          "port Other Keys\n"
          "0 short 90 3C 64\n"
          "5 sysex F0 01 02 03 04 05 06 07 08 F7\n"
          "10 short 80 3C 00\n");
    std::string error;
    std::unique_ptr<fakemidi::CScriptedMidiRun> run =
        fakemidi::InstallScriptFile(m_path, error, PlaysPath());
    ASSERT_NE(run, nullptr) << error;

    ASSERT_EQ(CMIDIInDevice::GetNumPorts(), 2u);
    MIDIINCAPSA caps;
    CMIDIInDevice::GetPortCaps(1, &caps);
    EXPECT_STREQ(caps.szPname, "Other Keys");

    RecordingReceiver receiver;
    constexpr DWORD kSmallBuffer = 4;
    char buffer[kSmallBuffer];
    {
        CMIDIInDevice device;
        receiver.LendAgainTo(&device, kSmallBuffer);
        device.AttachReceiver(&receiver);
        device.Open(0);
        for (unsigned play = 1; play <= 2; ++play) {
            device.Start();
            device.QueueSysExBuffer(buffer, kSmallBuffer);
            ASSERT_TRUE(WaitUntil([&] { return run->CompletedPlays() == play; }));
            unsigned reported = 0;
            std::ifstream(PlaysPath()) >> reported;
            EXPECT_EQ(reported, play);
            device.Stop();
        }
    }
    const std::vector<Received> events = receiver.Events();
    ASSERT_EQ(events.size(), 10u); // twice: note on, three parts, note off
    EXPECT_EQ(events[0].word, 0x00643C90u);
    EXPECT_EQ(events[1].bytes, std::string("\xF0\x01\x02\x03", 4));
    EXPECT_EQ(events[2].bytes, std::string("\x04\x05\x06\x07", 4));
    EXPECT_EQ(events[3].bytes, std::string("\x08\xF7", 2));
    EXPECT_EQ(events[4].word, 0x00003C80u);
    EXPECT_GE(events[4].timestamp, 10u);
    EXPECT_EQ(events[5].word, events[0].word);
    EXPECT_EQ(run->Service().GetAudit().prepared, 0u);
}

TEST_F(ScriptedRun, MissingFileOffersOnePortAndPlaysNothing)
{
    std::string error;
    std::unique_ptr<fakemidi::CScriptedMidiRun> run = fakemidi::InstallScriptFile(m_path, error);
    ASSERT_NE(run, nullptr);
    EXPECT_EQ(CMIDIInDevice::GetNumPorts(), 1u);
}

TEST_F(ScriptedRun, MalformedFileInstallsNothing)
{
    Write("10 short 3C\n");
    std::string error;
    EXPECT_EQ(fakemidi::InstallScriptFile(m_path, error), nullptr);
    EXPECT_EQ(error, "line 1: a short message starts with a status byte");
    EXPECT_EQ(&midi::Service(), &midi::WinmmService());
}

} // namespace
} // namespace miditest
