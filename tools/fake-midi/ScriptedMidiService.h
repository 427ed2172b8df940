#pragma once
// A scripted MIDI input service for tests and demo runs, where no real MIDI port exists.
//
// Constructing a CScriptedMidiService installs it into the device's service seam; destroying it
// restores what was installed before. Only one may exist at a time. It offers the named ports;
// one of them can be open at a time. Like a real port it:
//   - calls the device's callback on a thread of its own, in order (MIM_OPEN, MIM_CLOSE, and
//     whatever the test sends), while the controlling thread goes on;
//   - holds lent buffers in the order they came and returns the oldest, filled, with
//     MIM_LONGDATA (or MIM_LONGERROR);
//   - hands every held buffer back on reset, and returns from reset only once those callbacks
//     are done; refuses to close while it holds buffers; refuses to unprepare a held header.
// Every call can be made to fail with a chosen result, and an audit counts what a device must
// never do (unprepare a header the port holds, unprepare one twice, leave one prepared).

#include "midi/MIDIInService.h"

#include <windows.h>
#include <mmsystem.h>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

namespace fakemidi {

enum class Call {
    Open, Close, Start, Reset, PrepareHeader, AddBuffer, UnprepareHeader,
    GetErrorText, GetDevCaps, GetNumDevs, CreateThread, CreateEvent,
};
constexpr std::size_t kCallKinds = 12;

struct Audit {
    unsigned prepared = 0;            // headers prepared and not unprepared
    unsigned unpreparedWhileHeld = 0; // unprepare asked for a header the port still held
    unsigned unpreparedUnknown = 0;   // unprepare asked for a header not prepared (released twice)
    unsigned lentUnprepared = 0;      // a header lent without preparation
    unsigned lentTwice = 0;           // a header lent while the port already held it
};

class CScriptedMidiService {
public:
    static constexpr int kAlways = -1;

    explicit CScriptedMidiService(std::vector<std::string> portNames = {"Scripted MIDI In"});
    ~CScriptedMidiService();
    CScriptedMidiService(const CScriptedMidiService&) = delete;
    CScriptedMidiService& operator=(const CScriptedMidiService&) = delete;

    // The next `times` calls of `call` (kAlways: all) fail with `result` and do nothing else.
    // A failing CreateThread or CreateEvent returns null.
    void FailCall(Call call, MMRESULT result, int times = kAlways);
    void ClearFailures();
    unsigned CallCount(Call call) const;

    // What the open port does next. False when no port is open (or no buffer is held).
    bool SendShortMessage(DWORD message, DWORD timestamp);
    bool SendShortError(DWORD message, DWORD timestamp);
    bool ReturnBuffer(const void* bytes, DWORD count, DWORD timestamp);
    bool ReturnBufferWithError(const void* bytes, DWORD count, DWORD timestamp);
    // Waits until every callback posted so far has returned.
    void WaitForCallbacks();

    bool IsOpen() const;
    bool IsStarted() const;
    unsigned StartCount() const; // successful midiInStart calls so far
    UINT OpenPort() const; // valid while open
    std::vector<char*> HeldBuffers() const; // lpData of the held buffers, oldest first
    DWORD OldestHeldLength() const;         // its dwBufferLength; 0 when none is held
    DWORD CallbackThreadId() const;
    Audit GetAudit() const;
    // True while `data` is in a header that is prepared.
    bool IsPrepared(const char* data) const;

    // While closed, midiInUnprepareHeader blocks (a slow port), so a test can line up events
    // behind a release that is under way.
    void CloseUnprepareGate();
    void OpenUnprepareGate();
    // Waits until a call is blocked at the closed gate.
    void WaitAtUnprepareGate();

    // A quick port: every lent buffer comes back filled with `bytes` at once, possibly before
    // midiInAddBuffer has returned to the lender. Empty `bytes`: off.
    void ReturnOnArrival(std::string bytes);

    // A port under load: a thread of the service sends short messages and returns every held
    // buffer as fast as the callback thread takes them, until StopFlood.
    void StartFlood();
    void StopFlood();
    unsigned long FloodedBuffers() const { return m_floodBuffers.load(); }
    unsigned long FloodedShortMessages() const { return m_floodShorts.load(); }

    // The thread the last successful CreateThread call made (the device's release thread),
    // still open for waiting; null before the first.
    HANDLE LastCreatedThread() const;

private:
    struct Port;
    struct Failure {
        MMRESULT result = MMSYSERR_NOERROR;
        int remaining = 0;
    };

    // Service entry points, routed to the one live instance.
    static MMRESULT WINAPI Open(LPHMIDIIN, UINT, DWORD_PTR, DWORD_PTR, DWORD);
    static MMRESULT WINAPI Close(HMIDIIN);
    static MMRESULT WINAPI Start(HMIDIIN);
    static MMRESULT WINAPI Reset(HMIDIIN);
    static MMRESULT WINAPI Prepare(HMIDIIN, LPMIDIHDR, UINT);
    static MMRESULT WINAPI AddBuffer(HMIDIIN, LPMIDIHDR, UINT);
    static MMRESULT WINAPI Unprepare(HMIDIIN, LPMIDIHDR, UINT);
    static MMRESULT WINAPI GetErrorText(MMRESULT, LPSTR, UINT);
    static MMRESULT WINAPI GetDevCaps(UINT_PTR, LPMIDIINCAPSA, UINT);
    static UINT WINAPI GetNumDevs();
    static HANDLE WINAPI CreateThreadHook(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE,
                                          LPVOID, DWORD, LPDWORD);
    static HANDLE WINAPI CreateEventHook(LPSECURITY_ATTRIBUTES, BOOL, BOOL, LPCSTR);
    static const midi::MIDIInService kTable;

    MMRESULT DoOpen(LPHMIDIIN handle, UINT port, DWORD_PTR callback, DWORD_PTR instance,
                    DWORD flags);
    MMRESULT DoClose(HMIDIIN handle);
    MMRESULT DoReset(HMIDIIN handle);
    MMRESULT DoPrepare(HMIDIIN handle, LPMIDIHDR header, UINT size);
    MMRESULT DoAddBuffer(HMIDIIN handle, LPMIDIHDR header, UINT size);
    MMRESULT DoUnprepare(HMIDIIN handle, LPMIDIHDR header, UINT size);
    MMRESULT DoGetDevCaps(UINT_PTR port, LPMIDIINCAPSA caps, UINT size);

    // Counts the call; true (with the result) when it is to fail.
    bool Fails(Call call, MMRESULT& result);
    bool RefusesCreation(Call call); // Fails for CreateThread/CreateEvent, with the lock taken
    bool IsOpenHandle(HMIDIIN handle) const; // with the lock held
    void Post(UINT message, DWORD_PTR param1, DWORD_PTR param2); // with the lock held
    bool ReturnOldest(UINT message, const void* bytes, DWORD count, DWORD timestamp);
    bool ReturnOldestHeld(UINT message, const void* bytes, DWORD count, DWORD timestamp);
    void WaitForDelivery(std::unique_lock<std::mutex>& lock, unsigned long posted);
    void RunCallbacks(Port& port);
    void RunFlood();

    const std::vector<std::string> m_portNames;
    const midi::MIDIInService* m_previous;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;     // the callback thread has work
    std::condition_variable m_progress; // a callback returned, or the gate opened
    std::unique_ptr<Port> m_port;
    unsigned m_handlesIssued = 0;
    unsigned m_starts = 0;
    std::array<Failure, kCallKinds> m_failures{};
    std::array<unsigned, kCallKinds> m_calls{};
    std::unordered_set<const MIDIHDR*> m_prepared;
    Audit m_audit;
    std::string m_arrivalBytes;
    bool m_gateClosed = false;
    unsigned m_atGate = 0;
    std::thread m_flood;
    std::atomic<bool> m_flooding{false};
    std::atomic<unsigned long> m_floodBuffers{0};
    std::atomic<unsigned long> m_floodShorts{0};
    HANDLE m_lastThread = nullptr;
};

} // namespace fakemidi
