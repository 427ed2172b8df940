#include "midi/MIDIInService.h"

#include <atomic>

namespace midi {
namespace {

const MIDIInService g_winmm = {
    ::midiInOpen,          ::midiInClose,          ::midiInStart,
    ::midiInReset,         ::midiInPrepareHeader,  ::midiInAddBuffer,
    ::midiInUnprepareHeader, ::midiInGetErrorTextA, ::midiInGetDevCapsA,
    ::midiInGetNumDevs,    ::CreateThread,         ::CreateEventA,
};

// Constant-initialised, so it is valid before any other static object runs.
std::atomic<const MIDIInService*> g_current{&g_winmm};

} // namespace

const MIDIInService& WinmmService()
{
    return g_winmm;
}

const MIDIInService& Service()
{
    return *g_current.load(std::memory_order_acquire);
}

const MIDIInService* InstallService(const MIDIInService* table)
{
    return g_current.exchange(table ? table : &g_winmm, std::memory_order_acq_rel);
}

} // namespace midi
