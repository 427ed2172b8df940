#pragma once
// The headers a device has lent to its port, oldest first, with the one lock of the MIDI
// input: every operation holds it from start to end.
//
// Lending (prepare, hand to the port, append) happens under one hold of the lock, so the queue
// order is the order in which the port received the buffers, and a release that the port's
// return triggers waits until the returned header is in the queue. Releasing unprepares a
// header under the lock and frees its storage; a header the port still holds is never freed.

#include "midi/SysExHeaderPool.h"

#include <cstddef>

namespace midi {

class CSysExHeaderQueue {
public:
    CSysExHeaderQueue();
    ~CSysExHeaderQueue(); // releases what it can, then deletes the lock
    CSysExHeaderQueue(const CSysExHeaderQueue&) = delete;
    CSysExHeaderQueue& operator=(const CSysExHeaderQueue&) = delete;

    // Prepares a header for the buffer, lends it to the port and appends it. On any failure
    // nothing stays lent or queued and the exception passes on: CMIDIInMemFailure when no
    // storage is left, CMIDIInException when preparing or lending fails.
    void Lend(HMIDIIN handle, char* buffer, DWORD length);

    // Unprepares and frees the oldest header. False when the queue is empty or the port still
    // holds the oldest header (then it stays).
    bool ReleaseOldest();

    // Releases oldest first until the queue is empty or the port still holds the oldest.
    void ReleaseAll();

    std::size_t Count() const;

private:
    class CHold;

    void Add(CSysExHeader* header);
    bool ReleaseOldestHeld();

    mutable CRITICAL_SECTION m_lock;
    CSysExHeaderPool m_pool;
    CSysExHeader* m_ring[CSysExHeaderPool::kCapacity]; // never fuller than the pool
    std::size_t m_head;
    std::size_t m_count;
};

} // namespace midi
