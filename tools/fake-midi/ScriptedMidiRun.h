#pragma once
// A scripted MIDI service driven by a script file, for whole-program runs: the script's ports
// are offered, and each time the open port starts its events are played in real time from
// the beginning; a Stop ends the playing until the next start.
//
// A program binds it by keeping the result of InstallScriptFile alive for its whole run. It may
// name a file where the run writes the number of playings that reached the end, after each
// one: another process then sees that the port was opened, started and took every event.

#include "MidiScript.h"
#include "ScriptedMidiService.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>

namespace fakemidi {

// The names a whole-program run uses in its working directory.
constexpr const char* kScriptFileName = "zumbrel-midi.txt";
constexpr const char* kPlaysFileName = "zumbrel-midi-plays.txt";

class CScriptedMidiRun {
public:
    explicit CScriptedMidiRun(MidiScript script, std::string playsFile = std::string());
    ~CScriptedMidiRun();
    CScriptedMidiRun(const CScriptedMidiRun&) = delete;
    CScriptedMidiRun& operator=(const CScriptedMidiRun&) = delete;

    CScriptedMidiService& Service() { return m_service; }
    // Playings that reached the end of the script.
    unsigned CompletedPlays() const { return m_completed.load(); }

private:
    void Run();
    bool PlayOnce(); // false when the port stopped or the run ends before the end
    bool WaitUntil(DWORD startTick, std::uint32_t atMs);
    bool Send(const ScriptEvent& event, DWORD timestamp);

    MidiScript m_script;
    const std::string m_playsFile;
    CScriptedMidiService m_service;
    std::atomic<bool> m_quit{false};
    std::atomic<unsigned> m_completed{0};
    std::thread m_player;
};

// Installs a run of the script at `path`, reporting its completed playings to `playsFile`
// (none when empty). A missing script gives one port and no events; a malformed one gives
// null and the reason in `error`.
std::unique_ptr<CScriptedMidiRun> InstallScriptFile(const std::string& path, std::string& error,
                                                    const std::string& playsFile = std::string());

} // namespace fakemidi
