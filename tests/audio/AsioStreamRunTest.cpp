// Whole runs through the simulated card: what the stream renders arrives in the card's
// recording sample for sample; destruction and repeated opening leave nothing behind.
#include "audio/AsioStream.h"
#include "audio/SampleConversion.h"

#include "ProcessUsage.h"
#include "SimDrivers.h"
#include "StreamProbe.h"
#include "WavFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr std::int32_t kFrames = 256;
constexpr DWORD kRate = 48000;
constexpr double kInputFrequency = 440.0;  // the card's own input signal, channel 0
constexpr double kInputAmplitude = 0.5;
constexpr double kFloatStep = 6e-8;  // float resolution just below 1: the float path's limit

struct RunSetup {
    CSimDrivers drivers;
    std::string stats = tempFilePath("sim-stats", ".txt");
    std::string wav = tempFilePath("sim-out", ".wav");
    RunSetup()
    {
        drivers.add("Card");
        set("StatsFile", stats);
        set("WavFile", wav);
        set("SampleRate", kRate);
        set("PreferredSize", static_cast<DWORD>(kFrames));
    }
    ~RunSetup()
    {
        DeleteFileA(stats.c_str());
        DeleteFileA(wav.c_str());
    }
    void set(const char* value, DWORD number) { drivers.setNumber("Card", value, number); }
    void set(const char* value, const std::string& text) { drivers.setText("Card", value, text); }
};

struct FormatParam {
    ASIOSampleType type;
    const char* name;
    int bits;
    int wavFormat;   // 1 PCM, 3 float
    double lsb;      // one step of the format
};

class AsioStreamEndToEnd : public testing::TestWithParam<FormatParam> {};

// 2 in / 2 out at 256 frames: output 0 is a 1 kHz sine from the render function, output 1 is
// the card's input 0 passed through. The card records its outputs in their own format.
TEST_P(AsioStreamEndToEnd, RecordingMatchesTheRenderedSignal)
{
    constexpr int kBlocks = 12;
    const FormatParam p = GetParam();
    RunSetup setup;
    setup.set("SampleType", static_cast<DWORD>(p.type));
    setup.set("WavFormat", 1);
    setup.set("Signal", 1);
    setup.set("SignalFrequency", std::to_string(kInputFrequency));
    setup.set("SignalAmplitude", std::to_string(kInputAmplitude));
    setup.set("BlockLimit", kBlocks);
    RenderProbe probe;
    probe.output = RenderProbe::Output::SineAndLoopback;
    probe.sampleRate = kRate;
    {
        CAsioStream stream(setup.drivers.root());
        ASSERT_EQ(stream.openStream(0, probeRender, &probe), 1);
        ASSERT_EQ(stream.currentSampleRate(), kRate);
        ASSERT_TRUE(stream.startStream());
        ASSERT_EQ(waitForStat(setup.stats, "answered", kBlocks)["answered"], kBlocks);
        ASSERT_TRUE(stream.stopStream());
        ASSERT_TRUE(stream.closeStream());
    }
    WavFile wav;
    ASSERT_TRUE(readWav(setup.wav, wav));
    ASSERT_EQ(wav.format, p.wavFormat);
    ASSERT_EQ(wav.channels, 2);
    ASSERT_EQ(wav.sampleRate, kRate);
    ASSERT_EQ(wav.bitsPerSample, p.bits);
    ASSERT_EQ(wav.frames(), std::size_t{kBlocks} * kFrames);

    const int width = sampleWidth(p.type);
    for (std::size_t frame = 0; frame < wav.frames(); ++frame) {
        // The first block is rendered at position -frames.
        const std::int64_t position = static_cast<std::int64_t>(frame) - kFrames;
        const float rendered = probeSine(probe, position);
        unsigned char expected[8] = {};
        convertFromFloat(&rendered, expected, p.type, 1);
        ASSERT_EQ(std::memcmp(wav.sample(frame, 0), expected, static_cast<std::size_t>(width)), 0)
            << "output 0, frame " << frame;

        float passed = 0.0f;
        convertToFloat(&passed, wav.sample(frame, 1), p.type, 1);
        const double input = kInputAmplitude
                             * std::sin(6.283185307179586 * kInputFrequency
                                        * static_cast<double>(frame) / kRate);
        ASSERT_NEAR(passed, input, 3 * p.lsb + kFloatStep) << "output 1, frame " << frame;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, AsioStreamEndToEnd,
    testing::Values(FormatParam{ASIOSTInt24LSB, "Int24", 24, 1, 1.0 / 8388608},
                    FormatParam{ASIOSTInt16LSB, "Int16", 16, 1, 1.0 / 32768},
                    FormatParam{ASIOSTInt32LSB, "Int32", 32, 1, 1.0 / 2147483648.0},
                    FormatParam{ASIOSTFloat32LSB, "Float32", 32, 3, 1e-7}),
    [](const testing::TestParamInfo<FormatParam>& info) { return std::string(info.param.name); });

// The card's float recording converts with its own code: the values agree within a step.
TEST(AsioStreamEndToEnd, FloatRecordingOfInt24Output)
{
    constexpr int kBlocks = 4;
    RunSetup setup;
    setup.set("SampleType", static_cast<DWORD>(ASIOSTInt24LSB));
    setup.set("WavFormat", 0);
    setup.set("BlockLimit", kBlocks);
    RenderProbe probe;
    probe.output = RenderProbe::Output::Sine;
    probe.sampleRate = kRate;
    {
        CAsioStream stream(setup.drivers.root());
        ASSERT_EQ(stream.openStream(0, probeRender, &probe), 1);
        ASSERT_TRUE(stream.startStream());
        waitForStat(setup.stats, "answered", kBlocks);
    }
    WavFile wav;
    ASSERT_TRUE(readWav(setup.wav, wav));
    ASSERT_EQ(wav.format, 3);
    ASSERT_EQ(wav.frames(), std::size_t{kBlocks} * kFrames);
    for (std::size_t frame = 0; frame < wav.frames(); ++frame) {
        float recorded;
        std::memcpy(&recorded, wav.sample(frame, 1), sizeof recorded);
        const double expected = probeSine(probe, static_cast<std::int64_t>(frame) - kFrames);
        ASSERT_NEAR(recorded, expected, 2.0 / 8388608) << frame;
    }
}

// Output channels the render function leaves alone play silence.
TEST(AsioStreamEndToEnd, OutputsBeyondTheFirstTwoAreSilent)
{
    constexpr int kBlocks = 3;
    RunSetup setup;
    setup.set("Outputs", 4);
    setup.set("SampleType", static_cast<DWORD>(ASIOSTInt16LSB));
    setup.set("WavFormat", 1);
    setup.set("BlockLimit", kBlocks);
    RenderProbe probe;
    probe.output = RenderProbe::Output::Sine;
    {
        CAsioStream stream(setup.drivers.root());
        ASSERT_EQ(stream.openStream(0, probeRender, &probe), 1);
        ASSERT_TRUE(stream.startStream());
        waitForStat(setup.stats, "answered", kBlocks);
    }
    WavFile wav;
    ASSERT_TRUE(readWav(setup.wav, wav));
    ASSERT_EQ(wav.channels, 4);
    bool sound = false;
    for (std::size_t frame = 0; frame < wav.frames(); ++frame) {
        sound = sound || wav.sample(frame, 0)[0] || wav.sample(frame, 0)[1];
        for (int c = 2; c < 4; ++c)
            ASSERT_EQ(wav.sample(frame, c)[0] | wav.sample(frame, c)[1], 0) << c << " " << frame;
    }
    EXPECT_TRUE(sound);
}

class AsioStreamDestruction : public testing::TestWithParam<bool> {};

// The card goes on switching after stop and even after its buffers are disposed, until it
// is released: destruction, which closes while it still switches, must neither crash nor
// let a callback into the freed stream.
TEST_P(AsioStreamDestruction, WhileTheDriverStillCallsBack)
{
    RunSetup setup;
    setup.set("DirectProcess", GetParam());
    setup.set("TimeInfo", 0);  // plain bufferSwitch: also calls back into the driver
    setup.set("Rogue", 2);
    RenderProbe probe;
    auto stream = std::make_unique<CAsioStream>(setup.drivers.root());
    ASSERT_EQ(stream->openStream(0, probeRender, &probe), 1);
    ASSERT_TRUE(stream->startStream());
    ASSERT_TRUE(waitForCalls(probe, 5));
    ASSERT_TRUE(stream->stopStream());
    ASSERT_GE(waitForStat(setup.stats, "rogueSwitches", 2)["rogueSwitches"], 2);
    stream->closeStream();  // the card is still switching until the close releases it
    EXPECT_EQ(stream->driverLoader().calls().current(), nullptr);
    stream.reset();
    const auto stats = readStats(setup.stats);
    EXPECT_EQ(stats.at("touchedOutsideRun"), 0);
    EXPECT_EQ(stats.at("answered"), probe.calls.load());
}

TEST_P(AsioStreamDestruction, WhileRunningStopsAndReleasesTheDriver)
{
    RunSetup setup;
    setup.set("DirectProcess", GetParam());
    RenderProbe probe;
    {
        CAsioStream stream(setup.drivers.root());
        ASSERT_EQ(stream.openStream(0, probeRender, &probe), 1);
        ASSERT_TRUE(stream.startStream());
        ASSERT_TRUE(waitForCalls(probe, 3));
    }
    const int rendered = probe.calls.load();
    Sleep(30);
    EXPECT_EQ(probe.calls.load(), rendered);
    EXPECT_EQ(readStats(setup.stats).at("stops"), 1);
}

INSTANTIATE_TEST_SUITE_P(Modes, AsioStreamDestruction, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Direct" : "Deferred");
                         });

// Open, run, stop and close again and again: no handle and no heap memory is left behind.
TEST(AsioStreamCycles, RepeatedOpenAndCloseLeavesNothingBehind)
{
    constexpr int kWarmUp = 3;
    constexpr int kCycles = 25;
    constexpr std::size_t kHeapSlack = 16 * 1024;
    RunSetup setup;
    setup.set("BlockLimit", 2);
    setup.set("DirectProcess", 0);
    RenderProbe probe;
    CAsioStream stream(setup.drivers.root());
    std::uintptr_t handleBefore = 0;
    std::size_t heapBefore = 0;
    for (int cycle = 0; cycle < kWarmUp + kCycles; ++cycle) {
        if (cycle == kWarmUp) {
            handleBefore = nextHandleValue();
            heapBefore = heapBytesInUse();
        }
        const int start = probe.calls.load();
        ASSERT_EQ(stream.openStream(0, probeRender, &probe), 1) << cycle;
        ASSERT_TRUE(stream.startStream());
        ASSERT_TRUE(waitForCalls(probe, start + 2));
        ASSERT_TRUE(stream.stopStream());
        ASSERT_TRUE(stream.closeStream());
    }
    EXPECT_EQ(nextHandleValue(), handleBefore);
    EXPECT_LE(heapBytesInUse(), heapBefore + kHeapSlack);
}

}  // namespace
