#pragma once
// The instrument plug-in contract: the parts of the published VST 2 binary interface that the
// host uses, declared here from the published layout. The same declarations serve both
// Windows targets: on i686 every offset below is the published 32-bit layout, on x86_64 the
// structures take their natural alignment (pointer-sized members grow to 8 bytes).
//
// No operating-system header is needed; the portable event list uses these records too.

#include <cstddef>
#include <cstdint>

// Every plug-in entry point and the host callback use the C calling convention. Only 32-bit
// Windows has more than one convention; elsewhere the attribute would be ignored (and warned).
#if defined(_WIN32) && defined(__i386__)
#define VST_CALL __cdecl
#else
#define VST_CALL
#endif

struct AEffect;

using VstIntPtr = std::intptr_t;

using VstHostCallback = VstIntPtr(VST_CALL*)(AEffect* effect, std::int32_t opcode,
                                             std::int32_t index, VstIntPtr value, void* ptr,
                                             float opt);
using VstDispatcher = VstIntPtr(VST_CALL*)(AEffect* effect, std::int32_t opcode,
                                           std::int32_t index, VstIntPtr value, void* ptr,
                                           float opt);
using VstProcess = void(VST_CALL*)(AEffect* effect, float** inputs, float** outputs,
                                   std::int32_t frames);
using VstProcessDouble = void(VST_CALL*)(AEffect* effect, double** inputs, double** outputs,
                                         std::int32_t frames);
using VstSetParameter = void(VST_CALL*)(AEffect* effect, std::int32_t index, float value);
using VstGetParameter = float(VST_CALL*)(AEffect* effect, std::int32_t index);
// The exported entry (`VSTPluginMain`, or `main` in older plug-ins).
using VstPluginEntry = AEffect*(VST_CALL*)(VstHostCallback host);

// The characters V, s, t, P read as a big-endian 32-bit number.
constexpr std::int32_t kEffectMagic = 0x56737450;

// The effect record a plug-in's entry returns.
struct AEffect {
    std::int32_t magic;
    VstDispatcher dispatcher;
    VstProcess process;  // accumulating: adds the rendered block to the output buffers
    VstSetParameter setParameter;
    VstGetParameter getParameter;
    std::int32_t numPrograms;
    std::int32_t numParams;
    std::int32_t numInputs;
    std::int32_t numOutputs;
    std::int32_t flags;
    VstIntPtr resvd1;
    VstIntPtr resvd2;
    std::int32_t initialDelay;
    std::int32_t realQualities;
    std::int32_t offQualities;
    float ioRatio;
    void* object;  // the plug-in's own object
    void* user;    // the host's object, written by the host after the entry returns
    std::int32_t uniqueID;
    std::int32_t version;
    VstProcess processReplacing;  // overwrites the output buffers
    VstProcessDouble processDoubleReplacing;
    char future[56];
};

// Effect flag bits.
enum VstEffectFlags : std::int32_t {
    effFlagsHasEditor = 1 << 0,
    effFlagsHasClip = 1 << 1,
    effFlagsHasVu = 1 << 2,
    effFlagsCanMono = 1 << 3,
    effFlagsCanReplacing = 1 << 4,
    effFlagsProgramChunks = 1 << 5,
    effFlagsIsSynth = 1 << 8,
};

// Dispatcher opcodes the host sends.
enum VstEffectOpcode : std::int32_t {
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
    effGetProgramNameIndexed = 29,
    effGetEffectName = 45,
    effGetProductString = 48,
};

// Host callback opcodes the host answers; every other opcode is answered 0.
enum VstHostOpcode : std::int32_t {
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterIdle = 3,
    audioMasterGetTime = 7,
    audioMasterSizeWindow = 15,
    audioMasterCanDo = 37,
};

// The VST version the host reports (audioMasterVersion).
constexpr VstIntPtr kHostVstVersion = 2;

// Room a program name may take, terminator included (effGetProgramNameIndexed buffers).
constexpr std::size_t kVstProgramNameBytes = 256;

// The editor's rectangle, as the plug-in reports it for effEditGetRect.
struct ERect {
    std::int16_t top;
    std::int16_t left;
    std::int16_t bottom;
    std::int16_t right;
};

enum VstEventType : std::int32_t {
    kVstMidiType = 1,
    kVstSysExType = 6,
};

// The common head of every event record.
struct VstEvent {
    std::int32_t type;
    std::int32_t byteSize;
    std::int32_t deltaFrames;  // frames from the start of the block the list is handed over in
    std::int32_t flags;
    char data[16];
};

struct VstMidiEvent {
    std::int32_t type;  // kVstMidiType
    std::int32_t byteSize;
    std::int32_t deltaFrames;
    std::int32_t flags;
    std::int32_t noteLength;
    std::int32_t noteOffset;
    std::uint8_t midiData[4];  // status, data 1, data 2, 0
    std::int8_t detune;
    std::uint8_t noteOffVelocity;
    std::uint8_t reserved1;
    std::uint8_t reserved2;
};

struct VstMidiSysexEvent {
    std::int32_t type;  // kVstSysExType
    std::int32_t byteSize;
    std::int32_t deltaFrames;
    std::int32_t flags;
    std::int32_t dumpBytes;
    VstIntPtr resvd1;
    char* sysexDump;
    VstIntPtr resvd2;
};

// The published list head: a count, a reserved word and a variable array of event pointers.
// Plug-ins index `events` up to numEvents; the declared two entries are only the minimum.
struct VstEvents {
    std::int32_t numEvents;
    VstIntPtr reserved;
    VstEvent* events[2];
};

// The host's fixed events block: the same head with room for kVstEventSlots pointers. It is
// handed to the plug-in as a VstEvents.
constexpr std::size_t kVstEventSlots = 39986;
struct VstEventsBlock {
    std::int32_t numEvents;
    VstIntPtr reserved;
    VstEvent* events[kVstEventSlots];
};

// VstTimeInfo::flags: which fields hold a value, and the transport's state.
enum VstTimeInfoFlags : std::int32_t {
    kVstTransportChanged = 1 << 0,
    kVstTransportPlaying = 1 << 1,
    kVstNanosValid = 1 << 8,
    kVstPpqPosValid = 1 << 9,
    kVstTempoValid = 1 << 10,
    kVstBarsValid = 1 << 11,
    kVstTimeSigValid = 1 << 13,
};

struct VstTimeInfo {
    double samplePos;
    double sampleRate;
    double nanoSeconds;
    double ppqPos;
    double tempo;
    double barStartPos;
    double cycleStartPos;
    double cycleEndPos;
    std::int32_t timeSigNumerator;
    std::int32_t timeSigDenominator;
    std::int32_t smpteOffset;
    std::int32_t smpteFrameRate;
    std::int32_t samplesToNextClock;
    std::int32_t flags;
};

// ---- Layout checks -------------------------------------------------------------------------

// Sizes that hold on every target: these records have no pointer-sized member.
static_assert(sizeof(VstMidiEvent) == 32, "VstMidiEvent is 32 bytes");
static_assert(offsetof(VstMidiEvent, deltaFrames) == 8 && offsetof(VstMidiEvent, midiData) == 24
                  && offsetof(VstMidiEvent, detune) == 28
                  && offsetof(VstMidiEvent, noteOffVelocity) == 29
                  && offsetof(VstMidiEvent, reserved2) == 31,
              "VstMidiEvent field offsets");
static_assert(sizeof(VstTimeInfo) == 88, "VstTimeInfo is 88 bytes");
static_assert(offsetof(VstTimeInfo, sampleRate) == 8 && offsetof(VstTimeInfo, tempo) == 32
                  && offsetof(VstTimeInfo, timeSigNumerator) == 64
                  && offsetof(VstTimeInfo, smpteFrameRate) == 76
                  && offsetof(VstTimeInfo, flags) == 84,
              "VstTimeInfo field offsets");
static_assert(sizeof(ERect) == 8, "ERect is four 16-bit values");
static_assert(offsetof(VstEvent, deltaFrames) == offsetof(VstMidiEvent, deltaFrames)
                  && offsetof(VstEvent, deltaFrames) == offsetof(VstMidiSysexEvent, deltaFrames),
              "every event record shares the head");

#if defined(_WIN32) && defined(__i386__)
// The published 32-bit layout, field by field.
static_assert(offsetof(AEffect, magic) == 0 && offsetof(AEffect, dispatcher) == 4
                  && offsetof(AEffect, process) == 8 && offsetof(AEffect, setParameter) == 12
                  && offsetof(AEffect, getParameter) == 16 && offsetof(AEffect, numPrograms) == 20
                  && offsetof(AEffect, numParams) == 24 && offsetof(AEffect, numInputs) == 28
                  && offsetof(AEffect, numOutputs) == 32 && offsetof(AEffect, flags) == 36
                  && offsetof(AEffect, resvd1) == 40 && offsetof(AEffect, resvd2) == 44
                  && offsetof(AEffect, initialDelay) == 48 && offsetof(AEffect, ioRatio) == 60
                  && offsetof(AEffect, object) == 64 && offsetof(AEffect, user) == 68
                  && offsetof(AEffect, uniqueID) == 72 && offsetof(AEffect, version) == 76
                  && offsetof(AEffect, processReplacing) == 80
                  && offsetof(AEffect, processDoubleReplacing) == 84
                  && offsetof(AEffect, future) == 88,
              "AEffect 32-bit offsets");
static_assert(sizeof(AEffect) == 144, "AEffect is 144 bytes on 32-bit");
static_assert(sizeof(VstMidiSysexEvent) == 32 && offsetof(VstMidiSysexEvent, dumpBytes) == 16
                  && offsetof(VstMidiSysexEvent, resvd1) == 20
                  && offsetof(VstMidiSysexEvent, sysexDump) == 24
                  && offsetof(VstMidiSysexEvent, resvd2) == 28,
              "VstMidiSysexEvent 32-bit layout");
static_assert(sizeof(VstEvent) == 32, "VstEvent is 32 bytes on 32-bit");
static_assert(sizeof(VstEvents) == 16 && offsetof(VstEvents, events) == 8,
              "VstEvents 32-bit layout");
static_assert(sizeof(VstEventsBlock) == 159952, "the events block is 159,952 bytes on 32-bit");
#elif defined(__x86_64__) || defined(_M_X64) || defined(__aarch64__)
// The natural 64-bit layout: pointer-sized members on 8-byte boundaries.
static_assert(offsetof(AEffect, dispatcher) == 8 && offsetof(AEffect, process) == 16
                  && offsetof(AEffect, numPrograms) == 40 && offsetof(AEffect, numParams) == 44
                  && offsetof(AEffect, numInputs) == 48 && offsetof(AEffect, numOutputs) == 52
                  && offsetof(AEffect, flags) == 56 && offsetof(AEffect, resvd1) == 64
                  && offsetof(AEffect, initialDelay) == 80 && offsetof(AEffect, ioRatio) == 92
                  && offsetof(AEffect, object) == 96 && offsetof(AEffect, user) == 104
                  && offsetof(AEffect, uniqueID) == 112 && offsetof(AEffect, version) == 116
                  && offsetof(AEffect, processReplacing) == 120
                  && offsetof(AEffect, processDoubleReplacing) == 128
                  && offsetof(AEffect, future) == 136,
              "AEffect 64-bit offsets");
static_assert(sizeof(AEffect) == 192, "AEffect is 192 bytes on 64-bit");
static_assert(sizeof(VstMidiSysexEvent) == 48 && offsetof(VstMidiSysexEvent, dumpBytes) == 16
                  && offsetof(VstMidiSysexEvent, resvd1) == 24
                  && offsetof(VstMidiSysexEvent, sysexDump) == 32
                  && offsetof(VstMidiSysexEvent, resvd2) == 40,
              "VstMidiSysexEvent 64-bit layout");
static_assert(sizeof(VstEvent) == 32, "VstEvent is 32 bytes on 64-bit");
static_assert(sizeof(VstEvents) == 32 && offsetof(VstEvents, events) == 16,
              "VstEvents 64-bit layout");
static_assert(offsetof(VstEventsBlock, events) == 16
                  && sizeof(VstEventsBlock) == 16 + 8 * kVstEventSlots,
              "events block 64-bit layout");
#endif
