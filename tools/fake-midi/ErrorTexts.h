#pragma once
// The texts the scripted MIDI input service gives for its error codes. One is longer than the
// 127 characters an error text buffer of 128 holds, one exactly 127 long.

#include <windows.h>
#include <mmsystem.h>

namespace fakemidi {

// The code whose text is longer than 127 characters.
constexpr MMRESULT kLongTextError = MMSYSERR_NODRIVER;
// The code whose text is exactly 127 characters long.
constexpr MMRESULT kFullTextError = MMSYSERR_NOTSUPPORTED;

// The service's full text for `result`; null for a code it does not know.
const char* ErrorText(MMRESULT result);

} // namespace fakemidi
