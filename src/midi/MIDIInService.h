#pragma once
// The MIDI input service as the device reaches it: one table of the winmm input calls.
//
// The default table is winmm itself. Tests install a scripted port instead, because Wine offers
// no MIDI input port here. A call through the table costs one pointer load more than the call
// through the import table that it replaces. Install a table only while no device is open: the
// device keeps using the handles and callbacks of the service that opened its port.

#include <windows.h>
#include <mmsystem.h>

namespace midi {

struct MIDIInService {
    MMRESULT (WINAPI* midiInOpen)(LPHMIDIIN handle, UINT port, DWORD_PTR callback,
                                  DWORD_PTR instance, DWORD flags);
    MMRESULT (WINAPI* midiInClose)(HMIDIIN handle);
    MMRESULT (WINAPI* midiInStart)(HMIDIIN handle);
    MMRESULT (WINAPI* midiInReset)(HMIDIIN handle);
    MMRESULT (WINAPI* midiInPrepareHeader)(HMIDIIN handle, LPMIDIHDR header, UINT size);
    MMRESULT (WINAPI* midiInAddBuffer)(HMIDIIN handle, LPMIDIHDR header, UINT size);
    MMRESULT (WINAPI* midiInUnprepareHeader)(HMIDIIN handle, LPMIDIHDR header, UINT size);
    MMRESULT (WINAPI* midiInGetErrorTextA)(MMRESULT result, LPSTR text, UINT size);
    MMRESULT (WINAPI* midiInGetDevCapsA)(UINT_PTR port, LPMIDIINCAPSA caps, UINT size);
    UINT (WINAPI* midiInGetNumDevs)();
    // Not a winmm call: how the device starts its header release thread, so that a test can
    // refuse it. The default is CreateThread.
    HANDLE (WINAPI* createThread)(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize,
                                  LPTHREAD_START_ROUTINE routine, LPVOID argument, DWORD flags,
                                  LPDWORD threadId);
    // Not a winmm call either: how the device makes its signalling event. The default is
    // CreateEventA.
    HANDLE (WINAPI* createEvent)(LPSECURITY_ATTRIBUTES security, BOOL manualReset,
                                 BOOL initialState, LPCSTR name);
};

// winmm's own functions.
const MIDIInService& WinmmService();

// The table every call goes through.
const MIDIInService& Service();

// Makes `table` the current service (null: winmm again) and returns the one it replaces.
// The table must outlive its installation.
const MIDIInService* InstallService(const MIDIInService* table);

} // namespace midi
