#include "host/ComputerKeyboard.h"

#include <algorithm>

namespace host {

namespace {
constexpr std::uint8_t kNoteOn = 0x90;
constexpr std::uint8_t kNoteOff = 0x80;
constexpr unsigned kSemicolon = 0xBA;  // VK_OEM_1 on US layouts
constexpr int kLowestOctave = -5;
constexpr int kHighestOctave = 5;
constexpr int kHighestNote = 127;
constexpr int kLowestVelocity = 1;
constexpr int kHighestVelocity = 127;

struct KeySemitone {
    unsigned key;
    int semitone;
};
constexpr KeySemitone kLayout[] = {
    {'A', 0},  {'W', 1},  {'S', 2},  {'E', 3},  {'D', 4},         {'F', 5},
    {'T', 6},  {'G', 7},  {'Y', 8},  {'H', 9},  {'U', 10},        {'J', 11},
    {'K', 12}, {'O', 13}, {'L', 14}, {'P', 15}, {kSemicolon, 16},
};
}  // namespace

int CComputerKeyboard::SemitoneOf(unsigned virtualKey)
{
    for (const KeySemitone& entry : kLayout) {
        if (entry.key == virtualKey)
            return entry.semitone;
    }
    return -1;
}

bool CComputerKeyboard::IsMusicKey(unsigned virtualKey)
{
    return SemitoneOf(virtualKey) >= 0 || virtualKey == 'Z' || virtualKey == 'X' ||
           virtualKey == 'C' || virtualKey == 'V';
}

std::vector<KeyNote> CComputerKeyboard::Press(unsigned virtualKey)
{
    switch (virtualKey) {
    case 'Z':
        m_octave = std::max(m_octave - 1, kLowestOctave);
        return {};
    case 'X':
        m_octave = std::min(m_octave + 1, kHighestOctave);
        return {};
    case 'C':
        m_velocity = std::max(m_velocity - kVelocityStep, kLowestVelocity);
        return {};
    case 'V':
        m_velocity = std::min(m_velocity + kVelocityStep, kHighestVelocity);
        return {};
    default:
        break;
    }
    const int semitone = SemitoneOf(virtualKey);
    if (semitone < 0 || virtualKey > 255 || (m_anyHeld && m_held[virtualKey] > 0))
        return {};
    const int note = kFirstOctaveC + 12 * m_octave + semitone;
    if (note < 0 || note > kHighestNote)
        return {};
    m_held[virtualKey] = static_cast<std::int16_t>(note + 1);  // 0 means not held
    m_anyHeld = true;
    return {{kNoteOn, static_cast<std::uint8_t>(note), static_cast<std::uint8_t>(m_velocity)}};
}

std::vector<KeyNote> CComputerKeyboard::Release(unsigned virtualKey)
{
    if (virtualKey > 255 || m_held[virtualKey] == 0)
        return {};
    const auto note = static_cast<std::uint8_t>(m_held[virtualKey] - 1);
    m_held[virtualKey] = 0;
    return {{kNoteOff, note, 0}};
}

std::vector<KeyNote> CComputerKeyboard::ReleaseAll()
{
    std::vector<KeyNote> offs;
    for (unsigned key = 0; key < 256 && m_anyHeld; ++key) {
        const std::vector<KeyNote> off = Release(key);
        offs.insert(offs.end(), off.begin(), off.end());
    }
    m_anyHeld = false;
    return offs;
}

}  // namespace host
