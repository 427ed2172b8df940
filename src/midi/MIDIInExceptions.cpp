#include "midi/MIDIInExceptions.h"

#include "midi/MIDIInService.h"

#include <cstdio>

namespace midi {

CMIDIInException::CMIDIInException(MMRESULT result) noexcept
{
    m_text[0] = '\0';
    const MMRESULT status = Service().midiInGetErrorTextA(result, m_text, kTextSize);
    // A service that knows no text (or writes an unterminated one) still gives a readable,
    // terminated message.
    m_text[kTextSize - 1] = '\0';
    if (status != MMSYSERR_NOERROR || m_text[0] == '\0')
        std::snprintf(m_text, kTextSize, "MIDI input service error %u.",
                      static_cast<unsigned>(result));
}

const char* CMIDIInEventFailure::what() const noexcept
{
    return "Unable to create a signalling event for CMIDIInDevice object.";
}

const char* CMIDIInMemFailure::what() const noexcept
{
    return "Memory allocation within a CMIDIInDevice object failed.";
}

} // namespace midi
