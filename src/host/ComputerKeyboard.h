#pragma once
// The computer keyboard as a music keyboard, in the two-row layout musicians know: the home row
// A S D F G H J K L ; plays the white keys from C up to the E an octave higher, W E T Y U O P
// above it the black keys between them; Z and X shift an octave down and up, C and V lower and
// raise the velocity. Keys are Windows virtual-key codes; portable, so tested natively.
//
// A key held down gives one note-on (the keyboard's repeats are ignored) and its note-off when
// released, for the note it started even if the octave changed meanwhile.

#include <cstdint>
#include <vector>

namespace host {

struct KeyNote {
    std::uint8_t status;  // 0x90 note-on or 0x80 note-off, channel 1
    std::uint8_t note;
    std::uint8_t velocity;
};

class CComputerKeyboard {
public:
    static constexpr int kFirstOctaveC = 60;  // middle C for A before any shift
    static constexpr int kDefaultVelocity = 100;
    static constexpr int kVelocityStep = 20;

    // Whether the key plays or shifts something: such keys are taken from the rest of the
    // program while the keyboard plays.
    static bool IsMusicKey(unsigned virtualKey);

    // The note-on for a key pressed (none for a repeat, a held key or another key); Z X C V
    // change the octave or velocity and give nothing.
    std::vector<KeyNote> Press(unsigned virtualKey);
    // The note-off of a held key; nothing for any other.
    std::vector<KeyNote> Release(unsigned virtualKey);
    // Note-offs for every held key (the window lost the keyboard).
    std::vector<KeyNote> ReleaseAll();

    int Octave() const { return m_octave; }
    int Velocity() const { return m_velocity; }

private:
    static int SemitoneOf(unsigned virtualKey);  // -1 for a key that plays nothing

    int m_octave = 0;  // shift in octaves from kFirstOctaveC
    int m_velocity = kDefaultVelocity;
    // The note each held key started, plus one; 0 while the key is up.
    std::int16_t m_held[256] = {};
    bool m_anyHeld = false;
};

}  // namespace host
