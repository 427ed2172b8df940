#include "ScriptedMidiService.h"

#include "ScriptedMidiPortState.h"

#include <algorithm>
#include <cstring>

// The port side: what a test makes the open port do, and what it can look at.

namespace fakemidi {
namespace {

// The flood keeps at most this many callbacks waiting, as a port's own input queue would.
constexpr std::size_t kFloodBacklog = 64;
constexpr DWORD kFloodMessage = 0x00403C90; // note on, key 60, velocity 64

} // namespace

bool CScriptedMidiService::SendShortMessage(DWORD message, DWORD timestamp)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_port)
        return false;
    Post(MIM_DATA, message, timestamp);
    return true;
}

bool CScriptedMidiService::SendShortError(DWORD message, DWORD timestamp)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_port)
        return false;
    Post(MIM_ERROR, message, timestamp);
    return true;
}

bool CScriptedMidiService::ReturnBuffer(const void* bytes, DWORD count, DWORD timestamp)
{
    return ReturnOldest(MIM_LONGDATA, bytes, count, timestamp);
}

bool CScriptedMidiService::ReturnBufferWithError(const void* bytes, DWORD count, DWORD timestamp)
{
    return ReturnOldest(MIM_LONGERROR, bytes, count, timestamp);
}

bool CScriptedMidiService::ReturnOldest(UINT message, const void* bytes, DWORD count,
                                        DWORD timestamp)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return ReturnOldestHeld(message, bytes, count, timestamp);
}

bool CScriptedMidiService::ReturnOldestHeld(UINT message, const void* bytes, DWORD count,
                                            DWORD timestamp)
{
    if (!m_port || m_port->held.empty())
        return false;
    MIDIHDR* header = m_port->held.front();
    m_port->held.pop_front();
    const DWORD filled = std::min(count, header->dwBufferLength);
    std::memcpy(header->lpData, bytes, filled);
    header->dwBytesRecorded = filled;
    header->dwFlags = (header->dwFlags & ~MHDR_INQUEUE) | MHDR_DONE;
    Post(message, reinterpret_cast<DWORD_PTR>(header), timestamp);
    return true;
}

void CScriptedMidiService::ReturnOnArrival(std::string bytes)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_arrivalBytes = std::move(bytes);
}

void CScriptedMidiService::WaitForCallbacks()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_port)
        WaitForDelivery(lock, m_port->posted);
}

bool CScriptedMidiService::IsOpen() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_port != nullptr;
}

bool CScriptedMidiService::IsStarted() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_port && m_port->started;
}

unsigned CScriptedMidiService::StartCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_starts;
}

UINT CScriptedMidiService::OpenPort() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_port ? m_port->number : 0;
}

std::vector<char*> CScriptedMidiService::HeldBuffers() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<char*> data;
    if (m_port)
        for (const MIDIHDR* header : m_port->held)
            data.push_back(header->lpData);
    return data;
}

DWORD CScriptedMidiService::OldestHeldLength() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_port && !m_port->held.empty() ? m_port->held.front()->dwBufferLength : 0;
}

DWORD CScriptedMidiService::CallbackThreadId() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_port ? m_port->threadId : 0;
}

Audit CScriptedMidiService::GetAudit() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Audit audit = m_audit;
    audit.prepared = static_cast<unsigned>(m_prepared.size());
    return audit;
}

bool CScriptedMidiService::IsPrepared(const char* data) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::any_of(m_prepared.begin(), m_prepared.end(),
                       [data](const MIDIHDR* header) { return header->lpData == data; });
}

void CScriptedMidiService::CloseUnprepareGate()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_gateClosed = true;
}

void CScriptedMidiService::OpenUnprepareGate()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_gateClosed = false;
    m_progress.notify_all();
}

void CScriptedMidiService::WaitAtUnprepareGate()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_progress.wait(lock, [this] { return m_atGate != 0; });
}

void CScriptedMidiService::StartFlood()
{
    m_flooding.store(true);
    m_flood = std::thread([this] { RunFlood(); });
}

void CScriptedMidiService::StopFlood()
{
    if (!m_flood.joinable())
        return;
    m_flooding.store(false);
    m_progress.notify_all();
    m_flood.join();
}

void CScriptedMidiService::RunFlood()
{
    static const char kSysEx[] = {'\xF0', 0x7E, 0x7F, 0x06, 0x01, '\xF7'};
    DWORD timestamp = 0;
    while (m_flooding.load()) {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_progress.wait(lock, [this] {
                return !m_flooding.load() || !m_port || m_port->pending.size() < kFloodBacklog;
            });
        }
        ++timestamp;
        if (SendShortMessage(kFloodMessage, timestamp))
            m_floodShorts.fetch_add(1);
        if (ReturnBuffer(kSysEx, sizeof(kSysEx), timestamp))
            m_floodBuffers.fetch_add(1);
        else
            std::this_thread::yield();
    }
}

HANDLE CScriptedMidiService::LastCreatedThread() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lastThread;
}

} // namespace fakemidi
