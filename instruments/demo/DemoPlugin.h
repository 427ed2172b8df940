#pragma once
// The demo instrument as a VST 2 plug-in: the effect record, the dispatcher and the render
// entries around the sound engine, plus the state its editor shows.
//
// Threads: the host calls the dispatcher from its user-interface thread and the render entries
// and effProcessEvents from its audio thread (some hosts also send effEditIdle from there, and
// setParameter from either). The engine is touched only on the audio thread; the current
// program and parameter values reach it through the program bank's atomics, read at the start
// of each block, and the editor's keyboard through a lock-free ring.
//
// State: the effect declares program chunks, so a host saves and restores the bank or the
// current program through effGetChunk/effSetChunk (layout in ProgramBank.h).

#include "NoteRing.h"
#include "ProgramBank.h"
#include "Synth.h"
#include "VstAbi.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace demo {

class Editor;

class DemoPlugin {
public:
    explicit DemoPlugin(vst::HostCallback host);
    ~DemoPlugin();
    DemoPlugin(const DemoPlugin&) = delete;
    DemoPlugin& operator=(const DemoPlugin&) = delete;

    vst::Effect* effect() { return &record; }

    // For the editor (user-interface thread).
    int program() const { return programs.current(); }
    const char* programName() const { return programs.name(programs.current()); }
    float parameter(int index) const { return programs.value(index); }
    bool isNoteHeld(int note) const;
    unsigned changes() const { return changeCount.load(std::memory_order_acquire); }
    void playFromEditor(unsigned char status, int note, int velocity);
    // A parameter moved by the user: set, and told to the host as automation. A drag is
    // bracketed by begin and end so that the host can record it as one gesture.
    void beginEdit(int index);
    void editFromEditor(int index, float value);
    void endEdit(int index);

private:
    static DemoPlugin* from(vst::Effect* effect) { return static_cast<DemoPlugin*>(effect->object); }
    static std::intptr_t VST_CALL dispatchEntry(vst::Effect*, std::int32_t, std::int32_t, std::intptr_t, void*, float);
    static void VST_CALL processReplacingEntry(vst::Effect*, float**, float**, std::int32_t);
    static void VST_CALL processEntry(vst::Effect*, float**, float**, std::int32_t);
    static void VST_CALL setParameterEntry(vst::Effect*, std::int32_t, float);
    static float VST_CALL getParameterEntry(vst::Effect*, std::int32_t);

    std::intptr_t dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr, float opt);
    std::intptr_t parameterText(std::int32_t opcode, std::int32_t index, void* ptr) const;
    std::intptr_t getChunk(std::int32_t index, void* ptr);
    std::intptr_t setChunk(std::int32_t index, std::intptr_t size, const void* ptr);
    void setParameter(std::int32_t index, float value);
    void changed() { changeCount.fetch_add(1, std::memory_order_release); }
    void queueEvents(const vst::Events* events);
    void render(float* left, float* right, int frames);
    void followEvent(const unsigned char* bytes);

    vst::Effect record{};
    vst::HostCallback host;
    Synth synth;
    ProgramBank programs;
    unsigned char chunk[ProgramBank::kBankChunkBytes] = {};  // the last effGetChunk's answer
    EventQueue pending;                 // audio thread: events of the next block
    NoteRing editorNotes;               // editor → audio thread
    std::atomic<std::uint32_t> heldNotes[4] = {};
    std::atomic<unsigned> changeCount{0};
    std::unique_ptr<Editor> editor;
    vst::Rect editorRect{};
};

}  // namespace demo
