#include "plugin/EventList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr float kRate44k = 44100.0f;
constexpr std::int32_t kLargeBlock = 1 << 20;  // no clamping in play
constexpr std::int32_t kMaxDelta = std::numeric_limits<std::int32_t>::max();

struct DeltaCase {
    std::uint32_t base;
    std::uint32_t timestamp;
    float rate;
    std::int32_t expected;
};

// Raw bytes of an event record, as the plug-in reads them.
std::vector<unsigned char> RecordBytes(const VstEvent* event, std::size_t size)
{
    const auto* p = reinterpret_cast<const unsigned char*>(event);
    return {p, p + size};
}

std::int32_t Int32At(const std::vector<unsigned char>& bytes, std::size_t offset)
{
    std::int32_t v;
    std::memcpy(&v, bytes.data() + offset, sizeof v);
    return v;
}

const VstMidiSysexEvent* AsSysEx(const VstEventsBlock* list, int i)
{
    return reinterpret_cast<const VstMidiSysexEvent*>(list->events[i]);
}

const VstMidiEvent* AsMidi(const VstEventsBlock* list, int i)
{
    return reinterpret_cast<const VstMidiEvent*>(list->events[i]);
}

class EventListTest : public ::testing::Test {
protected:
    // The list is large (two complete lists with their pools): keep it off the stack.
    std::unique_ptr<CVstEventList> m_list = std::make_unique<CVstEventList>();
};

}  // namespace

TEST(EventListDeltaFrames, MillisecondsTimesRateTruncated)
{
    const std::vector<DeltaCase> cases = {
        {1000, 1000, kRate44k, 0},
        {1000, 1010, kRate44k, 441},        // 10 ms at 44.1 kHz
        {0, 1, kRate44k, 44},               // 44.1 truncated toward zero
        {5, 6, 48000.0f, 48},
        {5, 6, 96000.0f, 96},
        {0xFFFFFFF0u, 0x10u, kRate44k, 1411},  // 32 ms across the 32-bit wrap
        {0, 2000000, 96000.0f, 192000000},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DeltaFrames(c.base, c.timestamp, c.rate), c.expected)
            << c.base << " -> " << c.timestamp << " at " << c.rate;
    }
}

TEST(EventListDeltaFrames, OutOfRangeSaturatesInsteadOfOverflowing)
{
    // An earlier time stamp than the base is a huge unsigned difference: far beyond int32.
    EXPECT_EQ(DeltaFrames(1000, 999, kRate44k), kMaxDelta);
    EXPECT_EQ(DeltaFrames(1000, 1010, std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(DeltaFrames(1000, 1010, -44100.0f), 0);
    EXPECT_EQ(DeltaFrames(1000, 1010, std::numeric_limits<float>::infinity()), kMaxDelta);
}

TEST_F(EventListTest, ShortEventRecordHasThePublishedBytes)
{
    EXPECT_EQ(m_list->AddMidiEvent(0x93, 60, 64, kRate44k, 500).count, 1u);
    VstEventsBlock* list = m_list->HandOver(kLargeBlock);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->numEvents, 1);
    const auto bytes = RecordBytes(list->events[0], 32);
    EXPECT_EQ(Int32At(bytes, 0), 1);    // type: MIDI event
    EXPECT_EQ(Int32At(bytes, 4), 24);   // byteSize
    EXPECT_EQ(Int32At(bytes, 8), 0);    // deltaFrames of the first event
    EXPECT_EQ(Int32At(bytes, 12), 0);   // flags
    EXPECT_EQ(Int32At(bytes, 16), 0);   // noteLength
    EXPECT_EQ(Int32At(bytes, 20), 0);   // noteOffset
    EXPECT_EQ(bytes[24], 0x93);
    EXPECT_EQ(bytes[25], 60);
    EXPECT_EQ(bytes[26], 64);
    for (std::size_t i = 27; i < 32; ++i)
        EXPECT_EQ(bytes[i], 0) << "byte " << i;
}

TEST_F(EventListTest, DeltasCountFromTheFirstEventOfEachList)
{
    m_list->AddMidiEvent(0x90, 60, 100, kRate44k, 1000);
    m_list->AddMidiEvent(0x80, 60, 0, kRate44k, 1010);
    VstEventsBlock* first = m_list->HandOver(kLargeBlock);
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(first->numEvents, 2);
    EXPECT_EQ(first->events[0]->deltaFrames, 0);
    EXPECT_EQ(first->events[1]->deltaFrames, 441);

    // The next list starts its own count: its first event is at 0 again.
    m_list->AddMidiEvent(0x90, 62, 100, kRate44k, 5000);
    m_list->AddMidiEvent(0x90, 64, 100, kRate44k, 5020);
    VstEventsBlock* second = m_list->HandOver(kLargeBlock);
    ASSERT_NE(second, nullptr);
    ASSERT_EQ(second->numEvents, 2);
    EXPECT_EQ(second->events[0]->deltaFrames, 0);
    EXPECT_EQ(second->events[1]->deltaFrames, 882);
}

TEST_F(EventListTest, HandOverClampsDeltasIntoTheBlock)
{
    // 64 frames last 1.45 ms at 44.1 kHz: events a few milliseconds apart land beyond it.
    m_list->AddMidiEvent(0x90, 60, 100, kRate44k, 1000);
    m_list->AddMidiEvent(0x90, 62, 100, kRate44k, 1001);  // 44
    m_list->AddMidiEvent(0x90, 64, 100, kRate44k, 1003);  // 132
    m_list->AddMidiEvent(0x90, 65, 100, kRate44k, 999);   // before the base: saturated
    VstEventsBlock* list = m_list->HandOver(64);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->numEvents, 4);
    EXPECT_EQ(list->events[0]->deltaFrames, 0);
    EXPECT_EQ(list->events[1]->deltaFrames, 44);
    EXPECT_EQ(list->events[2]->deltaFrames, 63);
    EXPECT_EQ(list->events[3]->deltaFrames, 63);
}

TEST_F(EventListTest, EmptyListIsNotHandedOver)
{
    EXPECT_EQ(m_list->HandOver(64), nullptr);
    m_list->AddMidiEvent(0x90, 60, 100, kRate44k, 1);
    EXPECT_NE(m_list->HandOver(64), nullptr);
    EXPECT_EQ(m_list->HandOver(64), nullptr);
}

TEST_F(EventListTest, ShortEventsStopAtFourThousand)
{
    for (std::uint32_t i = 0; i < kMaxMidiEvents; ++i)
        ASSERT_EQ(m_list->AddMidiEvent(0x90, 60, 1, kRate44k, 1).count, i + 1);
    const EventAddResult dropped = m_list->AddMidiEvent(0x90, 61, 1, kRate44k, 1);
    EXPECT_FALSE(dropped.accepted);
    EXPECT_EQ(dropped.count, kMaxMidiEvents);
    VstEventsBlock* list = m_list->HandOver(64);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->numEvents, static_cast<std::int32_t>(kMaxMidiEvents));
    EXPECT_EQ(AsMidi(list, kMaxMidiEvents - 1)->midiData[1], 60);
}

// A full list (whose later note-offs were dropped) must not reach the plug-in after a pause
// of the audio: what was discarded is gone, and the list fills from its start again.
TEST_F(EventListTest, DiscardedEventsAreNeverHandedOverAndTheListFillsAgain)
{
    for (std::uint32_t i = 0; i < kMaxMidiEvents; ++i)
        m_list->AddMidiEvent(0x90, 60, 1, kRate44k, 1);
    m_list->Discard();
    EXPECT_EQ(m_list->HandOver(64), nullptr);
    const EventAddResult next = m_list->AddMidiEvent(0x80, 62, 0, kRate44k, 500);
    EXPECT_TRUE(next.accepted);
    EXPECT_EQ(next.count, 1u);
    VstEventsBlock* list = m_list->HandOver(64);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->numEvents, 1);
    EXPECT_EQ(AsMidi(list, 0)->midiData[1], 62);
    EXPECT_EQ(AsMidi(list, 0)->deltaFrames, 0);  // counted from the new first event
}

// Discarding stands in for a hand-over while input goes on: what is handed over afterwards is
// whole, in order and never repeated (the sanitizer builds watch the memory).
TEST_F(EventListTest, DiscardWhileEventsArriveHandsOverOnlyWholeEventsInOrder)
{
    constexpr int kEvents = 16000;  // numbered in the two data bytes
    std::atomic<bool> done{false};
    std::thread producer([&] {
        for (int i = 0; i < kEvents; ++i)
            while (!m_list->AddMidiEvent(0x90, (i >> 7) & 0x7F, i & 0x7F, kRate44k, 1).accepted)
                std::this_thread::yield();
        done.store(true);
    });
    int last = -1;
    const auto check = [&](const VstEventsBlock* list) {
        for (int e = 0; list != nullptr && e < list->numEvents; ++e) {
            const VstMidiEvent* event = AsMidi(list, e);
            const int number = (event->midiData[1] << 7) | event->midiData[2];
            EXPECT_GT(number, last);
            last = number;
        }
    };
    for (int round = 0; !done.load(); ++round) {
        if (round % 8 == 0)
            m_list->Discard();
        else
            check(m_list->HandOver(64));
        std::this_thread::yield();
    }
    producer.join();
    check(m_list->HandOver(64));
    // One more after the last discard arrives, after whatever was left.
    ASSERT_TRUE(m_list->AddMidiEvent(0x90, (kEvents >> 7) & 0x7F, kEvents & 0x7F, kRate44k, 1).accepted);
    check(m_list->HandOver(64));
    EXPECT_EQ(last, kEvents);
}

TEST_F(EventListTest, SysExEventCarriesItsOwnCopyOfTheBytes)
{
    unsigned char message[] = {0xF0, 0x43, 0x10, 0x4C, 0xF7};
    m_list->AddMidiEvent(0x90, 60, 1, kRate44k, 100);
    ASSERT_TRUE(m_list->AddSysExEvent(message, 5, kRate44k, 110).accepted);
    std::memset(message, 0, sizeof message);  // the input device reuses its buffer at once

    VstEventsBlock* list = m_list->HandOver(kLargeBlock);
    ASSERT_NE(list, nullptr);
    const VstMidiSysexEvent* event = AsSysEx(list, 1);
    EXPECT_EQ(event->type, kVstSysExType);
    EXPECT_EQ(event->byteSize, static_cast<std::int32_t>(sizeof(VstMidiSysexEvent)));
    EXPECT_EQ(event->deltaFrames, 441);
    EXPECT_EQ(event->flags, 0);
    EXPECT_EQ(event->dumpBytes, 5);
    EXPECT_EQ(event->resvd1, 0);
    EXPECT_EQ(event->resvd2, 0);
    const unsigned char expected[] = {0xF0, 0x43, 0x10, 0x4C, 0xF7};
    EXPECT_EQ(std::memcmp(event->sysexDump, expected, 5), 0);
}

TEST_F(EventListTest, UnusableSysExIsDropped)
{
    const char message[] = {'\xF0', '\xF7'};
    EXPECT_FALSE(m_list->AddSysExEvent(nullptr, 2, kRate44k, 1).accepted);
    EXPECT_FALSE(m_list->AddSysExEvent(message, 0, kRate44k, 1).accepted);
    EXPECT_FALSE(m_list->AddSysExEvent(message, -5, kRate44k, 1).accepted);
    EXPECT_EQ(m_list->HandOver(64), nullptr);
}

TEST_F(EventListTest, SysExBeyondThePoolIsDroppedWhole)
{
    const std::size_t piece = 200;
    const std::vector<char> message(piece, 0x11);
    const std::size_t fit = kSysExPoolBytes / piece;
    for (std::size_t i = 0; i < fit; ++i)
        ASSERT_TRUE(m_list->AddSysExEvent(message.data(), piece, kRate44k, 1).accepted) << i;
    EXPECT_FALSE(m_list->AddSysExEvent(message.data(), piece, kRate44k, 1).accepted);
    EXPECT_TRUE(m_list->AddMidiEvent(0x90, 60, 1, kRate44k, 1).accepted);

    // After the hand-over the pool is free again.
    ASSERT_NE(m_list->HandOver(64), nullptr);
    ASSERT_EQ(m_list->HandOver(64), nullptr);  // the emptied list comes back to the producer
    EXPECT_TRUE(m_list->AddSysExEvent(message.data(), piece, kRate44k, 1).accepted);
}

TEST_F(EventListTest, HandedListStaysIntactWhileNewEventsArrive)
{
    const unsigned char message[] = {0xF0, 0x01, 0xF7};
    m_list->AddMidiEvent(0x90, 60, 100, kRate44k, 1000);
    m_list->AddSysExEvent(message, 3, kRate44k, 1001);
    VstEventsBlock* handed = m_list->HandOver(512);
    ASSERT_NE(handed, nullptr);

    // Events arriving while the plug-in reads go to the other list.
    for (int i = 0; i < 100; ++i) {
        m_list->AddMidiEvent(0x80, 1, 2, kRate44k, 2000 + i);
        m_list->AddSysExEvent("\xF0\x7F\xF7", 3, kRate44k, 2000 + i);
    }
    EXPECT_EQ(handed->numEvents, 2);
    EXPECT_EQ(AsMidi(handed, 0)->midiData[1], 60);
    EXPECT_EQ(handed->events[1]->deltaFrames, 44);
    EXPECT_EQ(static_cast<unsigned char>(AsSysEx(handed, 1)->sysexDump[1]), 0x01);

    VstEventsBlock* next = m_list->HandOver(512);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->numEvents, 200);
    EXPECT_EQ(AsMidi(next, 0)->midiData[0], 0x80);
}

// All notes off comes first, on every channel, once; the block's own events follow in order,
// and a full list gives up its newest events for it.
TEST_F(EventListTest, AllNotesOffLeadsTheNextBlockOnce)
{
    for (const std::uint32_t gathered : {0u, 3u, kMaxMidiEvents}) {
        for (std::uint32_t i = 0; i < gathered; ++i)
            m_list->AddMidiEvent(0x90, static_cast<std::uint8_t>(i % 128), 1, kRate44k, 1);
        m_list->RequestAllNotesOff();
        VstEventsBlock* list = m_list->HandOver(64);
        ASSERT_NE(list, nullptr);
        const std::uint32_t kept = std::min(gathered, kMaxMidiEvents - 32);
        ASSERT_EQ(list->numEvents, static_cast<std::int32_t>(32 + kept)) << gathered;
        for (int k = 0; k < 32; ++k) {
            EXPECT_EQ(AsMidi(list, k)->midiData[0], 0xB0 + k / 2);
            EXPECT_EQ(AsMidi(list, k)->midiData[1], k % 2 == 0 ? 120 : 123);
            EXPECT_EQ(AsMidi(list, k)->deltaFrames, 0);
        }
        for (std::uint32_t i = 0; i < kept; ++i)
            ASSERT_EQ(AsMidi(list, static_cast<int>(32 + i))->midiData[1], i % 128) << gathered;
        EXPECT_EQ(m_list->HandOver(64), nullptr);
    }
}

// The host's events come after all notes off and before the block's own events, in the order
// added; a full ring refuses more until a hand-over has taken them.
TEST_F(EventListTest, HostEventsLeadTheBlockInOrder)
{
    m_list->AddMidiEvent(0x90, 40, 1, kRate44k, 1);
    for (std::uint8_t note = 60; note < 63; ++note)
        ASSERT_TRUE(m_list->AddHostEvent(0x90, note, 100));
    m_list->RequestAllNotesOff();
    VstEventsBlock* list = m_list->HandOver(64);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->numEvents, 32 + 3 + 1);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(AsMidi(list, 32 + k)->midiData[1], 60 + k);
    EXPECT_EQ(AsMidi(list, 35)->midiData[1], 40);

    for (std::uint32_t i = 0; i < CVstEventList::kHostEventSlots; ++i)
        ASSERT_TRUE(m_list->AddHostEvent(0x80, 60, 0));
    EXPECT_FALSE(m_list->AddHostEvent(0x80, 61, 0));
    list = m_list->HandOver(64);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->numEvents, static_cast<std::int32_t>(CVstEventList::kHostEventSlots));
    EXPECT_TRUE(m_list->AddHostEvent(0x80, 61, 0));
}
