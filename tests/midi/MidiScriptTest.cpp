// Reading the scripts a scripted MIDI port plays.
#include "MidiScript.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using fakemidi::MidiScript;
using fakemidi::ParseMidiScript;
using fakemidi::ScriptEvent;

MidiScript Parse(const std::string& text)
{
    std::istringstream in(text);
    MidiScript script;
    std::string error;
    EXPECT_TRUE(ParseMidiScript(in, script, error)) << error;
    return script;
}

TEST(MidiScript, ReadsPortsAndEventsInTimeOrder)
{
    const MidiScript script = Parse("# a keyboard\n"
                                    "port Scripted Keys  \n"
                                    "port Second Port\n"
                                    "20 sysex F0 7e 7F 06 01 F7\n"
                                    "10 short 90 3C 64   # note on\n"
                                    "10 short C0 05\n");
    EXPECT_EQ(script.ports, (std::vector<std::string>{"Scripted Keys", "Second Port"}));
    ASSERT_EQ(script.events.size(), 3u);
    EXPECT_EQ(script.events[0].atMs, 10u);
    EXPECT_EQ(script.events[0].ShortWord(), 0x00643C90u);
    EXPECT_EQ(script.events[1].ShortWord(), 0x000005C0u); // equal times keep file order
    EXPECT_EQ(script.events[2].kind, ScriptEvent::Kind::SysEx);
    EXPECT_EQ(script.events[2].bytes,
              (std::vector<std::uint8_t>{0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7}));
}

TEST(MidiScript, EmptyScriptOffersOneDefaultPort)
{
    const MidiScript script = Parse("\n   \n# nothing\n");
    EXPECT_EQ(script.ports, std::vector<std::string>{"Scripted MIDI In"});
    EXPECT_TRUE(script.events.empty());
}

struct BadLine {
    const char* text;
    const char* error;
};

class MidiScriptErrors : public ::testing::TestWithParam<BadLine> {
};

TEST_P(MidiScriptErrors, NameTheLineAndTheReason)
{
    std::istringstream in(std::string("port Fine\n") + GetParam().text + "\n");
    MidiScript script;
    script.ports.push_back("untouched");
    std::string error;
    EXPECT_FALSE(ParseMidiScript(in, script, error));
    EXPECT_EQ(error, GetParam().error);
    EXPECT_EQ(script.ports, std::vector<std::string>{"untouched"});
}

INSTANTIATE_TEST_SUITE_P(
    Lines, MidiScriptErrors,
    ::testing::Values(
        BadLine{"port", "line 2: a port needs a name"},
        BadLine{"soon short 90 3C 64", "line 2: expected 'port' or a time in milliseconds, got 'soon'"},
        BadLine{"-5 short 90", "line 2: expected 'port' or a time in milliseconds, got '-5'"},
        BadLine{"99999999999 short 90", "line 2: expected 'port' or a time in milliseconds, got '99999999999'"},
        BadLine{"10 long 90", "line 2: unknown event kind 'long'"},
        BadLine{"10 short", "line 2: an event needs at least one byte"},
        BadLine{"10 short 90 3C 64 00", "line 2: a short message has at most three bytes"},
        BadLine{"10 short 3C 64", "line 2: a short message starts with a status byte"},
        BadLine{"10 sysex F0 100", "line 2: '100' is not a hexadecimal byte"},
        BadLine{"10 sysex F0 G1", "line 2: 'G1' is not a hexadecimal byte"},
        BadLine{"10 sysex F0 0x", "line 2: '0x' is not a hexadecimal byte"}));

} // namespace
