#pragma once
// Fixed storage for the headers one device can have lent at a time, so that lending a buffer
// (also from the MIDI callback thread) never allocates. Not synchronised: the header queue
// uses it under its lock.

#include "midi/SysExHeader.h"

#include <cstddef>

namespace midi {

class CSysExHeaderPool {
public:
    // Headers lent and not yet released, per device. The host lends one buffer at a time.
    static constexpr std::size_t kCapacity = 32;

    CSysExHeaderPool();
    CSysExHeaderPool(const CSysExHeaderPool&) = delete;
    CSysExHeaderPool& operator=(const CSysExHeaderPool&) = delete;

    // Constructs (and so prepares) a header in a free slot. Throws CMIDIInMemFailure when every
    // slot is in use and CMIDIInException when the preparation fails (the slot stays free).
    CSysExHeader* Create(HMIDIIN handle, char* buffer, DWORD length);

    // Destroys a header made by Create and frees its slot. Does not unprepare it.
    void Destroy(CSysExHeader* header);

private:
    struct Slot {
        alignas(CSysExHeader) unsigned char bytes[sizeof(CSysExHeader)];
    };
    Slot m_slots[kCapacity];
    Slot* m_free[kCapacity];
    std::size_t m_freeCount;
};

} // namespace midi
