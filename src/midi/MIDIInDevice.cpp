#include "midi/MIDIInDevice.h"

#include "midi/MIDIInExceptions.h"
#include "midi/MIDIInService.h"

namespace midi {

static_assert(sizeof(MIDIINCAPSA) == 44, "published MIDIINCAPSA layout");

CMIDIInDevice::CMIDIInDevice()
    : m_handle(nullptr), m_event(nullptr), m_releaseThread(nullptr), m_receiver(nullptr),
      m_state(kClosed), m_returnedBuffers(0), m_bufferDeliveries(0)
{
    m_event = Service().createEvent(nullptr, FALSE, FALSE, nullptr);
    if (!m_event)
        throw CMIDIInEventFailure();
}

CMIDIInDevice::~CMIDIInDevice()
{
    CloseInDestructor();
    CloseHandle(m_event);
}

void CMIDIInDevice::Open(UINT port)
{
    Close();
    HMIDIIN handle = nullptr;
    const MMRESULT result = Service().midiInOpen(
        &handle, port, reinterpret_cast<DWORD_PTR>(&MidiInCallback),
        reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION);
    if (result != MMSYSERR_NOERROR)
        throw CMIDIInException(result);
    m_handle.store(handle);
    m_state.store(kOpened);
}

void CMIDIInDevice::Close()
{
    Stop();
    if (m_state.load() != kOpened)
        return;
    // Buffers lent while opened are still with the port, which refuses to close over them.
    if (m_queue.Count() != 0)
        FlushPort();
    const MMRESULT result = Service().midiInClose(m_handle.load());
    if (result != MMSYSERR_NOERROR)
        throw CMIDIInException(result);
    m_state.store(kClosed);
    m_handle.store(nullptr);
}

void CMIDIInDevice::Start()
{
    if (m_state.load() != kOpened)
        return;
    m_returnedBuffers.store(0);
    // Started before anything else, so buffers the port returns at once are delivered.
    m_state.store(kStarted);
    m_releaseThread = Service().createThread(nullptr, 0, &HeaderReleaseThread, this, 0, nullptr);
    if (!m_releaseThread) {
        m_state.store(kOpened);
        WaitForBufferDeliveries();
        throw CMIDIInException(MMSYSERR_NOMEM);
    }
    const MMRESULT result = Service().midiInStart(m_handle.load());
    if (result == MMSYSERR_NOERROR)
        return;
    m_state.store(kOpened);
    WaitForBufferDeliveries();
    EndReleaseThread();
    throw CMIDIInException(result);
}

void CMIDIInDevice::Stop() noexcept
{
    if (m_state.load() != kStarted)
        return;
    m_state.store(kOpened);
    // A delivery that saw the started state may still lend a buffer; it must reach the port
    // before the reset hands everything back.
    WaitForBufferDeliveries();
    EndReleaseThread();
    FlushPort();
}

void CMIDIInDevice::QueueSysExBuffer(char* buffer, DWORD length)
{
    m_queue.Lend(m_handle.load(), buffer, length);
}

CMIDIInReceiver* CMIDIInDevice::AttachReceiver(CMIDIInReceiver* receiver) noexcept
{
    return m_receiver.exchange(receiver);
}

void CMIDIInDevice::GetPortCaps(UINT port, MIDIINCAPSA* caps)
{
    const MMRESULT result = Service().midiInGetDevCapsA(port, caps, sizeof(MIDIINCAPSA));
    if (result != MMSYSERR_NOERROR)
        throw CMIDIInException(result);
}

UINT CMIDIInDevice::GetNumPorts()
{
    return Service().midiInGetNumDevs();
}

void CALLBACK CMIDIInDevice::MidiInCallback(HMIDIIN, UINT message, DWORD_PTR instance,
                                            DWORD_PTR param1, DWORD_PTR param2)
{
    CMIDIInDevice& device = *reinterpret_cast<CMIDIInDevice*>(instance);
    CMIDIInReceiver* receiver = device.m_receiver.load(std::memory_order_acquire);
    if (!receiver)
        return;
    const DWORD word = static_cast<DWORD>(param1);
    const DWORD timestamp = static_cast<DWORD>(param2);
    // A receiver's exception must never unwind into the service's thread.
    try {
        switch (message) {
        case MIM_DATA:
            receiver->OnShortMessage(word, timestamp);
            break;
        case MIM_ERROR:
            receiver->OnShortMessageError(word, timestamp);
            break;
        case MIM_LONGDATA:
        case MIM_LONGERROR:
            device.DeliverBuffer(*receiver, message, *reinterpret_cast<const MIDIHDR*>(param1),
                                 timestamp);
            break;
        default: // MIM_OPEN, MIM_CLOSE, MIM_MOREDATA and the rest
            break;
        }
    } catch (...) {
    }
}

void CMIDIInDevice::DeliverBuffer(CMIDIInReceiver& receiver, UINT message,
                                  const MIDIHDR& header, DWORD timestamp) noexcept
{
    // Announced before the state is read, so Stop either sees this delivery or this delivery
    // sees Stop's state change (both sequentially consistent).
    m_bufferDeliveries.fetch_add(1);
    if (m_state.load() == kStarted) {
        try {
            if (message == MIM_LONGDATA)
                receiver.OnSysExBuffer(header.lpData, header.dwBytesRecorded, timestamp);
            else
                receiver.OnSysExError(header.lpData, header.dwBytesRecorded, timestamp);
        } catch (...) {
        }
        m_returnedBuffers.fetch_add(1);
        SetEvent(m_event);
    }
    m_bufferDeliveries.fetch_sub(1);
}

DWORD WINAPI CMIDIInDevice::HeaderReleaseThread(LPVOID argument)
{
    CMIDIInDevice& device = *static_cast<CMIDIInDevice*>(argument);
    LONG released = 0;
    while (device.m_state.load() == kStarted) {
        WaitForSingleObject(device.m_event, INFINITE);
        if (device.m_state.load() != kStarted)
            break;
        // The port hands buffers back in the order they were lent, so the oldest headers are
        // the returned ones. Only counted returns are released: a signal left over from an
        // earlier start finds nothing counted, and signals that collapsed into one wake-up
        // are all served by it.
        const LONG returned = device.m_returnedBuffers.load();
        while (released != returned && device.m_queue.ReleaseOldest())
            ++released;
    }
    return 0;
}

void CMIDIInDevice::WaitForBufferDeliveries() const noexcept
{
    while (m_bufferDeliveries.load() != 0)
        Sleep(0);
}

void CMIDIInDevice::EndReleaseThread() noexcept
{
    SetEvent(m_event);
    WaitForSingleObject(m_releaseThread, INFINITE);
    CloseHandle(m_releaseThread);
    m_releaseThread = nullptr;
}

void CMIDIInDevice::FlushPort() noexcept
{
    // The port hands back every lent buffer; the callback ignores them (not started).
    Service().midiInReset(m_handle.load());
    m_queue.ReleaseAll();
}

void CMIDIInDevice::CloseInDestructor() noexcept
{
    try {
        Close();
        return;
    } catch (const CMIDIInException&) {
    }
    // One more try after taking back whatever the port may still hold.
    FlushPort();
    try {
        Close();
        return;
    } catch (const CMIDIInException&) {
    }
    // The port will not close: its handle is abandoned. Its headers are released as far as
    // the port lets go of them; the error itself goes nowhere.
}

} // namespace midi
