#pragma once
// The VST 2 preset files other hosts read and write: a program (.fxp) and a bank (.fxb), each
// either as parameter values or as the plug-in's opaque chunk. Every field is big-endian.
//
//   offset  program (.fxp)                      bank (.fxb)
//   0       'CcnK'                              'CcnK'
//   4       byte size of the rest (file - 8)    byte size of the rest (file - 8)
//   8       'FxCk' parameters | 'FPCh' chunk    'FxBk' programs | 'FBCh' chunk
//   12      format version (1)                  format version (1, or 2 with the current
//   16      plug-in's unique id                   program)
//   20      plug-in's version                   plug-in's unique id, version (16, 20)
//   24      parameter count                     program count
//   28      program name, 28 bytes              version 2: current program, then 124 bytes
//                                               reserved; version 1: 128 bytes reserved
//   56      FxCk: one float per parameter       (156) FxBk: one program record (a whole
//           FPCh: chunk size, then the chunk          'CcnK' program as above) per program
//                                               FBCh: chunk size, then the chunk
//
// Reading is defensive: every count and size is checked against the bytes the file holds and
// against the limits below before anything is allocated, so a damaged or hostile file is
// refused with a reason and never read beyond its end. Portable: no operating system calls.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace preset {

enum class Form {
    ProgramParameters,  // 'FxCk'
    ProgramChunk,       // 'FPCh'
    BankPrograms,       // 'FxBk'
    BankChunk,          // 'FBCh'
};

// One program of a parameter bank, or the program of a program file.
struct Program {
    std::string name;  // at most kProgramNameBytes - 1 characters
    std::vector<float> parameters;
};

struct File {
    Form form = Form::BankPrograms;
    std::int32_t formatVersion = 1;
    std::int32_t pluginId = 0;
    std::int32_t pluginVersion = 0;
    // Program forms: the program (its parameters for ProgramParameters).
    Program program;
    // Bank forms: the programs (BankPrograms), or their count (BankChunk).
    std::vector<Program> programs;
    std::int32_t programCount = 0;
    // Version 2 banks: the program that was current; -1 when the file does not say.
    std::int32_t currentProgram = -1;
    // Chunk forms: the plug-in's own bytes; a chunk program's header also tells the plug-in's
    // parameter count.
    std::vector<std::uint8_t> chunk;
    std::int32_t parameterCount = 0;
};

constexpr std::size_t kProgramNameBytes = 28;
// Far beyond any real instrument, well below what would exhaust memory.
constexpr std::size_t kMaxFileBytes = 256u << 20;
constexpr std::int32_t kMaxParameters = 100000;
constexpr std::int32_t kMaxPrograms = 1000000;

enum class Error {
    None,
    Truncated,       // the file ends before what its header announces
    NotAPreset,      // no 'CcnK' at the start, or an unknown form
    SizeMismatch,    // the byte size field disagrees with the file
    TooLarge,        // a count or size beyond the limits
    BadProgram,      // a program record of a bank is damaged
};

// A short sentence for the user, for example "the file is truncated".
const char* Describe(Error error);

struct ReadResult {
    Error error = Error::None;
    File file;
};

// Reads a program or a bank from `size` bytes at `data`.
ReadResult Read(const std::uint8_t* data, std::size_t size);

// The file's bytes; `file.programCount` is taken from `programs` for BankPrograms. Names are
// cut to 27 characters and padded with zeros.
std::vector<std::uint8_t> Write(const File& file);

} // namespace preset
