// The entry of zumbrel-e2e.exe: the whole program, with the MIDI service bound to the scripted
// port that zumbrel-midi.txt in the working directory describes. Everything else is the
// production path.
#include "ScriptedMidiRun.h"
#include "app/TarvolinApp.h"

#include <memory>
#include <string>

namespace {
constexpr int kBadScriptExitCode = 2;
// Set in the environment: the scripted port refuses to open, as a port in use does.
constexpr char kFailOpenVariable[] = "ZUMBREL_E2E_MIDI_OPEN_FAILS";
// Set in the environment: no MIDI input device can be made (its signalling event is refused).
constexpr char kFailEventVariable[] = "ZUMBREL_E2E_MIDI_EVENT_FAILS";
// Declared before the application, so that it is released after the view (and its port) went.
std::unique_ptr<fakemidi::CScriptedMidiRun> scriptedMidi;
CTarvolinApp theApp;
} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    std::string error;
    scriptedMidi = fakemidi::InstallScriptFile(fakemidi::kScriptFileName, error,
                                                 fakemidi::kPlaysFileName);
    if (scriptedMidi == nullptr) {
        return kBadScriptExitCode;
    }
    if (GetEnvironmentVariableA(kFailOpenVariable, nullptr, 0) != 0) {
        scriptedMidi->Service().FailCall(fakemidi::Call::Open, MMSYSERR_ALLOCATED);
    }
    if (GetEnvironmentVariableA(kFailEventVariable, nullptr, 0) != 0) {
        scriptedMidi->Service().FailCall(fakemidi::Call::CreateEvent, MMSYSERR_NOMEM);
    }
    return theApp.Run(instance, commandLine != nullptr ? commandLine : "");
}
