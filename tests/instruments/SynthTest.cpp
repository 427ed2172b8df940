#include "Envelope.h"
#include "Synth.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

using demo::Synth;
using demo::TimedMidi;

TimedMidi noteOn(int delta, int note, int velocity = 100) { return {delta, {0x90, (unsigned char)note, (unsigned char)velocity}}; }
TimedMidi noteOff(int delta, int note) { return {delta, {0x80, (unsigned char)note, 0}}; }
TimedMidi control(int delta, int number, int value) { return {delta, {0xB0, (unsigned char)number, (unsigned char)value}}; }

struct Output {
    std::vector<float> left, right;
};

// Renders `frames` in blocks of `block`, the events given for the first block only.
Output render(Synth& synth, int frames, std::vector<TimedMidi> events = {}, int block = 256)
{
    Output out{std::vector<float>(static_cast<size_t>(frames)), std::vector<float>(static_cast<size_t>(frames))};
    for (int done = 0; done < frames; done += block) {
        const int n = std::min(block, frames - done);
        synth.render(out.left.data() + done, out.right.data() + done, n, events.data(), static_cast<int>(events.size()));
        events.clear();
    }
    return out;
}

// The fundamental in Hz, from the autocorrelation peak between 30 Hz and 2 kHz.
double fundamental(const std::vector<float>& x, double rate)
{
    const int minLag = static_cast<int>(rate / 2000), maxLag = static_cast<int>(rate / 30);
    const int n = static_cast<int>(x.size()) - maxLag - 1;
    std::vector<double> r(static_cast<size_t>(maxLag + 2));
    for (int lag = minLag - 1; lag <= maxLag + 1; ++lag) {
        double sum = 0;
        for (int i = 0; i < n; ++i)
            sum += double(x[static_cast<size_t>(i)]) * x[static_cast<size_t>(i + lag)];
        r[static_cast<size_t>(lag)] = sum;
    }
    // The first lag whose correlation comes within 10 % of the best is the period (not a multiple).
    double best = 0;
    for (int lag = minLag; lag <= maxLag; ++lag)
        best = std::max(best, r[static_cast<size_t>(lag)]);
    for (int lag = minLag; lag <= maxLag; ++lag) {
        const double a = r[static_cast<size_t>(lag - 1)], b = r[static_cast<size_t>(lag)], c = r[static_cast<size_t>(lag + 1)];
        if (b >= 0.9 * best && b >= a && b >= c) {
            const double shift = 0.5 * (a - c) / (a - 2 * b + c);
            return rate / (lag + shift);
        }
    }
    return 0;
}

float peak(const std::vector<float>& x, size_t from = 0, size_t to = SIZE_MAX)
{
    float p = 0;
    for (size_t i = from; i < std::min(to, x.size()); ++i)
        p = std::max(p, std::fabs(x[i]));
    return p;
}

}  // namespace

TEST(DemoSynth, NotesSoundAtTheirPitchAtEveryRate)
{
    for (float rate : {44100.0f, 48000.0f, 96000.0f}) {
        for (int note : {45, 60, 69, 81}) {
            auto synth = std::make_unique<Synth>();
            synth->setSampleRate(rate);
            synth->setProgram(3);
            const auto out = render(*synth, static_cast<int>(rate / 2), {noteOn(0, note)});
            const std::vector<float> steady(out.left.begin() + static_cast<long>(rate / 10), out.left.end());
            const double expected = 440.0 * std::pow(2.0, (note - 69) / 12.0);
            EXPECT_NEAR(fundamental(steady, rate), expected, expected * 0.003) << "note " << note << " at " << rate;
        }
    }
}

TEST(DemoSynth, SilentBeforeTheFirstNoteAndAfterTheRelease)
{
    Synth synth;
    synth.setSampleRate(48000);
    const auto before = render(synth, 4800);
    EXPECT_EQ(peak(before.left), 0.0f);

    const auto note = render(synth, 24000, {noteOn(0, 60), noteOff(12000, 60)}, 24000);
    EXPECT_GT(peak(note.left, 0, 12000), 0.05f);
    const auto after = render(synth, 96000);  // every program releases within two seconds
    EXPECT_EQ(peak(after.left, 48000), 0.0f);
    EXPECT_EQ(synth.activeVoices(), 0);
}

TEST(DemoSynth, NotesStartAtTheirFrameAndLateOnesAtTheBlocksEnd)
{
    Synth synth;
    synth.setSampleRate(44100);
    std::vector<float> left(512), right(512);
    const TimedMidi events[] = {noteOn(300, 64)};
    synth.render(left.data(), right.data(), 512, events, 1);
    EXPECT_EQ(peak(left, 0, 300), 0.0f) << "nothing before the note's frame";
    EXPECT_GT(peak(left, 300, 512), 0.0f);
    EXPECT_EQ(left, right);

    Synth late;
    late.setSampleRate(44100);
    const TimedMidi beyond[] = {noteOn(5000, 64, 127)};
    late.render(left.data(), right.data(), 512, beyond, 1);
    EXPECT_EQ(peak(left, 0, 511), 0.0f);
    EXPECT_EQ(late.activeVoices(), 1) << "an event past the block still plays, at its last frame";
}

TEST(DemoSynth, SixteenVoicesAtFullVelocityStayBelowFullScale)
{
    for (int program = 0; program < demo::kPatchCount; ++program) {
        Synth synth;
        synth.setSampleRate(44100);
        synth.setProgram(program);
        std::vector<TimedMidi> chord;
        for (int i = 0; i < 20; ++i)
            chord.push_back(noteOn(i, 36 + 3 * i, 127));
        chord.push_back(control(30, 1, 127));
        chord.push_back({40, {0xE0, 0x7F, 0x7F}});
        const auto attack = render(synth, 1024, chord);
        EXPECT_EQ(synth.activeVoices(), Synth::kVoices);
        EXPECT_LT(peak(attack.left), 1.0f) << demo::kPatches[program].name;
        const auto out = render(synth, 44100);
        EXPECT_LT(peak(out.left), 1.0f) << demo::kPatches[program].name;
        EXPECT_GT(peak(out.left), 0.1f) << demo::kPatches[program].name;
    }
}

TEST(DemoSynth, TheSustainPedalHoldsReleasedNotesUntilItIsLifted)
{
    Synth synth;
    synth.setSampleRate(44100);
    render(synth, 4410, {control(0, 64, 127), noteOn(1, 60), noteOff(2000, 60)});
    render(synth, 44100 * 3);
    EXPECT_EQ(synth.activeVoices(), 1) << "still held by the pedal";
    render(synth, 44100 * 3, {control(0, 64, 0)});
    EXPECT_EQ(synth.activeVoices(), 0);
}

TEST(DemoSynth, AStolenVoiceIsTheOldestHeldNote)
{
    Synth synth;
    synth.setSampleRate(44100);
    std::vector<TimedMidi> notes;
    for (int i = 0; i < Synth::kVoices; ++i)
        notes.push_back(noteOn(i, 40 + i));
    notes.push_back(noteOn(100, 80));
    render(synth, 512, notes);
    EXPECT_EQ(synth.activeVoices(), Synth::kVoices);
    // Releasing the first note changes nothing: its voice now plays note 80.
    render(synth, 44100 * 2, {noteOff(0, 40)});
    EXPECT_EQ(synth.activeVoices(), Synth::kVoices);
    render(synth, 44100 * 3, {noteOff(0, 80)});
    EXPECT_EQ(synth.activeVoices(), Synth::kVoices - 1);
}

TEST(DemoSynth, EventsOfABlockPlayInTimeOrder)
{
    demo::EventQueue queue;
    const unsigned char a[3] = {0x90, 1, 1}, b[3] = {0x90, 2, 1}, c[3] = {0x90, 3, 1};
    queue.add(50, a);
    queue.add(10, b);
    queue.add(50, c);
    queue.add(10, a);
    ASSERT_EQ(queue.size(), 4);
    const int expected[][2] = {{10, 2}, {10, 1}, {50, 1}, {50, 3}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(queue.data()[i].deltaFrames, expected[i][0]);
        EXPECT_EQ(queue.data()[i].bytes[1], expected[i][1]);
    }
    for (int i = 4; i < demo::EventQueue::kCapacity; ++i)
        ASSERT_TRUE(queue.add(i, a));
    EXPECT_FALSE(queue.add(0, a)) << "a full queue refuses, it never grows";
}

TEST(DemoSynthEnvelope, RetriggerAndReleaseContinueFromTheCurrentLevel)
{
    demo::Envelope env;
    env.configure(1000, 0.01f, 0.1f, 0.5f, 0.1f);
    env.noteOn();
    float last = 0;
    for (int i = 0; i < 300; ++i) {
        const float level = env.next();
        ASSERT_LE(std::fabs(level - last), 0.1f + 1e-6f) << "sample " << i;
        last = level;
    }
    env.noteOff();
    EXPECT_LT(std::fabs(env.next() - last), 0.1f);
    for (int i = 0; i < 30; ++i)
        last = env.next();
    ASSERT_GT(last, 0.0f);
    env.noteOn();
    EXPECT_GE(env.next(), last) << "a retrigger ramps up from where the release was";
    EXPECT_EQ(demo::softLimit(0.5f), 0.5f);
    EXPECT_LT(demo::softLimit(100.0f), 1.0f);
    EXPECT_GT(demo::softLimit(-100.0f), -1.0f);
    EXPECT_EQ(demo::softLimit(std::nanf("")), 0.0f);
}
