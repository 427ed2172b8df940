#include "midi/SysExHeaderPool.h"

#include "midi/MIDIInExceptions.h"

#include <new>

namespace midi {

CSysExHeaderPool::CSysExHeaderPool() : m_freeCount(kCapacity)
{
    for (std::size_t i = 0; i < kCapacity; ++i)
        m_free[i] = &m_slots[i];
}

CSysExHeader* CSysExHeaderPool::Create(HMIDIIN handle, char* buffer, DWORD length)
{
    if (m_freeCount == 0)
        throw CMIDIInMemFailure();
    Slot* slot = m_free[m_freeCount - 1];
    // Only a successful construction takes the slot; a failed preparation leaves it free.
    CSysExHeader* header = new (slot->bytes) CSysExHeader(handle, buffer, length);
    --m_freeCount;
    return header;
}

void CSysExHeaderPool::Destroy(CSysExHeader* header)
{
    header->~CSysExHeader();
    m_free[m_freeCount++] = reinterpret_cast<Slot*>(header);
}

} // namespace midi
