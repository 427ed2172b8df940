#include "host/ComputerKeyboard.h"

#include <gtest/gtest.h>

using host::CComputerKeyboard;
using host::KeyNote;

namespace {
constexpr unsigned kSemicolon = 0xBA;

int NoteOf(CComputerKeyboard& keyboard, unsigned key)
{
    const std::vector<KeyNote> on = keyboard.Press(key);
    keyboard.Release(key);
    return on.size() == 1 && on[0].status == 0x90 ? on[0].note : -1;
}
}  // namespace

TEST(ComputerKeyboard, TwoRowsPlayAnOctaveAndAThirdFromMiddleC)
{
    CComputerKeyboard keyboard;
    const struct {
        unsigned key;
        int note;
    } layout[] = {
        {'A', 60}, {'W', 61}, {'S', 62},        {'E', 63}, {'D', 64}, {'F', 65}, {'T', 66},
        {'G', 67}, {'Y', 68}, {'H', 69},        {'U', 70}, {'J', 71}, {'K', 72}, {'O', 73},
        {'L', 74}, {'P', 75}, {kSemicolon, 76}, {'Q', -1}, {'R', -1}, {'1', -1},
    };
    for (const auto& entry : layout)
        EXPECT_EQ(NoteOf(keyboard, entry.key), entry.note) << entry.key;
}

TEST(ComputerKeyboard, RepeatsAreIgnoredAndTheReleaseEndsTheNoteThatStarted)
{
    CComputerKeyboard keyboard;
    ASSERT_EQ(keyboard.Press('A').size(), 1u);
    EXPECT_TRUE(keyboard.Press('A').empty());  // auto-repeat
    keyboard.Press('X');                       // an octave up while A is held
    const std::vector<KeyNote> off = keyboard.Release('A');
    ASSERT_EQ(off.size(), 1u);
    EXPECT_EQ(off[0].status, 0x80);
    EXPECT_EQ(off[0].note, 60);
    EXPECT_TRUE(keyboard.Release('A').empty());
    EXPECT_EQ(NoteOf(keyboard, 'A'), 72);

    keyboard.Press('S');
    keyboard.Press('D');
    EXPECT_EQ(keyboard.ReleaseAll().size(), 2u);
    EXPECT_TRUE(keyboard.ReleaseAll().empty());
}

TEST(ComputerKeyboard, OctaveAndVelocityStayInRange)
{
    CComputerKeyboard keyboard;
    for (int i = 0; i < 20; ++i) {
        keyboard.Press('Z');
        keyboard.Press('C');
    }
    EXPECT_EQ(NoteOf(keyboard, 'A'), 0);
    EXPECT_EQ(keyboard.Velocity(), 1);
    for (int i = 0; i < 20; ++i) {
        keyboard.Press('X');
        keyboard.Press('V');
    }
    EXPECT_EQ(keyboard.Press('K').size(), 0u);  // note 132: beyond the MIDI range
    EXPECT_EQ(NoteOf(keyboard, 'A'), 120);
    EXPECT_EQ(keyboard.Velocity(), 127);
}
