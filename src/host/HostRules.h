#pragma once
// The instrument view's rules that need no operating system: where the instrument library and
// the kept bank are, which rate a settings code asks for, how a MIDI short message splits, the
// program title and the stepping between programs.
// Portable: built and tested natively too.

#include "plugin/VstInterface.h"

#include <cstdint>
#include <string>

namespace host {

// The library the program plays: `directory` (ending in a separator) + the base name of
// `modulePath` (no folder, no extension) + ".dll".
std::string InstrumentLibraryPath(const std::string& directory, const std::string& modulePath);

// The bank the instrument's last state is kept in: `directory` + the base name of
// `modulePath` + ".fxb" (Piano.fxb beside the settings for Piano.exe).
std::string AutosaveBankPath(const std::string& directory, const std::string& modulePath);

// Whether a document name asks for a single program (".fxp", any letter case) rather than a
// bank.
bool IsProgramFileName(const std::string& path);

// Sample-rate codes of the settings file.
constexpr int kRateCode44100 = 0;
constexpr int kRateCode48000 = 1;
constexpr int kRateCode96000 = 2;
// The rate in Hz a code asks for; 0 for a code that asks for no change.
int SampleRateForCode(int code);
// The code of a rate in Hz; kRateCode44100 for a rate without one.
int CodeForSampleRate(double rate);

// The status bar's line about an open audio device: its name, rate, period and output
// latency, "Speakers: 48000 Hz, 10.0 ms period, 30.0 ms output latency"; a figure the device
// cannot tell is left out.
std::string DeviceLatencyText(const std::string& device, double rate, double periodSeconds,
                              double latencySeconds);

struct ShortMessage {
    std::uint8_t status;  // command in the high nibble, channel in the low one
    std::uint8_t data1;
    std::uint8_t data2;
};
// Status in bits 0-7, data 1 in bits 8-15, data 2 in bits 16-23; the top byte is ignored.
ShortMessage SplitShortMessage(std::uint32_t word);

// Whether a window class is a text field's: the system's edit control ("Edit") or a
// rich-edit control ("RichEdit", "RichEdit20A", "RICHEDIT50W", ...), in any letter case.
// Editor windows named "...Editor..." are not.
bool IsTextFieldClass(const std::string& className);

// The caption for a program: the application name, " - " and the program's name.
std::string ProgramTitle(const char* programName);

// The program a step leads to, or -1 when the step goes nowhere (already at that end).
int PreviousProgram(int current);
int NextProgram(int current, int programCount);

// Menu commands of the programs: program i has kFirstProgramCommand + i; only the first
// kSelectablePrograms have a handler, the rest are listed disabled.
constexpr unsigned kFirstProgramCommand = 200;
constexpr unsigned kSelectablePrograms = 80;
constexpr unsigned kPreviousProgramCommand = 990;
constexpr unsigned kNextProgramCommand = 991;
// The Presets menu lists at most this many programs; one disabled item after them tells how
// many more the stepping commands reach.
constexpr int kListedPrograms = 128;
constexpr unsigned kMoreProgramsCommand = 989;
std::string MoreProgramsText(int morePrograms);

} // namespace host
