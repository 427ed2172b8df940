#include "midi/SysExHeaderQueue.h"

#include "midi/MIDIInExceptions.h"

namespace midi {

class CSysExHeaderQueue::CHold {
public:
    explicit CHold(CRITICAL_SECTION& lock) : m_lock(lock) { EnterCriticalSection(&m_lock); }
    ~CHold() { LeaveCriticalSection(&m_lock); }
    CHold(const CHold&) = delete;
    CHold& operator=(const CHold&) = delete;

private:
    CRITICAL_SECTION& m_lock;
};

CSysExHeaderQueue::CSysExHeaderQueue() : m_ring(), m_head(0), m_count(0)
{
    InitializeCriticalSection(&m_lock);
}

CSysExHeaderQueue::~CSysExHeaderQueue()
{
    ReleaseAll();
    DeleteCriticalSection(&m_lock);
}

void CSysExHeaderQueue::Lend(HMIDIIN handle, char* buffer, DWORD length)
{
    CHold hold(m_lock);
    CSysExHeader* header = m_pool.Create(handle, buffer, length);
    const MMRESULT result = header->Submit();
    if (result != MMSYSERR_NOERROR) {
        header->Unprepare();
        m_pool.Destroy(header);
        throw CMIDIInException(result);
    }
    Add(header);
}

bool CSysExHeaderQueue::ReleaseOldest()
{
    CHold hold(m_lock);
    return ReleaseOldestHeld();
}

void CSysExHeaderQueue::ReleaseAll()
{
    CHold hold(m_lock);
    while (ReleaseOldestHeld()) {
    }
}

std::size_t CSysExHeaderQueue::Count() const
{
    CHold hold(m_lock);
    return m_count;
}

void CSysExHeaderQueue::Add(CSysExHeader* header)
{
    m_ring[(m_head + m_count) % CSysExHeaderPool::kCapacity] = header;
    ++m_count;
}

bool CSysExHeaderQueue::ReleaseOldestHeld()
{
    if (m_count == 0)
        return false;
    CSysExHeader* header = m_ring[m_head];
    if (!header->Unprepare())
        return false;
    m_pool.Destroy(header);
    m_ring[m_head] = nullptr;
    m_head = (m_head + 1) % CSysExHeaderPool::kCapacity;
    --m_count;
    return true;
}

} // namespace midi
