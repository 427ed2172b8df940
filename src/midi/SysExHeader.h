#pragma once
// One lent system-exclusive buffer as the port sees it: the handle it was prepared for and
// the MIDIHDR that wraps the caller's buffer. The header never owns the buffer.

#include <windows.h>
#include <mmsystem.h>

namespace midi {

class CSysExHeader {
public:
    // Prepares the header for the port; throws CMIDIInException when the service refuses.
    CSysExHeader(HMIDIIN handle, char* buffer, DWORD length);
    CSysExHeader(const CSysExHeader&) = delete;
    CSysExHeader& operator=(const CSysExHeader&) = delete;

    // Lends the buffer to the port.
    MMRESULT Submit();

    // Unprepares the header. False only while the port still holds it (MIDIERR_STILLPLAYING):
    // such a header must stay alive. Any other failure means the port no longer knows it.
    bool Unprepare();

    const MIDIHDR& Header() const { return m_header; }

private:
    HMIDIIN m_handle;
    MIDIHDR m_header;
};

} // namespace midi
