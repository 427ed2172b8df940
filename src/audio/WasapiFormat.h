#pragma once
// The wave formats of Windows audio as the device block writes them: the frame layout a
// device format describes, and the formats exclusive mode is asked for.

#include "audio/InterleavedBlock.h"

#include <windows.h>
#include <mmreg.h>

// The frame layout `format` describes; channels 0 for one the block cannot write (8-bit,
// 64-bit float, another subtype, an inconsistent block size).
InterleavedFormat FormatOf(const WAVEFORMATEX* format);

// An exclusive-mode format: `channels` samples of `bits`, float or integer, at `rate`.
WAVEFORMATEXTENSIBLE ExclusiveFormat(WORD channels, DWORD rate, WORD bits, bool isFloat);
