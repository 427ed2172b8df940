#pragma once
// The demo instrument as a VST 2 plug-in: the effect record, the dispatcher and the render
// entries around the sound engine, plus the state its editor shows.
//
// Threads: the host calls the dispatcher from its user-interface thread and the render entries
// and effProcessEvents from its audio thread (some hosts also send effEditIdle from there).
// The engine is touched only on the audio thread; program choices and the editor's keyboard
// reach it through an atomic and a lock-free ring, applied at the start of each block.

#include "NoteRing.h"
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
    int program() const { return requestedProgram.load(std::memory_order_relaxed); }
    bool isNoteHeld(int note) const;
    unsigned changes() const { return changeCount.load(std::memory_order_acquire); }
    void playFromEditor(unsigned char status, int note, int velocity);

private:
    static DemoPlugin* from(vst::Effect* effect) { return static_cast<DemoPlugin*>(effect->object); }
    static std::intptr_t VST_CALL dispatchEntry(vst::Effect*, std::int32_t, std::int32_t, std::intptr_t, void*, float);
    static void VST_CALL processReplacingEntry(vst::Effect*, float**, float**, std::int32_t);
    static void VST_CALL processEntry(vst::Effect*, float**, float**, std::int32_t);
    static void VST_CALL setParameterEntry(vst::Effect*, std::int32_t, float) {}
    static float VST_CALL getParameterEntry(vst::Effect*, std::int32_t) { return 0.0f; }

    std::intptr_t dispatch(std::int32_t opcode, std::int32_t index, std::intptr_t value, void* ptr, float opt);
    void queueEvents(const vst::Events* events);
    void render(float* left, float* right, int frames);
    void noteHeldChanged(const unsigned char* bytes);

    vst::Effect record{};
    vst::HostCallback host;
    Synth synth;
    EventQueue pending;                 // audio thread: events of the next block
    NoteRing editorNotes;               // editor → audio thread
    std::atomic<int> requestedProgram{0};
    std::atomic<std::uint32_t> heldNotes[4] = {};
    std::atomic<unsigned> changeCount{0};
    std::unique_ptr<Editor> editor;
    vst::Rect editorRect{};
};

}  // namespace demo
