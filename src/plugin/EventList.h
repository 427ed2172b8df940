#pragma once
// The list of MIDI events gathered between two audio blocks and handed to the plug-in at the
// start of the next one, in the published VstEvents form.
//
// Protocol. One producer thread (the MIDI input callback) adds events; one consumer thread
// (the audio thread) hands the list over. There are two complete lists: the producer fills
// one while the other belongs to the consumer. A hand-over swaps the two roles with a single
// compare-and-swap on `m_state`, so the list given to the plug-in is never written while the
// plug-in reads it, and new events go to the other list meanwhile.
//
//   producer:  fetch_or(busy)  -> fill list[index]  -> fetch_and(~busy)
//   consumer:  empty its own list -> CAS(index, !busy -> index ^ 1, !busy)
//              -> clamp and hand over the list it now owns
//
// The consumer never waits: when the producer is in the middle of an add (busy), it retries
// a few times and otherwise leaves the events for the next block, so nothing is lost or
// duplicated. (Only a producer adding without pause, far beyond any MIDI port's rate, can
// keep the consumer from swapping for many blocks; its events then wait, up to the limits.)
// Neither side allocates, locks or copies more than the event itself.
//
// Limits per list: 4,000 short events, and system-exclusive events only while the shared
// count of both kinds is below 1,000; system-exclusive bytes are copied into the list's own
// pool at add time (at most kSysExPoolBytes per list), so they stay valid until the plug-in
// has read them whatever the caller does with its buffer afterwards.

#include "plugin/VstInterface.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

constexpr std::uint32_t kMaxMidiEvents = 4000;
constexpr std::uint32_t kMaxSysExEvents = 1000;
// Room for 1,000 system-exclusive pieces of the 100 bytes the MIDI input lends, with margin.
constexpr std::size_t kSysExPoolBytes = 128 * 1024;

struct EventAddResult {
    bool accepted;
    std::uint32_t count;  // events in the filling list after the call
};

class CVstEventList {
public:
    CVstEventList();
    ~CVstEventList();
    CVstEventList(const CVstEventList&) = delete;
    CVstEventList& operator=(const CVstEventList&) = delete;

    // Producer side. `rate` in Hz, `timestamp` in milliseconds since MIDI input started.
    // deltaFrames = (timestamp - first timestamp of the list) * rate * 0.001, truncated; a
    // short event with timestamp 0 gets 0.
    EventAddResult AddMidiEvent(std::uint8_t status, std::uint8_t data1, std::uint8_t data2,
                                float rate, std::uint32_t timestamp);
    // Null data, a length of 0 or less, or bytes beyond the pool's free room drop the event.
    EventAddResult AddSysExEvent(const void* data, std::int32_t length, float rate,
                                 std::uint32_t timestamp);

    // Consumer side: takes the events added since the last hand-over for a block of `frames`
    // frames, every deltaFrames clamped into [0, frames - 1]. Null when there is nothing to
    // hand over now. The block, handed to the plug-in as its VstEvents, stays valid and
    // unchanged until the next call.
    VstEventsBlock* HandOver(std::int32_t frames);

    // Consumer side, in place of a hand-over: drops the events gathered so far. Only while no
    // block is being handed over (the stream is closed); events may go on arriving.
    void Discard();

    // Any thread: the next hand-over starts with all-sound-off and all-notes-off (controllers
    // 120 and 123) on all 16 channels, ahead of the events gathered for that block; the newest
    // of those are dropped when the list has no room left for the 32 controllers.
    void RequestAllNotesOff() { m_allNotesOff.store(true, std::memory_order_release); }

    // The host's own events (one producer: the user-interface thread, for the computer
    // keyboard), through a ring of their own: the next hand-over puts them at the start of
    // its block (deltaFrames 0), after any all-notes-off and ahead of the MIDI input's events.
    // False when the ring is full. Never waits, never allocates.
    bool AddHostEvent(std::uint8_t status, std::uint8_t data1, std::uint8_t data2);
    static constexpr std::uint32_t kHostEventSlots = 128;

private:
    struct List;

    List* AcquireFillList();
    void ReleaseFillList();
    static void Empty(List& list);
    static void Clamp(List& list, std::int32_t frames);
    void PrependHostEvents(List& list, bool allNotesOff);

    std::unique_ptr<List> m_lists[2];
    // Bit 0: the index of the list being filled; bit 1: the producer is writing into it.
    std::atomic<std::uint32_t> m_state{0};
    std::atomic<bool> m_allNotesOff{false};
    // The host's ring: written at m_hostWritten by the producer, read up to it by the consumer.
    std::uint32_t m_hostEvents[kHostEventSlots] = {};
    std::atomic<std::uint32_t> m_hostWritten{0};
    std::atomic<std::uint32_t> m_hostRead{0};
};

// Frames between two millisecond time stamps at `rate` Hz, truncated toward zero. The
// difference is taken modulo 2^32; results beyond the int32 range saturate, and a rate that
// is not a positive number gives 0.
std::int32_t DeltaFrames(std::uint32_t base, std::uint32_t timestamp, float rate);
