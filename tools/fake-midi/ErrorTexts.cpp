#include "ErrorTexts.h"

namespace fakemidi {
namespace {

struct Entry {
    MMRESULT result;
    const char* text;
};

const Entry kTexts[] = {
    {MMSYSERR_NOERROR, "The operation completed successfully."},
    {MMSYSERR_ERROR, "Unspecified error."},
    {MMSYSERR_BADDEVICEID, "The port number is out of the range of scripted MIDI input ports."},
    {MMSYSERR_ALLOCATED, "The scripted MIDI input port is already in use."},
    {MMSYSERR_INVALHANDLE, "The handle does not name an open scripted MIDI input port."},
    {kLongTextError,
     "The scripted MIDI input port has no driver behind it. This text runs on well past one "
     "hundred and twenty-seven characters, so that whoever shows it has to cut it somewhere "
     "sensible."},
    {MMSYSERR_NOMEM, "Not enough memory for the scripted MIDI input port."},
    {kFullTextError,
     "This scripted MIDI input port does not support the function. The text is exactly one "
     "hundred and twenty-seven characters......."},
    {MMSYSERR_INVALFLAG, "An invalid flag was passed to the scripted MIDI input service."},
    {MMSYSERR_INVALPARAM, "An invalid parameter was passed to the scripted MIDI input service."},
    {MIDIERR_UNPREPARED, "The buffer header has not been prepared."},
    {MIDIERR_STILLPLAYING, "Buffers are still lent to the scripted MIDI input port."},
};

} // namespace

const char* ErrorText(MMRESULT result)
{
    for (const Entry& entry : kTexts)
        if (entry.result == result)
            return entry.text;
    return nullptr;
}

} // namespace fakemidi
