#pragma once
// The published VST 2 plug-in binary interface, as far as this instrument uses it. Declared
// here on its own, independently of the host's declarations, so that a layout mistake in one
// shows up against the other.

#include <cstddef>
#include <cstdint>

#define VST_CALL __cdecl

namespace vst {

struct Effect;

using HostCallback = std::intptr_t(VST_CALL*)(Effect*, std::int32_t opcode, std::int32_t index,
                                              std::intptr_t value, void* ptr, float opt);
using DispatcherProc = std::intptr_t(VST_CALL*)(Effect*, std::int32_t opcode, std::int32_t index,
                                                std::intptr_t value, void* ptr, float opt);
using ProcessProc = void(VST_CALL*)(Effect*, float** inputs, float** outputs, std::int32_t frames);
using SetParameterProc = void(VST_CALL*)(Effect*, std::int32_t index, float value);
using GetParameterProc = float(VST_CALL*)(Effect*, std::int32_t index);

constexpr std::int32_t kMagic = 0x56737450;  // 'VstP'

struct Effect {
    std::int32_t magic;
    DispatcherProc dispatcher;
    ProcessProc process;               // accumulating; kept for old hosts
    SetParameterProc setParameter;
    GetParameterProc getParameter;
    std::int32_t numPrograms;
    std::int32_t numParams;
    std::int32_t numInputs;
    std::int32_t numOutputs;
    std::int32_t flags;
    std::intptr_t reserved1;
    std::intptr_t reserved2;
    std::int32_t initialDelay;
    std::int32_t realQualities;
    std::int32_t offQualities;
    float ioRatio;
    void* object;                      // the plug-in's own
    void* user;                        // the host's own
    std::int32_t uniqueID;
    std::int32_t version;
    ProcessProc processReplacing;
    void* processDoubleReplacing;
    char future[56];
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(Effect, dispatcher) == 4 && offsetof(Effect, numPrograms) == 20
                  && offsetof(Effect, flags) == 36 && offsetof(Effect, user) == 68
                  && offsetof(Effect, uniqueID) == 72 && offsetof(Effect, processReplacing) == 80
                  && sizeof(Effect) == 144,
              "32-bit effect record layout");
#elif defined(_WIN64)
static_assert(offsetof(Effect, dispatcher) == 8 && offsetof(Effect, numPrograms) == 40
                  && offsetof(Effect, flags) == 56 && offsetof(Effect, user) == 104
                  && offsetof(Effect, uniqueID) == 112 && offsetof(Effect, processReplacing) == 120
                  && sizeof(Effect) == 192,
              "64-bit effect record layout");
#endif

enum Flags : std::int32_t {
    kHasEditor = 1 << 0,
    kCanReplace = 1 << 4,
    kProgramChunks = 1 << 5,
    kIsSynth = 1 << 8,
};

enum Opcode : std::int32_t {
    effOpen = 0,
    effClose = 1,
    effSetProgram = 2,
    effGetProgram = 3,
    effSetProgramName = 4,
    effGetProgramName = 5,
    effGetParamLabel = 6,
    effGetParamDisplay = 7,
    effGetParamName = 8,
    effSetSampleRate = 10,
    effSetBlockSize = 11,
    effMainsChanged = 12,
    effEditGetRect = 13,
    effEditOpen = 14,
    effEditClose = 15,
    effEditIdle = 19,
    effGetChunk = 23,
    effSetChunk = 24,
    effProcessEvents = 25,
    effCanBeAutomated = 26,
    effGetProgramNameIndexed = 29,
    effGetPlugCategory = 35,
    effGetEffectName = 45,
    effGetVendorString = 47,
    effGetProductString = 48,
    effGetVendorVersion = 49,
    effCanDo = 51,
    effGetVstVersion = 58,
};

enum HostOpcode : std::int32_t {
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterBeginEdit = 43,
    audioMasterEndEdit = 44,
};

// Room for a parameter's name, label or display text, terminator included, as classic hosts
// allocate it.
constexpr std::size_t kParamTextBytes = 8;

constexpr std::int32_t kPlugCategorySynth = 2;
constexpr std::int32_t kMidiEventType = 1;

struct Event {
    std::int32_t type;
    std::int32_t byteSize;
    std::int32_t deltaFrames;
    std::int32_t flags;
    char data[16];
};

struct MidiEvent {
    std::int32_t type;
    std::int32_t byteSize;
    std::int32_t deltaFrames;
    std::int32_t flags;
    std::int32_t noteLength;
    std::int32_t noteOffset;
    char midiData[4];
    char detune;
    char noteOffVelocity;
    char reserved1;
    char reserved2;
};
static_assert(sizeof(MidiEvent) == 32 && sizeof(Event) == 32, "event records are 32 bytes");

struct Events {
    std::int32_t numEvents;
    std::intptr_t reserved;
    Event* events[2];  // numEvents entries in truth
};

struct Rect {
    std::int16_t top, left, bottom, right;
};

}  // namespace vst
