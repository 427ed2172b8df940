#include "ScriptedMidiService.h"

#include "ErrorTexts.h"
#include "ScriptedMidiPortState.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <utility>

// The service calls: what the device reaches through the seam.

namespace fakemidi {
namespace {

// Handles are made-up numbers, never reused, so a stale handle is always recognised.
constexpr std::uintptr_t kFirstHandle = 0x4D490000;
constexpr std::uintptr_t kHandleStep = 0x10;
constexpr WORD kScriptedMaker = 0xFF;

std::atomic<CScriptedMidiService*> g_active{nullptr};

CScriptedMidiService& Active()
{
    return *g_active.load();
}

} // namespace

const midi::MIDIInService CScriptedMidiService::kTable = {
    &Open, &Close, &Start, &Reset, &Prepare, &AddBuffer, &Unprepare,
    &GetErrorText, &GetDevCaps, &GetNumDevs, &CreateThreadHook,
    &CreateEventHook,
};

CScriptedMidiService::CScriptedMidiService(std::vector<std::string> portNames)
    : m_portNames(std::move(portNames)), m_previous(nullptr)
{
    CScriptedMidiService* expected = nullptr;
    if (!g_active.compare_exchange_strong(expected, this))
        throw std::logic_error("only one scripted MIDI service at a time");
    m_previous = midi::InstallService(&kTable);
}

CScriptedMidiService::~CScriptedMidiService()
{
    StopFlood();
    std::unique_ptr<Port> port;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_port) {
            m_port->quit = true;
            m_wake.notify_all();
            port = std::move(m_port);
        }
    }
    if (port)
        port->thread.join();
    midi::InstallService(m_previous);
    if (m_lastThread)
        CloseHandle(m_lastThread);
    g_active.store(nullptr);
}

void CScriptedMidiService::FailCall(Call call, MMRESULT result, int times)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failures[CallIndex(call)] = {result, times};
}

void CScriptedMidiService::ClearFailures()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failures.fill({});
}

unsigned CScriptedMidiService::CallCount(Call call) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls[CallIndex(call)];
}

bool CScriptedMidiService::Fails(Call call, MMRESULT& result)
{
    ++m_calls[CallIndex(call)];
    Failure& failure = m_failures[CallIndex(call)];
    if (failure.remaining == 0)
        return false;
    if (failure.remaining > 0)
        --failure.remaining;
    result = failure.result;
    return true;
}

bool CScriptedMidiService::IsOpenHandle(HMIDIIN handle) const
{
    return m_port && handle && m_port->handle == handle;
}

void CScriptedMidiService::Post(UINT message, DWORD_PTR param1, DWORD_PTR param2)
{
    m_port->pending.push_back({message, param1, param2});
    ++m_port->posted;
    m_wake.notify_all();
}

void CScriptedMidiService::WaitForDelivery(std::unique_lock<std::mutex>& lock,
                                           unsigned long posted)
{
    Port* port = m_port.get();
    if (GetCurrentThreadId() == port->threadId)
        return; // called from a callback: the rest follows once it returns
    m_progress.wait(lock, [&] { return m_port.get() != port || port->delivered >= posted; });
}

void CScriptedMidiService::RunCallbacks(Port& port)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    port.threadId = GetCurrentThreadId();
    m_progress.notify_all();
    for (;;) {
        m_wake.wait(lock, [&] { return !port.pending.empty() || port.quit; });
        if (port.pending.empty())
            return;
        const Port::Pending item = port.pending.front();
        port.pending.pop_front();
        lock.unlock();
        port.callback(port.handle, item.message, port.instance, item.param1, item.param2);
        lock.lock();
        ++port.delivered;
        m_progress.notify_all();
    }
}

// ---- service entry points ----

MMRESULT WINAPI CScriptedMidiService::Open(LPHMIDIIN handle, UINT port, DWORD_PTR callback,
                                           DWORD_PTR instance, DWORD flags)
{
    return Active().DoOpen(handle, port, callback, instance, flags);
}

MMRESULT CScriptedMidiService::DoOpen(LPHMIDIIN handle, UINT port, DWORD_PTR callback,
                                      DWORD_PTR instance, DWORD flags)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    MMRESULT result = MMSYSERR_NOERROR;
    if (Fails(Call::Open, result))
        return result;
    if (!handle)
        return MMSYSERR_INVALPARAM;
    if (port >= m_portNames.size())
        return MMSYSERR_BADDEVICEID;
    if ((flags & CALLBACK_TYPEMASK) != CALLBACK_FUNCTION || !callback)
        return MMSYSERR_INVALFLAG;
    if (m_port)
        return MMSYSERR_ALLOCATED;
    m_port = std::make_unique<Port>();
    Port& open = *m_port;
    open.handle = reinterpret_cast<HMIDIIN>(kFirstHandle + kHandleStep * ++m_handlesIssued);
    open.number = port;
    open.callback = reinterpret_cast<MidiInCallback>(callback);
    open.instance = instance;
    open.thread = std::thread([this, &open] { RunCallbacks(open); });
    m_progress.wait(lock, [&] { return open.threadId != 0; });
    *handle = open.handle;
    Post(MIM_OPEN, 0, 0);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI CScriptedMidiService::Close(HMIDIIN handle)
{
    return Active().DoClose(handle);
}

MMRESULT CScriptedMidiService::DoClose(HMIDIIN handle)
{
    std::unique_ptr<Port> port;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        MMRESULT result = MMSYSERR_NOERROR;
        if (Fails(Call::Close, result))
            return result;
        if (!IsOpenHandle(handle))
            return MMSYSERR_INVALHANDLE;
        if (!m_port->held.empty())
            return MIDIERR_STILLPLAYING;
        Post(MIM_CLOSE, 0, 0);
        m_port->quit = true;
        port = std::move(m_port);
        m_progress.notify_all();
    }
    port->thread.join();
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI CScriptedMidiService::Start(HMIDIIN handle)
{
    CScriptedMidiService& service = Active();
    std::lock_guard<std::mutex> lock(service.m_mutex);
    MMRESULT result = MMSYSERR_NOERROR;
    if (service.Fails(Call::Start, result))
        return result;
    if (!service.IsOpenHandle(handle))
        return MMSYSERR_INVALHANDLE;
    service.m_port->started = true;
    ++service.m_starts;
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI CScriptedMidiService::Reset(HMIDIIN handle)
{
    return Active().DoReset(handle);
}

MMRESULT CScriptedMidiService::DoReset(HMIDIIN handle)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    MMRESULT result = MMSYSERR_NOERROR;
    if (Fails(Call::Reset, result))
        return result;
    if (!IsOpenHandle(handle))
        return MMSYSERR_INVALHANDLE;
    m_port->started = false;
    for (MIDIHDR* header : m_port->held) {
        header->dwBytesRecorded = 0;
        header->dwFlags = (header->dwFlags & ~MHDR_INQUEUE) | MHDR_DONE;
        Post(MIM_LONGDATA, reinterpret_cast<DWORD_PTR>(header), 0);
    }
    m_port->held.clear();
    WaitForDelivery(lock, m_port->posted);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI CScriptedMidiService::Prepare(HMIDIIN handle, LPMIDIHDR header, UINT size)
{
    return Active().DoPrepare(handle, header, size);
}

MMRESULT CScriptedMidiService::DoPrepare(HMIDIIN handle, LPMIDIHDR header, UINT size)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    MMRESULT result = MMSYSERR_NOERROR;
    if (Fails(Call::PrepareHeader, result))
        return result;
    if (!IsOpenHandle(handle))
        return MMSYSERR_INVALHANDLE;
    if (!header || size != sizeof(MIDIHDR) || !header->lpData)
        return MMSYSERR_INVALPARAM;
    header->dwFlags |= MHDR_PREPARED;
    m_prepared.insert(header);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI CScriptedMidiService::AddBuffer(HMIDIIN handle, LPMIDIHDR header, UINT size)
{
    return Active().DoAddBuffer(handle, header, size);
}

MMRESULT CScriptedMidiService::DoAddBuffer(HMIDIIN handle, LPMIDIHDR header, UINT size)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    MMRESULT result = MMSYSERR_NOERROR;
    if (Fails(Call::AddBuffer, result))
        return result;
    if (!IsOpenHandle(handle))
        return MMSYSERR_INVALHANDLE;
    if (!header || size != sizeof(MIDIHDR))
        return MMSYSERR_INVALPARAM;
    if (!m_prepared.count(header)) {
        ++m_audit.lentUnprepared;
        return MIDIERR_UNPREPARED;
    }
    if (std::find(m_port->held.begin(), m_port->held.end(), header) != m_port->held.end()) {
        ++m_audit.lentTwice;
        return MIDIERR_STILLPLAYING;
    }
    header->dwFlags = (header->dwFlags & ~MHDR_DONE) | MHDR_INQUEUE;
    header->dwBytesRecorded = 0;
    m_port->held.push_back(header);
    if (!m_arrivalBytes.empty())
        ReturnOldestHeld(MIM_LONGDATA, m_arrivalBytes.data(),
                         static_cast<DWORD>(m_arrivalBytes.size()), 0);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI CScriptedMidiService::Unprepare(HMIDIIN handle, LPMIDIHDR header, UINT size)
{
    return Active().DoUnprepare(handle, header, size);
}

MMRESULT CScriptedMidiService::DoUnprepare(HMIDIIN handle, LPMIDIHDR header, UINT size)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    ++m_atGate;
    m_progress.notify_all();
    m_progress.wait(lock, [this] { return !m_gateClosed; });
    --m_atGate;
    MMRESULT result = MMSYSERR_NOERROR;
    if (Fails(Call::UnprepareHeader, result))
        return result;
    if (!header || size != sizeof(MIDIHDR))
        return MMSYSERR_INVALPARAM;
    if (!m_prepared.count(header)) {
        ++m_audit.unpreparedUnknown;
        return MMSYSERR_NOERROR; // as winmm: unpreparing an unprepared header succeeds
    }
    if (m_port && std::find(m_port->held.begin(), m_port->held.end(), header)
                      != m_port->held.end()) {
        ++m_audit.unpreparedWhileHeld;
        return MIDIERR_STILLPLAYING;
    }
    // A header of a port that has been closed since is forgotten with its port.
    m_prepared.erase(header);
    header->dwFlags &= ~MHDR_PREPARED;
    return IsOpenHandle(handle) ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
}

MMRESULT WINAPI CScriptedMidiService::GetErrorText(MMRESULT code, LPSTR text, UINT size)
{
    CScriptedMidiService& service = Active();
    std::lock_guard<std::mutex> lock(service.m_mutex);
    MMRESULT result = MMSYSERR_NOERROR;
    if (service.Fails(Call::GetErrorText, result))
        return result;
    const char* known = ErrorText(code);
    if (!known)
        return MMSYSERR_BADERRNUM;
    if (!text || size == 0)
        return MMSYSERR_INVALPARAM;
    const std::size_t copied = std::min<std::size_t>(std::strlen(known), size - 1);
    std::memcpy(text, known, copied);
    text[copied] = '\0';
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI CScriptedMidiService::GetDevCaps(UINT_PTR port, LPMIDIINCAPSA caps, UINT size)
{
    return Active().DoGetDevCaps(port, caps, size);
}

MMRESULT CScriptedMidiService::DoGetDevCaps(UINT_PTR port, LPMIDIINCAPSA caps, UINT size)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    MMRESULT result = MMSYSERR_NOERROR;
    if (Fails(Call::GetDevCaps, result))
        return result;
    if (port >= m_portNames.size())
        return MMSYSERR_BADDEVICEID;
    if (!caps || size < sizeof(MIDIINCAPSA))
        return MMSYSERR_INVALPARAM;
    *caps = MIDIINCAPSA();
    caps->wMid = kScriptedMaker;
    caps->wPid = static_cast<WORD>(port);
    std::snprintf(caps->szPname, sizeof(caps->szPname), "%s", m_portNames[port].c_str());
    return MMSYSERR_NOERROR;
}

UINT WINAPI CScriptedMidiService::GetNumDevs()
{
    CScriptedMidiService& service = Active();
    std::lock_guard<std::mutex> lock(service.m_mutex);
    ++service.m_calls[CallIndex(Call::GetNumDevs)];
    return static_cast<UINT>(service.m_portNames.size());
}

// A refused creation fails as the system's own does: null, with the reason as last error.
bool CScriptedMidiService::RefusesCreation(Call call)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    MMRESULT refused = MMSYSERR_NOERROR;
    if (!Fails(call, refused))
        return false;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return true;
}

HANDLE WINAPI CScriptedMidiService::CreateThreadHook(LPSECURITY_ATTRIBUTES security,
                                                     SIZE_T stackSize,
                                                     LPTHREAD_START_ROUTINE routine,
                                                     LPVOID argument, DWORD flags,
                                                     LPDWORD threadId)
{
    CScriptedMidiService& service = Active();
    if (service.RefusesCreation(Call::CreateThread))
        return nullptr;
    HANDLE thread = ::CreateThread(security, stackSize, routine, argument, flags, threadId);
    HANDLE copy = nullptr;
    if (thread)
        DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &copy, SYNCHRONIZE,
                        FALSE, 0);
    std::lock_guard<std::mutex> lock(service.m_mutex);
    if (service.m_lastThread)
        CloseHandle(service.m_lastThread);
    service.m_lastThread = copy;
    return thread;
}

HANDLE WINAPI CScriptedMidiService::CreateEventHook(LPSECURITY_ATTRIBUTES security,
                                                    BOOL manualReset, BOOL initialState,
                                                    LPCSTR name)
{
    if (Active().RefusesCreation(Call::CreateEvent))
        return nullptr;
    return ::CreateEventA(security, manualReset, initialState, name);
}

} // namespace fakemidi
