#include "midi/SysExHeader.h"

#include "midi/MIDIInExceptions.h"
#include "midi/MIDIInService.h"

namespace midi {

CSysExHeader::CSysExHeader(HMIDIIN handle, char* buffer, DWORD length)
    : m_handle(handle), m_header()
{
    m_header.lpData = buffer;
    m_header.dwBufferLength = length;
    const MMRESULT result = Service().midiInPrepareHeader(m_handle, &m_header, sizeof(m_header));
    if (result != MMSYSERR_NOERROR)
        throw CMIDIInException(result);
}

MMRESULT CSysExHeader::Submit()
{
    return Service().midiInAddBuffer(m_handle, &m_header, sizeof(m_header));
}

bool CSysExHeader::Unprepare()
{
    return Service().midiInUnprepareHeader(m_handle, &m_header, sizeof(m_header))
        != MIDIERR_STILLPLAYING;
}

} // namespace midi
