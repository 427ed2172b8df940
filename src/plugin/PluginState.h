#pragma once
// The instrument's state as program and bank files: what is captured from a loaded plug-in
// and how a file is applied to it. A plug-in that keeps its programs in chunks (flag bit 5)
// gives and takes its chunk; any other gives and takes every program's name and parameter
// values, each program selected in turn and the current one selected again afterwards.
//
// User-interface thread. Applying, and capturing a bank program by program, run under a render
// pause: the plug-in never renders inside a chunk or program change, and the audio renders
// silence meanwhile.

#include "plugin/PresetFile.h"
#include "plugin/VstPlugin.h"

#include <string>

namespace preset {

// What a capture gives: the file, or why the instrument's state cannot be saved. A failed
// capture must replace no file: a chunk the plug-in does not give (a null pointer, a size of
// 0 or less, more than a file can hold, memory that cannot be read), a call that faults, or a
// bank without the programs the instrument has.
struct Capture {
    File file;
    std::string failure;  // empty when the file holds the state
    bool Ok() const { return failure.empty(); }
};

Capture CaptureBank(CVstPlugin& plugin);
Capture CaptureProgram(CVstPlugin& plugin);

enum class ApplyError {
    None,
    OtherInstrument,  // the file's id is not the plug-in's unique id
    NeedsChunks,      // a chunk file for a plug-in that takes no chunks
};

const char* Describe(ApplyError error);

// Applies a program to the current program or a bank to all programs, selecting the bank's
// current program. Nothing is changed when the file does not belong to this plug-in.
ApplyError Apply(CVstPlugin& plugin, const File& file);

} // namespace preset
