#pragma once
// The open port of the scripted MIDI service, shared by its two halves: the service calls
// (ScriptedMidiService.cpp) and the port side a test drives (ScriptedMidiPort.cpp).

#include "ScriptedMidiService.h"

namespace fakemidi {

using MidiInCallback = void(CALLBACK*)(HMIDIIN, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR);

inline std::size_t CallIndex(Call call)
{
    return static_cast<std::size_t>(call);
}

struct CScriptedMidiService::Port {
    struct Pending {
        UINT message;
        DWORD_PTR param1;
        DWORD_PTR param2;
    };
    HMIDIIN handle = nullptr;
    UINT number = 0;
    MidiInCallback callback = nullptr;
    DWORD_PTR instance = 0;
    bool started = false;
    std::deque<MIDIHDR*> held;
    std::deque<Pending> pending;
    unsigned long posted = 0;
    unsigned long delivered = 0;
    bool quit = false;
    DWORD threadId = 0;
    std::thread thread;
};

} // namespace fakemidi
