#include "Synth.h"

#include <cmath>
#include <cstring>

namespace demo {

namespace {

constexpr float kKnee = 0.6f;
constexpr float kBendSemitones = 2.0f;
constexpr float kModWheelOctaves = 2.0f;

enum : unsigned char {
    kNoteOff = 0x80,
    kNoteOn = 0x90,
    kControlChange = 0xB0,
    kPitchBend = 0xE0,
};
enum : unsigned char {
    kModWheel = 1,
    kSustainPedal = 64,
    kAllSoundOff = 120,
    kAllNotesOff = 123,
};

}  // namespace

float softLimit(float x)
{
    const float magnitude = std::fabs(x);
    if (!(magnitude > kKnee))
        return x == x ? x : 0.0f;
    const float bent = kKnee + (1.0f - kKnee) * std::tanh((magnitude - kKnee) / (1.0f - kKnee));
    return std::fmin(bent, 0.9999f) * (x < 0.0f ? -1.0f : 1.0f);
}

bool EventQueue::add(int deltaFrames, const unsigned char* bytes)
{
    if (count == kCapacity)
        return false;
    int at = count;
    while (at > 0 && events[at - 1].deltaFrames > deltaFrames) {
        events[at] = events[at - 1];
        --at;
    }
    events[at].deltaFrames = deltaFrames;
    std::memcpy(events[at].bytes, bytes, sizeof events[at].bytes);
    ++count;
    return true;
}

void Synth::setSampleRate(float rate)
{
    if (rate > 0.0f && rate != sampleRate) {
        sampleRate = rate;
        allSoundOff();
    }
}

void Synth::setProgram(int program)
{
    if (program >= 0 && program < kPatchCount)
        sound = kPatches[program];
}

void Synth::handle(const unsigned char* bytes)
{
    const unsigned char kind = bytes[0] & 0xF0;
    const int data1 = bytes[1] & 0x7F;
    const int data2 = bytes[2] & 0x7F;
    switch (kind) {
    case kNoteOn:
        if (data2 > 0) {
            noteOn(data1, data2);
            break;
        }
        noteOff(data1);  // a note-on with velocity 0 ends the note
        break;
    case kNoteOff:
        noteOff(data1);
        break;
    case kPitchBend: {
        const int value = (data2 << 7 | data1) - 8192;
        bendRatio = std::exp2(kBendSemitones * static_cast<float>(value) / 8192.0f / 12.0f);
        break;
    }
    case kControlChange:
        if (data1 == kModWheel)
            modOctaves = kModWheelOctaves * static_cast<float>(data2) / 127.0f;
        else if (data1 == kSustainPedal)
            setSustain(data2 >= 64);
        else if (data1 == kAllNotesOff)
            allNotesOff();
        else if (data1 == kAllSoundOff)
            allSoundOff();
        break;
    default:
        break;
    }
}

Voice& Synth::voiceFor(int note)
{
    // The same note again takes its own voice; then a silent one; then the quietest released
    // voice; and only then the oldest held note.
    Voice* idle = nullptr;
    Voice* quietestReleased = nullptr;
    Voice* oldest = nullptr;
    for (Voice& v : voices) {
        if (v.active() && v.note() == note)
            return v;
        if (!v.active()) {
            if (!idle)
                idle = &v;
        } else if (v.released() || v.sustained) {
            if (!quietestReleased || v.level() < quietestReleased->level())
                quietestReleased = &v;
        } else if (!oldest || v.startOrder() < oldest->startOrder()) {
            oldest = &v;
        }
    }
    if (idle)
        return *idle;
    return quietestReleased ? *quietestReleased : *oldest;
}

void Synth::noteOn(int note, int velocity)
{
    const VoiceContext context{sampleRate, &sound, bendRatio, modOctaves};
    voiceFor(note).start(note, velocity, context, ++startCounter);
}

void Synth::noteOff(int note)
{
    for (Voice& v : voices) {
        if (!v.active() || v.note() != note || v.released() || v.sustained)
            continue;
        if (sustainDown)
            v.sustained = true;
        else
            v.release();
    }
}

void Synth::setSustain(bool down)
{
    sustainDown = down;
    if (down)
        return;
    for (Voice& v : voices) {
        if (v.sustained) {
            v.sustained = false;
            v.release();
        }
    }
}

void Synth::allNotesOff()
{
    sustainDown = false;
    for (Voice& v : voices) {
        v.sustained = false;
        v.release();
    }
}

void Synth::allSoundOff()
{
    for (Voice& v : voices)
        v.silence();
}

int Synth::activeVoices() const
{
    int n = 0;
    for (const Voice& v : voices)
        n += v.active() ? 1 : 0;
    return n;
}

void Synth::renderSpan(float* mix, int frames)
{
    const VoiceContext context{sampleRate, &sound, bendRatio, modOctaves};
    for (Voice& v : voices)
        if (v.active())
            v.render(mix, frames, context);
}

void Synth::render(float* left, float* right, int frames, const TimedMidi* events, int eventCount)
{
    if (frames <= 0)
        return;
    std::memset(left, 0, sizeof(float) * static_cast<size_t>(frames));
    int done = 0;
    for (int e = 0; e < eventCount; ++e) {
        int at = events[e].deltaFrames;
        at = at < 0 ? 0 : (at >= frames ? frames - 1 : at);
        if (at > done) {
            renderSpan(left + done, at - done);
            done = at;
        }
        handle(events[e].bytes);
    }
    renderSpan(left + done, frames - done);
    for (int i = 0; i < frames; ++i) {
        left[i] = softLimit(left[i]);
        right[i] = left[i];
    }
}

}  // namespace demo
