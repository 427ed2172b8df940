#pragma once
// The demo instrument's sound engine: 16 voices with stealing, MIDI note, pitch-bend, sustain
// and modulation handling, and sample-accurate rendering of timed events. Allocates nothing
// after construction. Portable: no operating-system headers. It plays one patch, which its
// owner may change between blocks; MIDI program changes are left to the owner, which keeps
// the programs.

#include "Patch.h"
#include "Voice.h"

#include <cstdint>

namespace demo {

struct TimedMidi {
    int deltaFrames;          // frames into the block
    unsigned char bytes[3];   // status, data 1, data 2
};

// Events of one block in time order, fixed capacity; a full queue drops further events.
class EventQueue {
public:
    static constexpr int kCapacity = 512;
    // Inserts behind every event at the same or an earlier time, so equal times keep their order.
    bool add(int deltaFrames, const unsigned char* bytes);
    void clear() { count = 0; }
    int size() const { return count; }
    const TimedMidi* data() const { return events; }

private:
    TimedMidi events[kCapacity];
    int count = 0;
};

class Synth {
public:
    static constexpr int kVoices = 16;

    void setSampleRate(float rate);
    // The patch for the next notes. Level, filter and detune reach sounding notes at once; the
    // envelope shapes notes from their start.
    void setPatch(const Patch& patch) { sound = patch; }
    void setProgram(int program);  // a factory patch

    // Applies one MIDI message now. Every channel is heard.
    void handle(const unsigned char* bytes);

    // Replaces `frames` samples of both outputs, applying each event at its frame; times beyond
    // the block (or negative) are moved to its last (or first) frame.
    void render(float* left, float* right, int frames, const TimedMidi* events, int eventCount);

    void allNotesOff();
    void allSoundOff();
    int activeVoices() const;

private:
    void noteOn(int note, int velocity);
    void noteOff(int note);
    void setSustain(bool down);
    Voice& voiceFor(int note);
    void renderSpan(float* mix, int frames);

    Voice voices[kVoices];
    float sampleRate = 44100.0f;
    Patch sound = kPatches[0];
    unsigned startCounter = 0;
    float bendRatio = 1.0f;
    float modOctaves = 0.0f;
    bool sustainDown = false;
};

// Limits the sum of the voices smoothly below full scale: unchanged up to the knee, then
// bending toward 1.0, which it never reaches.
float softLimit(float x);

}  // namespace demo
