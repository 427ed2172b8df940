// Events as the plug-in receives them through effProcessEvents.

#include "ProbeSupport.h"

#include "plugin/VstPlugin.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr float kRate = 44100.0f;
constexpr int kSmallBlock = 64;  // 1.45 ms at 44.1 kHz
constexpr int kLargeBlock = 2048;
constexpr float kNoteLevel = 0.125f;  // what the probe adds per held note

void RenderBlock(CVstPlugin& plugin, int frames)
{
    StreamBlock block(2, 2, frames);
    block.Render(&plugin);
}

}  // namespace

TEST(VstPluginEvents, ShortEventsArriveWithEveryField)
{
    ProbeLog log;
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("default").c_str()));
    EXPECT_EQ(plugin.AddMidiEvent(0x90, 60, 100, kRate, 1000), 1u);
    EXPECT_EQ(plugin.AddMidiEvent(0x80, 60, 0, kRate, 1010), 2u);
    RenderBlock(plugin, kLargeBlock);

    const auto lists = log.Records("events");
    ASSERT_EQ(lists.size(), 1u);
    EXPECT_EQ(lists[0].number("count"), 2);
    const auto midi = log.Records("midi");
    ASSERT_EQ(midi.size(), 2u);
    EXPECT_EQ(midi[0].at("data"), "90,3c,64,00");
    EXPECT_EQ(midi[1].at("data"), "80,3c,00,00");
    EXPECT_EQ(midi[0].number("delta"), 0);
    EXPECT_EQ(midi[1].number("delta"), 441);
    for (const auto& event : midi) {
        EXPECT_EQ(event.number("type"), 1);
        EXPECT_EQ(event.number("size"), 24);
        for (const char* zero : {"flags", "length", "offset", "detune", "offvel", "r1", "r2"})
            EXPECT_EQ(event.number(zero), 0) << zero;
    }
}

TEST(VstPluginEvents, ZeroTimestampGivesZeroDelta)
{
    ProbeLog log;
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("default").c_str()));
    plugin.AddMidiEvent(0x90, 60, 100, kRate, 1000);
    plugin.AddMidiEvent(0x90, 64, 100, kRate, 0);
    RenderBlock(plugin, kLargeBlock);
    const auto midi = log.Records("midi");
    ASSERT_EQ(midi.size(), 2u);
    EXPECT_EQ(midi[1].number("delta"), 0);
}

TEST(VstPluginEvents, DeltaBeyondTheBlockIsClampedSoTheNoteSounds)
{
    ProbeLog log;
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("default").c_str()));
    plugin.AddMidiEvent(0x90, 60, 100, kRate, 1000);
    plugin.AddMidiEvent(0x90, 62, 100, kRate, 1003);  // 132 frames after the first
    StreamBlock block(2, 2, kSmallBlock);
    block.Render(&plugin);

    const auto midi = log.Records("midi");
    ASSERT_EQ(midi.size(), 2u);
    EXPECT_EQ(midi[1].number("delta"), kSmallBlock - 1);
    EXPECT_TRUE(log.Records("dropped").empty());
    const float oneNote = static_cast<float>(kNoteLevel * 0.9);
    const float twoNotes = static_cast<float>(2 * kNoteLevel * 0.9);
    EXPECT_EQ(block.Out(0)[0], oneNote);
    EXPECT_EQ(block.Out(0)[kSmallBlock - 2], oneNote);
    EXPECT_EQ(block.Out(0)[kSmallBlock - 1], twoNotes);
}

TEST(VstPluginEvents, ShortEventsStopAtFourThousandPerBlock)
{
    ProbeLog log;
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("default").c_str()));
    for (std::uint32_t i = 0; i < 4000; ++i)
        ASSERT_EQ(plugin.AddMidiEvent(0xB0, 1, 2, kRate, 5), i + 1);
    EXPECT_EQ(plugin.AddMidiEvent(0xB0, 1, 3, kRate, 5), 4000u);  // dropped: count unchanged
    RenderBlock(plugin, kSmallBlock);
    const auto lists = log.Records("events");
    ASSERT_EQ(lists.size(), 1u);
    EXPECT_EQ(lists[0].number("count"), 4000);
    // The next block's list starts empty again.
    EXPECT_EQ(plugin.AddMidiEvent(0xB0, 1, 4, kRate, 6), 1u);
}

TEST(VstPluginEvents, SysExStopsAtOneThousandWhileShortEventsGoOn)
{
    ProbeLog log;
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("default").c_str()));
    const unsigned char message[] = {0xF0, 0x7E, 0x01, 0xF7};
    for (int i = 0; i < 999; ++i)
        plugin.AddMidiEvent(0xB0, 1, 2, kRate, 5);
    plugin.AddSysExEvent(message, 4, kRate, 5);  // the 1,000th event
    plugin.AddSysExEvent(message, 4, kRate, 5);  // dropped
    EXPECT_EQ(plugin.AddMidiEvent(0xB0, 1, 2, kRate, 5), 1001u);
    RenderBlock(plugin, kSmallBlock);
    ASSERT_EQ(log.Records("events").size(), 1u);
    EXPECT_EQ(log.Records("events")[0].number("count"), 1001);
    EXPECT_EQ(log.Records("sysex").size(), 1u);
}

TEST(VstPluginEvents, SysExBytesStayValidAfterTheCallersBufferIsReused)
{
    ProbeLog log;
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("default").c_str()));
    unsigned char buffer[100] = {0xF0, 0x43, 0x10, 0x4C, 0xF7};
    plugin.AddMidiEvent(0x90, 60, 100, kRate, 1000);
    plugin.AddSysExEvent(buffer, 5, kRate, 1010);
    std::memset(buffer, 0xEE, sizeof buffer);  // lent to the input device again at once
    RenderBlock(plugin, kLargeBlock);
    const auto sysex = log.Records("sysex");
    ASSERT_EQ(sysex.size(), 1u);
    EXPECT_EQ(sysex[0].at("data"), "f0,43,10,4c,f7");
    EXPECT_EQ(sysex[0].number("type"), 6);
    EXPECT_EQ(sysex[0].number("size"), static_cast<long long>(sizeof(VstMidiSysexEvent)));
    EXPECT_EQ(sysex[0].number("bytes"), 5);
    EXPECT_EQ(sysex[0].number("delta"), 441);
    EXPECT_EQ(sysex[0].number("flags"), 0);
    EXPECT_EQ(sysex[0].number("r1"), 0);
    EXPECT_EQ(sysex[0].number("r2"), 0);
}

TEST(VstPluginEvents, EmptyListMakesNoCall)
{
    ProbeLog log;
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("default").c_str()));
    EXPECT_FALSE(plugin.SendEvents(kSmallBlock));
    RenderBlock(plugin, kSmallBlock);
    EXPECT_TRUE(log.Records("events").empty());
    plugin.AddMidiEvent(0x90, 60, 100, kRate, 1);
    EXPECT_TRUE(plugin.SendEvents(kSmallBlock));
    EXPECT_FALSE(plugin.SendEvents(kSmallBlock));
}

TEST(VstPluginEvents, NothingIsHandedToAPluginThatIsNoSynth)
{
    ProbeLog log;
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("no_synth").c_str()));
    plugin.AddMidiEvent(0x90, 60, 100, kRate, 1);
    EXPECT_FALSE(plugin.SendEvents(kSmallBlock));
    RenderBlock(plugin, kSmallBlock);
    EXPECT_TRUE(log.Records("events").empty());
    EXPECT_EQ(log.Records("process").size(), 1u);
    // The list is never emptied: it keeps filling up to its limit.
    EXPECT_EQ(plugin.AddMidiEvent(0x90, 61, 100, kRate, 2), 2u);
}

TEST(VstPluginEvents, EventsAddedWhileRenderingArriveOnceAndInOrder)
{
    constexpr std::uint32_t kCount = 20000;
    constexpr std::uint32_t kBurst = 500;
    ProbeLog log;
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("default").c_str()));
    std::vector<char> accepted(kCount, 0);
    std::atomic<bool> done{false};
    std::atomic<std::uint32_t> blocks{0};

    std::thread audio([&] {
        while (!done.load()) {
            RenderBlock(plugin, kSmallBlock);
            blocks.fetch_add(1);
        }
        RenderBlock(plugin, kSmallBlock);
    });
    std::thread midi([&] {
        std::uint32_t count = 0;
        for (std::uint32_t i = 0; i < kCount; ++i) {
            const auto status = static_cast<std::uint8_t>(0xA0 | (i >> 14));
            const std::uint32_t after = plugin.AddMidiEvent(
                status, static_cast<std::uint8_t>(i & 0x7F),
                static_cast<std::uint8_t>((i >> 7) & 0x7F), kRate, i);
            accepted[i] = after != count || after == 1 ? 1 : 0;
            count = after;
            // After each burst, two more blocks: at least one whole hand-over in between.
            if (i % kBurst == 0) {
                const std::uint32_t start = blocks.load();
                while (blocks.load() - start < 2)
                    std::this_thread::yield();
            }
        }
        done.store(true);
    });
    midi.join();
    audio.join();

    std::vector<std::uint32_t> delivered;
    for (const auto& event : log.Records("midi")) {
        const unsigned long status = std::stoul(event.at("data").substr(0, 2), nullptr, 16);
        const unsigned long d1 = std::stoul(event.at("data").substr(3, 2), nullptr, 16);
        const unsigned long d2 = std::stoul(event.at("data").substr(6, 2), nullptr, 16);
        delivered.push_back(static_cast<std::uint32_t>(((status & 0x0F) << 14) | (d2 << 7) | d1));
        EXPECT_LT(event.number("delta"), kSmallBlock);
    }
    std::vector<std::uint32_t> expected;
    for (std::uint32_t i = 0; i < kCount; ++i) {
        if (accepted[i])
            expected.push_back(i);
    }
    EXPECT_GE(log.Records("events").size(), kCount / kBurst) << "too few hand-overs";
    EXPECT_TRUE(delivered == expected) << delivered.size() << " delivered, " << expected.size()
                                       << " accepted";
}
