#pragma once
// CVstPlugin: the one object through which the program reaches the instrument plug-in. It
// loads the library, validates and copies the effect record, owns the plug-in's audio buffers,
// the event list and the time information record, and wraps every plug-in call.
//
// Threads. The user-interface thread loads, unloads and makes the dispatcher calls (the
// editor's idle call among them: editors draw from it, as from their window's thread); the
// MIDI input thread adds events; the audio thread renders (RenderCallback, Process,
// ProcessReplacing, SendEvents). No lock is taken: the loaded flag guards the plug-in
// and the event list hands over lock-free (plugin/EventList.h). Unload waits, on its own
// thread, until a render that is already running has left the plug-in, so the audio thread
// never meets a released library; the audio thread itself never waits.
//
// Faults. Every call into the plug-in runs under the call guard (base/FaultGuard.h). The
// first fault switches the plug-in off for good: it is never called again, not even to close
// it; its library stays in the process (releasing a broken module could run its code again)
// and so do its buffers (its own threads may still write to them); blocks render silence and
// events are no longer handed over. The call that faulted and the fault are kept for the
// user-interface thread, which polls Fault().

#include "plugin/EventList.h"
#include "base/FaultGuard.h"
#include "plugin/PluginLibrary.h"
#include "plugin/Transport.h"
#include "plugin/VstInterface.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

// What switched a plug-in off.
struct PluginFault {
    const char* call = nullptr;  // "processReplacing", "effEditOpen", "the entry point", ...
    FaultRecord record;
};

class CVstPlugin {
public:
    // Frames each plug-in buffer holds; longer blocks are rendered in pieces of this size.
    static constexpr std::int32_t kBufferFrames = 24000;
    // Slots of the input and output buffer tables; a plug-in declaring more is refused.
    static constexpr std::int32_t kMaxChannels = 32;
    // Inputs fed from the audio stream; further declared inputs read silence.
    static constexpr std::int32_t kMaxStreamInputs = 2;
    // Outputs that reach the audio stream; further outputs are rendered and not used.
    static constexpr std::int32_t kStreamOutputs = 2;

    CVstPlugin();
    virtual ~CVstPlugin();
    CVstPlugin(const CVstPlugin&) = delete;
    CVstPlugin& operator=(const CVstPlugin&) = delete;

    // Loads the library at `path` and creates its effect; true when a valid plug-in is loaded.
    // Whatever was loaded before is unloaded first.
    bool Load(const char* path);
    // Closes the editor if it is open, switches the plug-in off, closes the effect and
    // releases the library. Nothing happens when nothing is loaded. A render still inside the
    // plug-in after kRenderLeaveLimit is taken as stuck: the plug-in is then not called and
    // not released, as after a fault.
    void Unload();
    static constexpr std::chrono::milliseconds kRenderLeaveLimit{2000};
    bool IsLoaded() const { return m_loaded.load() != 0; }

    // True from the moment a call into the plug-in faulted until the next Load (any thread).
    bool Faulted() const { return m_faultState.load(std::memory_order_acquire) != kNoFault; }
    // The fault once it is written in full, else null. Stays readable after Unload.
    const PluginFault* Fault() const
    {
        return m_faultState.load(std::memory_order_acquire) == kFaultPublished ? &m_fault
                                                                                : nullptr;
    }

    // A fault inside effEditOpen gives up the editor alone: the instrument plays on, and its
    // editor is never called again (not even to close it). Null while the editor is fine.
    // User-interface thread.
    const PluginFault* EditorFault() const { return m_editorFaulted ? &m_editorFault : nullptr; }

    // Dispatcher calls. Each answers the plug-in's result, or 0 when nothing is loaded.
    VstIntPtr Open();
    VstIntPtr SetSampleRate(float rate);
    VstIntPtr SetBlockSize(std::int32_t frames);
    VstIntPtr MainsChanged(std::int32_t on);
    VstIntPtr EditOpen(void* window);  // the native handle of the host window
    VstIntPtr EditGetRect(ERect** rect);
    // Closes an open editor while the instrument plays on. A fault inside gives up the editor
    // alone, as in effEditOpen.
    void EditClose();
    VstIntPtr EditIdle();
    VstIntPtr SetProgram(std::int32_t program);
    // `name` must hold kVstProgramNameBytes; it is always terminated, even when the plug-in
    // writes nothing or forgets the terminator.
    VstIntPtr GetProgramName(char* name);
    VstIntPtr GetProgramNameIndexed(char* name, std::int32_t category, std::int32_t index);
    // The rate and block size the stream runs at. Many plug-ins take a new rate only when
    // they are switched on again, so a switched-on plug-in is switched off around the change
    // (effMainsChanged 0, effSetSampleRate, effSetBlockSize, effMainsChanged 1), with no
    // block rendered in between. Nothing is called when the plug-in runs at that rate already
    // and was told a block size at least as large.
    void SetStreamFormat(double rate, std::int32_t blockFrames);
    // Stores the tempo reported to the plug-in through the time information. Answers 0.
    std::int32_t SetTempo(float beatsPerMinute);
    // The transport starts again from position 0 with the next block (the stream starts).
    void RestartTransport() { m_transport.Restart(); }

    // The instrument's state (user-interface thread, inside a RenderPause when audio runs).
    VstIntPtr GetProgram();
    VstIntPtr SetProgramName(const char* name);
    // The plug-in's chunk of its bank (`program` false) or of its current program: `data`
    // points into the plug-in's memory until its next call. Answers the size; 0 (and `data`
    // null) without a chunk.
    std::int32_t GetChunk(void** data, bool program);
    VstIntPtr SetChunk(const void* data, std::int32_t size, bool program);
    // Texts of a parameter and of the instrument (empty when the plug-in gives none), always
    // terminated whatever the plug-in writes.
    std::string GetParamName(std::int32_t index) { return GetText(effGetParamName, index); }
    std::string GetParamDisplay(std::int32_t index) { return GetText(effGetParamDisplay, index); }
    std::string GetParamLabel(std::int32_t index) { return GetText(effGetParamLabel, index); }
    std::string GetEffectName() { return GetText(effGetEffectName, 0); }
    std::string GetProductString() { return GetText(effGetProductString, 0); }
    // How many times the plug-in reported a parameter it changed itself (audioMasterAutomate),
    // from any thread; the user-interface thread compares it to refresh what shows values.
    std::uint32_t Automations() const { return m_automations.load(std::memory_order_relaxed); }

    // Parameters outside [0, NumParams) read 0 and are not set.
    float GetParameter(std::int32_t index);
    void SetParameter(std::int32_t index, float value);

    // While a pause lives, blocks render silence without entering the plug-in; making one
    // waits, on its own thread, until a render already inside has left. The audio thread
    // never waits for it.
    class RenderPause {
    public:
        explicit RenderPause(CVstPlugin& plugin);
        ~RenderPause();
        RenderPause(const RenderPause&) = delete;
        RenderPause& operator=(const RenderPause&) = delete;

    private:
        CVstPlugin& m_plugin;
    };

    // Event list (MIDI input thread). Dropped while nothing is loaded or the list is full.
    // AddMidiEvent answers the number of events queued for the next block.
    std::uint32_t AddMidiEvent(std::uint8_t status, std::uint8_t data1, std::uint8_t data2,
                               float rate, std::uint32_t timestamp);
    void AddSysExEvent(const void* data, std::int32_t length, float rate,
                       std::uint32_t timestamp);
    // Drops the events not yet handed to the plug-in; only while no block renders (the
    // stream is closed, as when the devices are brought up again).
    void DiscardEvents() { m_events.Discard(); }
    // Any thread: the next block the plug-in gets starts with all sound and all notes off on
    // every channel (plugin/EventList.h).
    void RequestAllNotesOff() { m_events.RequestAllNotesOff(); }
    // User-interface thread: a short event of the host's own (the computer keyboard) for the
    // start of the next block (plugin/EventList.h). False when it was dropped.
    bool AddHostEvent(std::uint8_t status, std::uint8_t data1, std::uint8_t data2)
    {
        return m_loaded.load() != 0 && !Faulted() && m_events.AddHostEvent(status, data1, data2);
    }
    // Hands the queued events to a synth plug-in for a block of `frames` frames (effProcessEvents),
    // every deltaFrames clamped to that block; true when it did.
    bool SendEvents(std::int32_t frames);

    // Renders one block through the accumulating or the replacing entry: copies the stream's
    // inputs in, hands over the events, renders and copies the first two outputs back
    // (a single plug-in output feeds both channels). Channels the stream lacks (or null
    // arrays) are skipped. Answers the frames rendered, or 0 when nothing is loaded.
    std::int32_t Process(float** inputs, float** outputs, std::int32_t frames,
                         std::int32_t inputChannels = kMaxStreamInputs,
                         std::int32_t outputChannels = kStreamOutputs);
    std::int32_t ProcessReplacing(float** inputs, float** outputs, std::int32_t frames,
                                  std::int32_t inputChannels = kMaxStreamInputs,
                                  std::int32_t outputChannels = kStreamOutputs);

    // The stream's per-block callback (base/RenderCallback.h); `owner` is the CVstPlugin.
    // Renders through the plug-in's preferred entry with denormals flushed to zero
    // (base/DenormalGuard.h). Answers 0.
    static std::int32_t RenderCallback(float** inputs, float** outputs,
                                       std::int32_t inputChannels, std::int32_t outputChannels,
                                       std::int32_t frames, std::int32_t blockPosition,
                                       void* owner);

    // An editor asking for another size (audioMasterSizeWindow), on whatever thread it asks
    // from: the handler answers whether the host takes the size. Without one it is refused.
    // Set while no editor is open.
    using SizeRequestHandler = bool (*)(void* context, std::int32_t width, std::int32_t height);
    void SetSizeRequestHandler(SizeRequestHandler handler, void* context)
    {
        m_sizeContext = context;
        m_sizeHandler = handler;
    }

    // The host side of the plug-in contract: version 2, idle 1, the transport's last complete
    // time information once the effect carries its host object, automation counted, size
    // requests passed to the handler, canDo "sizeWindow" 1, 0 for everything else.
    static VstIntPtr VST_CALL HostCallback(AEffect* effect, std::int32_t opcode,
                                           std::int32_t index, VstIntPtr value, void* ptr,
                                           float opt);

    // Properties copied from the effect record at load (0 when nothing is loaded).
    std::int32_t NumPrograms() const { return m_numPrograms; }
    std::int32_t NumParams() const { return m_numParams; }
    std::int32_t NumInputs() const { return m_numInputs; }  // at most kMaxStreamInputs
    std::int32_t NumOutputs() const { return m_numOutputs; }
    std::int32_t UniqueID() const { return m_uniqueID; }
    std::int32_t Version() const { return m_version; }
    bool HasEditor() const { return m_hasEditor != 0; }
    bool HasClip() const { return m_hasClip != 0; }
    bool HasVu() const { return m_hasVu != 0; }
    bool CanMono() const { return m_canMono != 0; }
    bool CanReplacing() const { return m_canReplacing != 0; }
    bool ProgramChunks() const { return m_programChunks != 0; }
    bool IsSynth() const { return m_isSynth != 0; }

    AEffect* Effect() const { return m_effect; }
    const VstTimeInfo& TimeInfo() const { return *m_transport.Current(); }

private:
    // Counts a render in progress for as long as it lives (see Unload).
    class RenderScope;

    static constexpr std::int32_t kNoFault = 0;
    static constexpr std::int32_t kFaultBeingWritten = 1;
    static constexpr std::int32_t kFaultPublished = 2;

    // Runs `call` (a call into the plug-in named `name`) under the guard, unless the plug-in
    // is switched off already; false when it did not return.
    template <typename Call>
    bool CallPlugin(const char* name, Call& call);
    void SwitchOff(const char* name, const FaultRecord& record);
    bool CallEditor(AEffect* effect, std::int32_t opcode, void* ptr, VstIntPtr& result);
    std::string GetText(std::int32_t opcode, std::int32_t index);
    VstIntPtr DispatchTo(AEffect* effect, std::int32_t opcode, std::int32_t index = 0,
                         VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f);
    void AbandonBuffers();
    static bool IsUsable(const AEffect* effect);
    void CopyProperties(const AEffect& effect);
    void ClearProperties();
    void AllocateBuffers();
    void ReleaseBuffers();
    VstIntPtr Dispatch(std::int32_t opcode, std::int32_t index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);
    bool HandEventsOver(std::int32_t frames);
    std::int32_t Render(float** inputs, float** outputs, std::int32_t frames,
                        std::int32_t inputChannels, std::int32_t outputChannels, bool replacing);
    void RenderPiece(float** inputs, float** outputs, std::int32_t offset, std::int32_t frames,
                     std::int32_t inputChannels, std::int32_t outputChannels, bool replacing);
    bool RendersInPlace(float** inputs, float** outputs, std::int32_t inputChannels,
                        std::int32_t outputChannels) const;
    bool CallProcess(float** inputs, float** outputs, std::int32_t frames, bool replacing);

    std::int32_t m_numPrograms = 0;
    std::int32_t m_numParams = 0;
    std::int32_t m_numInputs = 0;
    std::int32_t m_numOutputs = 0;
    std::int32_t m_uniqueID = 0;
    std::int32_t m_version = 0;
    std::uint8_t m_hasEditor = 0;
    std::uint8_t m_hasClip = 0;
    std::uint8_t m_hasVu = 0;
    std::uint8_t m_canMono = 0;
    std::uint8_t m_canReplacing = 0;
    std::uint8_t m_programChunks = 0;
    std::uint8_t m_isSynth = 0;
    std::atomic<std::int32_t> m_loaded{0};
    VstPluginEntry m_entry = nullptr;
    PluginModule m_library = nullptr;
    AEffect* m_effect = nullptr;
    CVstEventList m_events;
    float* m_inputs[kMaxChannels] = {};
    float* m_outputs[kMaxChannels] = {};
    CTransport m_transport;
    // What the plug-in was last told (0: nothing since it was loaded).
    float m_toldRate = 0.0f;
    std::int32_t m_toldBlockFrames = 0;

    std::int32_t m_declaredInputs = 0;  // the effect's own numInputs, for the silent slots
    std::vector<float> m_bufferStore;   // every plug-in buffer, kBufferFrames floats each
    float* m_silence = nullptr;         // read by the declared inputs beyond the stream's
    std::atomic<std::int32_t> m_renders{0};
    std::atomic<std::int32_t> m_pauses{0};
    std::atomic<std::uint32_t> m_automations{0};
    SizeRequestHandler m_sizeHandler = nullptr;
    void* m_sizeContext = nullptr;
    bool m_editorOpen = false;
    bool m_editorFaulted = false;
    bool m_stuck = false;  // a render never left the plug-in: it is kept as it is
    PluginFault m_editorFault;
    bool m_mainsOn = false;
    // kNoFault, then kFaultBeingWritten by the one thread whose call faulted first, then
    // kFaultPublished once m_fault is complete.
    std::atomic<std::int32_t> m_faultState{kNoFault};
    PluginFault m_fault;
};
