#include "plugin/EventList.h"

#include <cstring>
#include <limits>

namespace {

constexpr std::uint32_t kIndexBit = 1;
constexpr std::uint32_t kBusyBit = 2;
// Attempts the consumer makes while the producer is inside an add (tens of nanoseconds);
// after that it leaves the events for the next block rather than wait.
constexpr int kSwapAttempts = 64;
constexpr double kMillisecondsToSeconds = 0.001;
// byteSize of a short event: the record after the type and byteSize words.
constexpr std::int32_t kMidiEventByteSize = 24;
constexpr std::uint8_t kControlChange = 0xB0;
constexpr std::uint8_t kAllSoundOff = 120;
constexpr std::uint8_t kAllNotesOff = 123;
constexpr std::uint32_t kChannels = 16;
constexpr std::uint32_t kAllNotesOffEvents = 2 * kChannels;

}  // namespace

struct CVstEventList::List {
    VstEventsBlock block;
    VstMidiEvent midi[kMaxMidiEvents];
    VstMidiSysexEvent sysex[kMaxSysExEvents];
    char sysexBytes[kSysExPoolBytes];
    std::uint32_t count;
    std::uint32_t baseTimestamp;
    std::size_t sysexBytesUsed;
};

std::int32_t DeltaFrames(std::uint32_t base, std::uint32_t timestamp, float rate)
{
    const std::uint32_t elapsed = timestamp - base;
    const double frames = static_cast<double>(elapsed) * static_cast<double>(rate)
                          * kMillisecondsToSeconds;
    if (!(frames > 0.0))  // also NaN
        return 0;
    if (frames >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(frames);
}

CVstEventList::CVstEventList()
{
    // Value-initialised: every count, record and pointer slot starts at zero.
    for (auto& list : m_lists)
        list = std::make_unique<List>();
}

CVstEventList::~CVstEventList() = default;

CVstEventList::List* CVstEventList::AcquireFillList()
{
    // Acquire: the consumer emptied this list before releasing it in its swap.
    const std::uint32_t state = m_state.fetch_or(kBusyBit, std::memory_order_acquire);
    return m_lists[state & kIndexBit].get();
}

void CVstEventList::ReleaseFillList()
{
    // Release: the events written become visible to the consumer's swap.
    m_state.fetch_and(~kBusyBit, std::memory_order_release);
}

EventAddResult CVstEventList::AddMidiEvent(std::uint8_t status, std::uint8_t data1,
                                           std::uint8_t data2, float rate,
                                           std::uint32_t timestamp)
{
    List& list = *AcquireFillList();
    const std::uint32_t n = list.count;
    if (n >= kMaxMidiEvents) {
        ReleaseFillList();
        return {false, n};
    }
    if (n == 0)
        list.baseTimestamp = timestamp;
    VstMidiEvent& event = list.midi[n];
    std::memset(&event, 0, sizeof event);
    event.type = kVstMidiType;
    event.byteSize = kMidiEventByteSize;
    event.deltaFrames = timestamp == 0 ? 0 : DeltaFrames(list.baseTimestamp, timestamp, rate);
    event.midiData[0] = status;
    event.midiData[1] = data1;
    event.midiData[2] = data2;
    list.block.events[n] = reinterpret_cast<VstEvent*>(&event);
    list.count = n + 1;
    list.block.numEvents = static_cast<std::int32_t>(n + 1);
    ReleaseFillList();
    return {true, n + 1};
}

EventAddResult CVstEventList::AddSysExEvent(const void* data, std::int32_t length, float rate,
                                            std::uint32_t timestamp)
{
    List& list = *AcquireFillList();
    const std::uint32_t n = list.count;
    const auto bytes = static_cast<std::size_t>(length > 0 ? length : 0);
    if (n >= kMaxSysExEvents || data == nullptr || bytes == 0
        || bytes > kSysExPoolBytes - list.sysexBytesUsed) {
        ReleaseFillList();
        return {false, n};
    }
    if (n == 0)
        list.baseTimestamp = timestamp;
    char* copy = list.sysexBytes + list.sysexBytesUsed;
    std::memcpy(copy, data, bytes);
    list.sysexBytesUsed += bytes;

    VstMidiSysexEvent& event = list.sysex[n];
    std::memset(&event, 0, sizeof event);
    event.type = kVstSysExType;
    event.byteSize = static_cast<std::int32_t>(sizeof(VstMidiSysexEvent));
    event.deltaFrames = DeltaFrames(list.baseTimestamp, timestamp, rate);
    event.dumpBytes = length;
    event.sysexDump = copy;
    list.block.events[n] = reinterpret_cast<VstEvent*>(&event);
    list.count = n + 1;
    list.block.numEvents = static_cast<std::int32_t>(n + 1);
    ReleaseFillList();
    return {true, n + 1};
}

void CVstEventList::Empty(List& list)
{
    // numEvents keeps the last count: a plug-in may look at the block it was given until the
    // next hand-over, and the next add sets it anew.
    list.count = 0;
    list.sysexBytesUsed = 0;
}

void CVstEventList::Clamp(List& list, std::int32_t frames)
{
    const std::int32_t last = frames > 0 ? frames - 1 : 0;
    for (std::uint32_t i = 0; i < list.count; ++i) {
        // Both record kinds share the head; go through bytes so that the field is reached
        // the same way whichever kind the slot points to.
        char* field = reinterpret_cast<char*>(list.block.events[i])
                      + offsetof(VstEvent, deltaFrames);
        std::int32_t delta;
        std::memcpy(&delta, field, sizeof delta);
        delta = delta < 0 ? 0 : (delta > last ? last : delta);
        std::memcpy(field, &delta, sizeof delta);
    }
}

bool CVstEventList::AddHostEvent(std::uint8_t status, std::uint8_t data1, std::uint8_t data2)
{
    const std::uint32_t written = m_hostWritten.load(std::memory_order_relaxed);
    if (written - m_hostRead.load(std::memory_order_acquire) >= kHostEventSlots)
        return false;
    m_hostEvents[written % kHostEventSlots] = status | (data1 << 8) | (data2 << 16);
    m_hostWritten.store(written + 1, std::memory_order_release);
    return true;
}

// The host's events take the record slots after the list's events (free in a list the
// consumer owns) and the first places of the block, the list's own events moving up behind
// them; the newest of those are dropped when there is no room.
void CVstEventList::PrependHostEvents(List& list, bool allNotesOff)
{
    const std::uint32_t read = m_hostRead.load(std::memory_order_relaxed);
    const std::uint32_t queued = m_hostWritten.load(std::memory_order_acquire) - read;
    const std::uint32_t added = (allNotesOff ? kAllNotesOffEvents : 0) + queued;
    const std::uint32_t kept = list.count < kMaxMidiEvents - added ? list.count
                                                                  : kMaxMidiEvents - added;
    for (std::uint32_t i = kept; i-- > 0;)
        list.block.events[i + added] = list.block.events[i];
    for (std::uint32_t k = 0; k < added; ++k) {
        std::uint32_t bytes = 0;
        if (allNotesOff && k < kAllNotesOffEvents)
            bytes = (kControlChange | (k / 2)) | ((k % 2 == 0 ? kAllSoundOff : kAllNotesOff) << 8);
        else
            bytes = m_hostEvents[(read + k - (allNotesOff ? kAllNotesOffEvents : 0)) % kHostEventSlots];
        VstMidiEvent& event = list.midi[kept + k];
        std::memset(&event, 0, sizeof event);
        event.type = kVstMidiType;
        event.byteSize = kMidiEventByteSize;
        event.midiData[0] = static_cast<std::uint8_t>(bytes);
        event.midiData[1] = static_cast<std::uint8_t>(bytes >> 8);
        event.midiData[2] = static_cast<std::uint8_t>(bytes >> 16);
        list.block.events[k] = reinterpret_cast<VstEvent*>(&event);
    }
    m_hostRead.store(read + queued, std::memory_order_release);
    list.count = kept + added;
    list.block.numEvents = static_cast<std::int32_t>(list.count);
}

// Taken as a hand-over takes them, and given to no one: the next hand-over empties that list
// before it takes the events added since. The producer may go on adding meanwhile.
void CVstEventList::Discard()
{
    HandOver(1);
}

VstEventsBlock* CVstEventList::HandOver(std::int32_t frames)
{
    std::uint32_t state = m_state.load(std::memory_order_relaxed);
    // The list this side owns was read by the plug-in during the previous hand-over, which
    // has returned; empty it before giving it to the producer.
    Empty(*m_lists[(state & kIndexBit) ^ kIndexBit]);
    bool swapped = false;
    for (int attempt = 0; attempt < kSwapAttempts && !swapped; ++attempt) {
        state &= ~kBusyBit;
        swapped = m_state.compare_exchange_weak(state, state ^ kIndexBit,
                                                std::memory_order_acq_rel,
                                                std::memory_order_relaxed);
    }
    if (!swapped)
        return nullptr;
    List& taken = *m_lists[state & kIndexBit];
    const bool allNotesOff = m_allNotesOff.load(std::memory_order_relaxed)
                             && m_allNotesOff.exchange(false, std::memory_order_acquire);
    if (allNotesOff || m_hostRead.load(std::memory_order_relaxed)
                           != m_hostWritten.load(std::memory_order_acquire))
        PrependHostEvents(taken, allNotesOff);
    if (taken.count == 0)
        return nullptr;
    Clamp(taken, frames);
    return &taken.block;
}
