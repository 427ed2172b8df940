// One thread adds events as fast as it can while another hands the list over block after
// block: every accepted event must arrive exactly once and in order, every dropped one only
// while its list was full, and a handed list must not change while it is read.

#include "plugin/EventList.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr std::uint32_t kEvents = 200000;
constexpr std::uint32_t kSysExEvery = 7;
constexpr std::int32_t kBlockFrames = 64;
constexpr float kRate = 44100.0f;
constexpr std::uint8_t kSysExStart = 0xF0;
constexpr std::uint8_t kSysExEnd = 0xF7;
constexpr std::size_t kSysExBytes = 6;

// Event number i travels in the event itself: 22 bits over the three short-message bytes
// (7 + 7 + 8), or inside the system-exclusive bytes.
void Encode(std::uint32_t i, std::uint8_t out[3])
{
    out[0] = static_cast<std::uint8_t>(i >> 14);
    out[1] = static_cast<std::uint8_t>(i & 0x7F);
    out[2] = static_cast<std::uint8_t>((i >> 7) & 0x7F);
}

std::uint32_t Decode(const std::uint8_t in[3])
{
    return (std::uint32_t(in[0]) << 14) | (std::uint32_t(in[2]) << 7) | in[1];
}

// The two sides are paced by each other, not by the clock (sleeps are coarse and uneven,
// under Wine especially): the producer may wait for the consumer's next blocks after a burst.
struct Pacing {
    const char* name;
    std::uint32_t burst;  // events before the producer waits for two more blocks; 0: never
    int stallEveryBlocks;  // the consumer sleeps now and then; 0: never
    int stallMilliseconds;
    std::uint32_t minHandOvers;  // lists with events the run must see to prove anything
};

void PrintTo(const Pacing& pacing, std::ostream* out)
{
    *out << pacing.name;
}

struct Outcome {
    std::vector<char> accepted = std::vector<char>(kEvents, 0);
    std::vector<std::uint32_t> delivered;
    std::atomic<std::uint32_t> badDrops{0};
    std::uint32_t badEvents = 0;  // wrong delta, wrong bytes or changed while read
    std::uint32_t handOvers = 0;  // lists with events
};

// Both threads start together, so that neither finishes before the other has begun.
void WaitForStart(const std::atomic<bool>& go)
{
    while (!go.load(std::memory_order_acquire))
        std::this_thread::yield();
}

void Produce(CVstEventList& list, Outcome& outcome, const Pacing& pacing,
             const std::atomic<std::uint32_t>& blocks)
{
    for (std::uint32_t i = 0; i < kEvents; ++i) {
        if (pacing.burst > 0 && i > 0 && i % pacing.burst == 0) {
            // Two more blocks: at least one whole hand-over after the burst's last event.
            const std::uint32_t start = blocks.load();
            while (blocks.load() - start < 2)
                std::this_thread::yield();
        }
        std::uint8_t code[3];
        Encode(i, code);
        const std::uint32_t timestamp = i / 16;
        EventAddResult result;
        if (i % kSysExEvery == 0) {
            const std::uint8_t message[kSysExBytes] = {kSysExStart, code[0], code[1], code[2],
                                                       0x00, kSysExEnd};
            result = list.AddSysExEvent(message, kSysExBytes, kRate, timestamp);
            if (!result.accepted && result.count < kMaxSysExEvents)
                outcome.badDrops.fetch_add(1);
        } else {
            result = list.AddMidiEvent(code[0], code[1], code[2], kRate, timestamp);
            if (!result.accepted && result.count < kMaxMidiEvents)
                outcome.badDrops.fetch_add(1);
        }
        outcome.accepted[i] = result.accepted ? 1 : 0;
    }
}

std::uint32_t NumberOf(const VstEvent* event, bool* intact)
{
    if (event->type == kVstSysExType) {
        const auto* sysex = reinterpret_cast<const VstMidiSysexEvent*>(event);
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(sysex->sysexDump);
        *intact = sysex->dumpBytes == static_cast<std::int32_t>(kSysExBytes)
                  && bytes[0] == kSysExStart && bytes[kSysExBytes - 1] == kSysExEnd;
        return Decode(bytes + 1);
    }
    *intact = event->type == kVstMidiType;
    return Decode(reinterpret_cast<const VstMidiEvent*>(event)->midiData);
}

// Reads one handed list as a plug-in would, twice with a pause between, so that a producer
// writing into it meanwhile would show.
void Read(const VstEventsBlock* list, Outcome& outcome)
{
    std::vector<std::uint32_t> first;
    for (std::int32_t i = 0; i < list->numEvents; ++i) {
        bool intact = false;
        first.push_back(NumberOf(list->events[i], &intact));
        const std::int32_t delta = list->events[i]->deltaFrames;
        if (!intact || delta < 0 || delta >= kBlockFrames)
            ++outcome.badEvents;
    }
    std::this_thread::yield();
    for (std::int32_t i = 0; i < list->numEvents; ++i) {
        bool intact = false;
        if (NumberOf(list->events[i], &intact) != first[static_cast<std::size_t>(i)] || !intact)
            ++outcome.badEvents;
    }
    outcome.delivered.insert(outcome.delivered.end(), first.begin(), first.end());
    ++outcome.handOvers;
}

void Consume(CVstEventList& list, Outcome& outcome, const Pacing& pacing,
             const std::atomic<bool>& producerDone, std::atomic<std::uint32_t>& blocks)
{
    for (int block = 1;; ++block, blocks.fetch_add(1)) {
        const bool last = producerDone.load(std::memory_order_acquire);
        if (const VstEventsBlock* events = list.HandOver(kBlockFrames))
            Read(events, outcome);
        if (last)
            break;
        if (pacing.stallEveryBlocks > 0 && block % pacing.stallEveryBlocks == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(pacing.stallMilliseconds));
    }
    // The producer has finished: whatever it left is in the list being filled.
    if (const VstEventsBlock* events = list.HandOver(kBlockFrames))
        Read(events, outcome);
    EXPECT_EQ(list.HandOver(kBlockFrames), nullptr);
}

class EventHandOverStress : public ::testing::TestWithParam<Pacing> {};

}  // namespace

TEST_P(EventHandOverStress, EveryAcceptedEventArrivesOnceAndInOrder)
{
    const Pacing pacing = GetParam();
    auto list = std::make_unique<CVstEventList>();
    Outcome outcome;
    outcome.delivered.reserve(kEvents);
    std::atomic<bool> producerDone{false};
    std::atomic<bool> go{false};
    std::atomic<std::uint32_t> blocks{0};

    std::thread consumer([&] {
        WaitForStart(go);
        Consume(*list, outcome, pacing, producerDone, blocks);
    });
    std::thread producer([&] {
        WaitForStart(go);
        Produce(*list, outcome, pacing, blocks);
        producerDone.store(true, std::memory_order_release);
    });
    go.store(true, std::memory_order_release);
    producer.join();
    consumer.join();

    std::vector<std::uint32_t> expected;
    for (std::uint32_t i = 0; i < kEvents; ++i) {
        if (outcome.accepted[i])
            expected.push_back(i);
    }
    EXPECT_EQ(outcome.badDrops.load(), 0u) << "an event was dropped while its list had room";
    EXPECT_EQ(outcome.badEvents, 0u) << "an event arrived damaged or changed while read";
    ASSERT_EQ(outcome.delivered.size(), expected.size());
    EXPECT_TRUE(outcome.delivered == expected) << "events lost, repeated or out of order";
    EXPECT_GE(outcome.handOvers, pacing.minHandOvers) << "too few hand-overs to prove anything";
    std::printf("[ %s ] %zu of %u events accepted and delivered in %u lists\n", pacing.name,
                expected.size(), kEvents, outcome.handOvers);
}

INSTANTIATE_TEST_SUITE_P(Pacings, EventHandOverStress,
                         // Unpaced, the producer is almost always inside an add and the
                         // consumer seldom gets its swap in: few lists, but every one checked.
                         ::testing::Values(Pacing{"Unpaced", 0, 0, 0, 1},
                                           Pacing{"BlockByBlock", 37, 0, 0, 1000},
                                           Pacing{"OverflowingBursts", 5000, 0, 0, 20},
                                           Pacing{"StalledConsumer", 300, 16, 2, 100}),
                         [](const auto& info) { return std::string(info.param.name); });
