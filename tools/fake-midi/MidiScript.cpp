#include "MidiScript.h"

#include <algorithm>
#include <sstream>

namespace fakemidi {
namespace {

constexpr std::size_t kMaxShortBytes = 3;
constexpr unsigned kStatusBit = 0x80;
constexpr unsigned kByteLimit = 0xFF;
const char* const kDefaultPort = "Scripted MIDI In";

bool ParseByte(const std::string& word, std::uint8_t& byte)
{
    if (word.empty() || word.size() > 2)
        return false;
    std::size_t used = 0;
    unsigned long value = 0;
    try {
        value = std::stoul(word, &used, 16);
    } catch (...) {
        return false;
    }
    if (used != word.size() || value > kByteLimit)
        return false;
    byte = static_cast<std::uint8_t>(value);
    return true;
}

bool ParseTime(const std::string& word, std::uint32_t& ms)
{
    if (word.empty() || !std::all_of(word.begin(), word.end(),
                                      [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    try {
        const unsigned long long value = std::stoull(word);
        if (value > UINT32_MAX)
            return false;
        ms = static_cast<std::uint32_t>(value);
    } catch (...) {
        return false;
    }
    return true;
}

// Parses "<ms> <kind> <bytes...>"; returns the reason on failure, empty on success.
std::string ParseEvent(std::istringstream& words, const std::string& first, ScriptEvent& event)
{
    if (!ParseTime(first, event.atMs))
        return "expected 'port' or a time in milliseconds, got '" + first + "'";
    std::string kind;
    words >> kind;
    if (kind == "short")
        event.kind = ScriptEvent::Kind::ShortMessage;
    else if (kind == "sysex")
        event.kind = ScriptEvent::Kind::SysEx;
    else
        return "unknown event kind '" + kind + "'";
    for (std::string word; words >> word;) {
        std::uint8_t byte = 0;
        if (!ParseByte(word, byte))
            return "'" + word + "' is not a hexadecimal byte";
        event.bytes.push_back(byte);
    }
    if (event.bytes.empty())
        return "an event needs at least one byte";
    if (event.kind == ScriptEvent::Kind::ShortMessage) {
        if (event.bytes.size() > kMaxShortBytes)
            return "a short message has at most three bytes";
        if (!(event.bytes[0] & kStatusBit))
            return "a short message starts with a status byte";
    }
    return {};
}

} // namespace

std::uint32_t ScriptEvent::ShortWord() const
{
    std::uint32_t word = 0;
    for (std::size_t i = 0; i < bytes.size() && i < kMaxShortBytes; ++i)
        word |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
    return word;
}

bool ParseMidiScript(std::istream& in, MidiScript& script, std::string& error)
{
    MidiScript parsed;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::string first;
        if (!(words >> first))
            continue;
        if (first == "port") {
            std::string name;
            std::getline(words >> std::ws, name);
            name.erase(name.find_last_not_of(" \t\r") + 1);
            if (name.empty()) {
                error = "line " + std::to_string(number) + ": a port needs a name";
                return false;
            }
            parsed.ports.push_back(name);
            continue;
        }
        ScriptEvent event;
        const std::string reason = ParseEvent(words, first, event);
        if (!reason.empty()) {
            error = "line " + std::to_string(number) + ": " + reason;
            return false;
        }
        parsed.events.push_back(std::move(event));
    }
    if (parsed.ports.empty())
        parsed.ports.push_back(kDefaultPort);
    std::stable_sort(parsed.events.begin(), parsed.events.end(),
                     [](const ScriptEvent& a, const ScriptEvent& b) { return a.atMs < b.atMs; });
    script = std::move(parsed);
    return true;
}

} // namespace fakemidi
