#pragma once
// The script a scripted MIDI port plays: which ports exist and what arrives when.
// Portable: no operating-system headers, so it is also built and tested natively.
//
// One item per line; '#' starts a comment; bytes are hexadecimal:
//   port <name>                 a port, in order (none: one port "Scripted MIDI In")
//   <ms> short <status> [d1 [d2]]   a short message, <ms> after input started
//   <ms> sysex <bytes...>           system-exclusive bytes, split over the lent buffers
// Events are played in time order; events with equal times keep their order in the file.

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

namespace fakemidi {

struct ScriptEvent {
    enum class Kind { ShortMessage, SysEx };
    std::uint32_t atMs = 0;
    Kind kind = Kind::ShortMessage;
    std::vector<std::uint8_t> bytes;

    // The service's packing of a short message: status in bits 0-7, data in 8-15 and 16-23.
    std::uint32_t ShortWord() const;
};

struct MidiScript {
    std::vector<std::string> ports;
    std::vector<ScriptEvent> events; // sorted by time
};

// Reads a script. On a malformed line returns false with "line N: reason" in `error`.
bool ParseMidiScript(std::istream& in, MidiScript& script, std::string& error);

} // namespace fakemidi
