#pragma once
// One input port of the MIDI input service, handing every event to one receiver.
//
// Protocol, as the host uses it: construct; AttachReceiver; Open(port); Start;
// QueueSysExBuffer. From then on the receiver runs on the service's callback thread and may
// lend its buffer again from OnSysExBuffer. To re-configure: Stop, then Open another port (or
// Close). The destructor closes the port.
//
// Three threads meet here. The controlling thread calls every operation. The service's
// callback thread runs MidiInCallback: short messages and errors reach the receiver in every
// state, returned buffers only while started, and each returned buffer is counted and
// signalled after the receiver saw it. The release thread of each start wakes on the signal
// and releases as many of the oldest headers as the callback counted, so signals that collapse
// into one wake-up lose no release and a signal left over from an earlier start releases
// nothing. Stop waits until no returned-buffer delivery is under way (the receiver may be
// lending again), ends the release thread, resets the port, which hands back every buffer, and
// releases every header. The header queue's lock is the only lock; the callback takes none.

#include "midi/MIDIInReceiver.h"
#include "midi/SysExHeaderQueue.h"

#include <windows.h>
#include <mmsystem.h>

#include <atomic>

namespace midi {

class CMIDIInDevice {
public:
    enum State : LONG { kClosed = 0, kOpened = 1, kStarted = 2 };

    // Throws CMIDIInEventFailure when the signalling event cannot be created.
    CMIDIInDevice();
    // Closes the port; a failing close never leaves the destructor.
    virtual ~CMIDIInDevice();
    CMIDIInDevice(const CMIDIInDevice&) = delete;
    CMIDIInDevice& operator=(const CMIDIInDevice&) = delete;

    // Closes any open port, then opens `port`; closed again if that fails (CMIDIInException).
    void Open(UINT port);
    // Stops a started port, releases its headers and closes it. On a failing close the device
    // stays opened (CMIDIInException). Does nothing when closed.
    void Close();
    // Starts input on an opened port; does nothing in other states. On failure
    // (CMIDIInException) the device is opened again, with no release thread.
    void Start();
    // Stops input: release thread ended, port reset, every header released. Does nothing
    // unless started. Never throws.
    void Stop() noexcept;

    // Lends `buffer` to the port for system-exclusive data. CMIDIInMemFailure when too many
    // buffers are lent; CMIDIInException when the port refuses it (for example when closed).
    // The buffer must stay valid until Stop, Close or the receiver has it back.
    void QueueSysExBuffer(char* buffer, DWORD length);

    // Sets the receiver (null: none) and returns the previous one. Attach before Open; do not
    // change it while started.
    CMIDIInReceiver* AttachReceiver(CMIDIInReceiver* receiver) noexcept;

    State GetState() const noexcept { return static_cast<State>(m_state.load()); }

    // Fills `caps` for `port` (below GetNumPorts()); CMIDIInException on failure.
    static void GetPortCaps(UINT port, MIDIINCAPSA* caps);
    // The number of input ports the service offers.
    static UINT GetNumPorts();

private:
    static void CALLBACK MidiInCallback(HMIDIIN handle, UINT message, DWORD_PTR instance,
                                        DWORD_PTR param1, DWORD_PTR param2);
    static DWORD WINAPI HeaderReleaseThread(LPVOID device);

    void DeliverBuffer(CMIDIInReceiver& receiver, UINT message, const MIDIHDR& header,
                       DWORD timestamp) noexcept;
    void WaitForBufferDeliveries() const noexcept;
    void EndReleaseThread() noexcept;
    void FlushPort() noexcept;
    void CloseInDestructor() noexcept;

    std::atomic<HMIDIIN> m_handle;
    HANDLE m_event;
    HANDLE m_releaseThread;
    std::atomic<CMIDIInReceiver*> m_receiver;
    CSysExHeaderQueue m_queue;
    std::atomic<LONG> m_state;
    // Buffers the callback handed to the receiver during the current start.
    std::atomic<LONG> m_returnedBuffers;
    // Returned-buffer deliveries under way on the callback thread.
    std::atomic<LONG> m_bufferDeliveries;
};

} // namespace midi
