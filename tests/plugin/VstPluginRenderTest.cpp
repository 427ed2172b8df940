// The render callback: the plug-in's entries, the buffers, the output stage.
//
// The default probe copies input j to output j (plus 0.125 per held note), so the stream's
// inputs choose what the plug-in "renders".

#include "ProbeSupport.h"

#include "base/DenormalGuard.h"
#include "plugin/VstPlugin.h"

#include <gtest/gtest.h>

#include <atomic>
#include <limits>
#include <thread>
#include <vector>

namespace {

constexpr int kFrames = 64;
constexpr float kSentinel = 0.25f;

struct StageCase {
    float rendered;
    float delivered;
};

}  // namespace

TEST(VstPluginRender, OutputStageScalesAndLimitsWhatThePluginRenders)
{
    const std::vector<StageCase> cases = {
        {1.2f, 1.0f},  {1.1f, 0.99f},  {-1.5f, -1.0f},
        {0.5f, 0.45f}, {std::numeric_limits<float>::quiet_NaN(), 0.0f},
        {std::numeric_limits<float>::infinity(), 0.0f},
        {-std::numeric_limits<float>::infinity(), 0.0f},
    };
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("default").c_str()));
    for (const auto& c : cases) {
        StreamBlock block(2, 2, kFrames, c.rendered);
        block.Render(&plugin);
        for (int channel = 0; channel < 2; ++channel) {
            EXPECT_EQ(block.Out(channel)[0], c.delivered) << c.rendered;
            EXPECT_EQ(block.Out(channel)[kFrames - 1], c.delivered) << c.rendered;
        }
    }
}

TEST(VstPluginRender, ReplacingEntryWhenThePluginCanReplace)
{
    ProbeLog log;
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("default").c_str()));
    StreamBlock block(2, 2, 100, 0.5f);
    block.Render(&plugin);
    const auto process = log.Records("process");
    ASSERT_EQ(process.size(), 1u);
    EXPECT_EQ(process[0].at("kind"), "replacing");
    EXPECT_EQ(process[0].number("frames"), 100);  // the driver's block, whatever its length
}

TEST(VstPluginRender, AccumulatingEntryStartsEveryBlockFromSilence)
{
    ProbeLog log;
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("no_replacing").c_str()));
    for (int round = 0; round < 3; ++round) {
        StreamBlock block(2, 2, kFrames, 0.5f);
        block.Render(&plugin);
        EXPECT_EQ(block.Out(0)[0], 0.45f) << "block " << round;
        EXPECT_EQ(block.Out(1)[kFrames - 1], 0.45f) << "block " << round;
    }
    const auto process = log.Records("process");
    ASSERT_EQ(process.size(), 3u);
    EXPECT_EQ(process[0].at("kind"), "accumulating");
}

TEST(VstPluginRender, OnlyTheFirstTwoOutputsReachTheStream)
{
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("outputs4").c_str()));
    StreamBlock block(2, 4, kFrames, 0.5f, kSentinel);
    block.In(1).assign(kFrames, -0.5f);
    block.Render(&plugin);
    EXPECT_EQ(block.Out(0)[0], 0.45f);
    EXPECT_EQ(block.Out(1)[0], -0.45f);
    EXPECT_EQ(block.Out(2)[0], kSentinel);  // left as the stream gave it
    EXPECT_EQ(block.Out(3)[kFrames - 1], kSentinel);
}

TEST(VstPluginRender, MonoPluginFeedsBothChannels)
{
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("outputs1").c_str()));
    StreamBlock block(2, 2, kFrames, 0.5f, kSentinel);
    block.Render(&plugin);
    EXPECT_EQ(block.Out(0)[0], 0.45f);
    EXPECT_EQ(block.Out(1)[0], 0.45f);
}

TEST(VstPluginRender, DeclaredInputsBeyondTwoReadSilence)
{
    ProbeLog log;
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("inputs5").c_str()));
    StreamBlock block(2, 2, kFrames, 0.5f);
    block.Render(&plugin);
    const auto process = log.Records("process");
    ASSERT_EQ(process.size(), 1u);
    EXPECT_EQ(process[0].at("insum"), "32,32,0,0,0");  // 64 frames of 0.5 on inputs 0 and 1
}

TEST(VstPluginRender, StreamWithFewerChannelsThanThePlugin)
{
    ProbeLog log;
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("default").c_str()));
    StreamBlock mono(1, 1, kFrames, 0.5f);
    mono.Render(&plugin);  // input 1 and output 1 do not exist
    EXPECT_EQ(mono.Out(0)[0], 0.45f);
    StreamBlock silent(0, 0, kFrames);
    silent.Render(&plugin);
    EXPECT_EQ(CVstPlugin::RenderCallback(nullptr, nullptr, 2, 2, kFrames, 0, &plugin), 0);
    const auto process = log.Records("process");
    ASSERT_EQ(process.size(), 3u);
    EXPECT_EQ(process[0].at("insum"), "32,0");
    EXPECT_EQ(process[1].at("insum"), "0,0");
}

TEST(VstPluginRender, BlocksLongerThanTheBuffersAreRenderedInPieces)
{
    ProbeLog log;
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("default").c_str()));
    const int frames = 2 * CVstPlugin::kBufferFrames + 2000;
    StreamBlock block(2, 2, frames, 0.0f);
    for (int i = 0; i < frames; ++i)
        block.In(0)[static_cast<std::size_t>(i)] = static_cast<float>(i % 1000) / 1000.0f;
    block.Render(&plugin);
    std::vector<long long> pieces;
    for (const auto& record : log.Records("process"))
        pieces.push_back(record.number("frames"));
    EXPECT_EQ(pieces, (std::vector<long long>{CVstPlugin::kBufferFrames,
                                              CVstPlugin::kBufferFrames, 2000}));
    for (int i : {0, 999, CVstPlugin::kBufferFrames + 1, frames - 1}) {
        const float expected =
            static_cast<float>(static_cast<double>(static_cast<float>(i % 1000) / 1000.0f) * 0.9);
        EXPECT_EQ(block.Out(0)[static_cast<std::size_t>(i)], expected) << "frame " << i;
    }
}

// The audio thread only renders: the editor's idle belongs to the window's thread, where a
// slow one can cost no audio block.
TEST(VstPluginRender, TheAudioThreadOnlyRenders)
{
    ProbeLog log;
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("default").c_str()));
    unsigned long audioThread = 0;
    std::thread audio([&] {
        audioThread = CurrentThreadTag();
        for (int i = 0; i < 2; ++i) {
            StreamBlock block(2, 2, kFrames);
            block.Render(&plugin);
        }
    });
    audio.join();
    std::vector<std::string> sequence;
    for (const auto& record : log.Records()) {
        if (record.kind == "entry")
            continue;
        EXPECT_EQ(std::stoul(record.at("tid")), audioThread) << record.kind;
        sequence.push_back(record.kind + (record.kind == "dispatch" ? record.at("op") : ""));
    }
    EXPECT_EQ(sequence, (std::vector<std::string>{"process", "process"}));
}

#ifdef ZUMBREL_HAS_MXCSR
// A plug-in whose state sinks into the denormal range must not slow the audio thread down:
// it renders with denormals flushed, and the driver's thread gets its own mode back.
TEST(VstPluginRender, PluginRendersWithDenormalsFlushedAndTheThreadsModeIsRestored)
{
    ProbeLog log;
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("default").c_str()));
    const unsigned before = _mm_getcsr();
    ASSERT_EQ(before & (CDenormalGuard::kFlushToZero | CDenormalGuard::kDenormalsAreZero), 0u);
    StreamBlock block(2, 2, kFrames);
    block.Render(&plugin);
    EXPECT_EQ(_mm_getcsr(), before);
    const auto process = log.Records("process");
    ASSERT_EQ(process.size(), 1u);
    const auto inside = static_cast<unsigned>(process[0].number("mxcsr"));
    EXPECT_EQ(inside & CDenormalGuard::kFlushToZero, CDenormalGuard::kFlushToZero);
    EXPECT_EQ(inside & CDenormalGuard::kDenormalsAreZero, CDenormalGuard::kDenormalsAreZero);
}
#endif

TEST(VstPluginRender, WithoutAPluginTheOutputIsStillScaledAndLimited)
{
    CVstPlugin plugin;
    StreamBlock block(2, 3, kFrames, 0.0f, 1.5f);
    block.Out(1).assign(kFrames, 0.5f);
    block.Render(&plugin);
    EXPECT_EQ(block.Out(0)[0], 1.0f);
    EXPECT_EQ(block.Out(1)[kFrames - 1], 0.45f);
    EXPECT_EQ(block.Out(2)[0], 1.5f);  // beyond the first two channels: untouched
    EXPECT_EQ(plugin.Process(block.Inputs(), block.Outputs(), kFrames), 0);
    EXPECT_EQ(plugin.ProcessReplacing(block.Inputs(), block.Outputs(), kFrames), 0);
}

TEST(VstPluginRender, ProcessAnswersTheFramesAndSkipsTheOutputStage)
{
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("default").c_str()));
    StreamBlock block(2, 2, kFrames, 1.5f);
    EXPECT_EQ(plugin.ProcessReplacing(block.Inputs(), block.Outputs(), kFrames), kFrames);
    EXPECT_EQ(block.Out(0)[0], 1.5f);
    EXPECT_EQ(plugin.Process(block.Inputs(), block.Outputs(), 0), 0);
}

TEST(VstPluginRender, LoadAndUnloadWhileTheAudioThreadRenders)
{
    constexpr int kCycles = 40;
    CVstPlugin plugin;
    std::atomic<bool> done{false};
    std::atomic<int> blocks{0};
    std::thread audio([&] {
        StreamBlock block(2, 2, kFrames, 0.5f);
        while (!done.load()) {
            block.Render(&plugin);
            plugin.AddMidiEvent(0x90, 60, 100, 44100.0f, 1);
            blocks.fetch_add(1);
            // The plug-in's 0.5 scaled, or silence while nothing is loaded; never garbage.
            const float v = block.Out(0)[0];
            EXPECT_TRUE(v >= 0.0f && v <= 1.0f) << v;
            block.Out(0).assign(kFrames, 0.0f);
        }
    });
    for (int i = 0; i < kCycles; ++i) {
        ASSERT_TRUE(plugin.Load(ProbePath(i % 2 == 0 ? "default" : "no_replacing").c_str()));
        const int start = blocks.load();
        while (blocks.load() - start < 2)
            std::this_thread::yield();
        plugin.Unload();
    }
    done.store(true);
    audio.join();
    EXPECT_FALSE(plugin.IsLoaded());
}
