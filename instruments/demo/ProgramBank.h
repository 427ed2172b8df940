#pragma once
// The instrument's programs: each a name and a set of parameter values over the fixed part of
// its patch, plus which program is current. Saved and restored as one binary chunk.
//
// Threads: values and the current program are atomics, so any thread may set them and the audio
// thread reads them without locks (`sound`). Names, `save` and `load` belong to one thread, the
// host's user-interface thread. A `load` writes values one by one: a block rendered during it may
// hear a mix of old and new values, never anything torn.
//
// Chunk layout, little-endian, version 1:
//   offset  size
//        0     4  magic, the bytes "ZmDm"
//        4     4  version (1)
//        8     4  program count: 8 for a bank, 1 for one program
//       12     4  parameter count (8)
//       16     4  current program (a program chunk records where it came from; loading ignores it)
//       20        per program: name, 32 bytes (at most 24 characters, then zeros), followed by
//                 its parameter values as 32-bit floats of 0..1
// A chunk is refused whole unless its size, magic, version and counts are exactly these, the
// current program is known, every name is terminated within 25 bytes and every value is finite;
// finite values outside 0..1 are clamped.

#include "Parameters.h"
#include "Patch.h"

#include <atomic>
#include <cstddef>

namespace demo {

class ProgramBank {
public:
    static constexpr int kPrograms = kPatchCount;
    static constexpr std::size_t kNameLength = 24;  // characters, without the terminator
    static constexpr std::size_t kHeaderBytes = 20;
    static constexpr std::size_t kNameField = 32;
    static constexpr std::size_t kProgramBytes = kNameField + 4 * kParameterCount;
    static constexpr std::size_t kProgramChunkBytes = kHeaderBytes + kProgramBytes;
    static constexpr std::size_t kBankChunkBytes = kHeaderBytes + kPrograms * kProgramBytes;

    enum class Scope { Bank, Program };

    ProgramBank();  // the factory programs
    ProgramBank(const ProgramBank&) = delete;
    ProgramBank& operator=(const ProgramBank&) = delete;

    int current() const { return selected.load(std::memory_order_relaxed); }
    bool select(int program);

    // Values of the current program, 0..1; setting clamps and ignores NaN and unknown indices.
    float value(int parameter) const { return valueOf(current(), parameter); }
    float valueOf(int program, int parameter) const;
    void setValue(int parameter, float value);

    const char* name(int program) const;
    void rename(const char* text);  // the current program; longer names are cut

    // The current program's patch with its values applied.
    Patch sound() const;

    // Writes the chunk into `out` (kBankChunkBytes or kProgramChunkBytes) and returns its size.
    std::size_t save(Scope scope, unsigned char* out) const;
    // Restores a chunk: a program chunk into the current program. False, and nothing changed,
    // for a chunk that is not valid in every part.
    bool load(Scope scope, const unsigned char* data, std::size_t size);

private:
    static_assert(std::atomic<float>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
                  "the audio thread reads these without locks");

    std::atomic<int> selected{0};
    std::atomic<float> values[kPrograms][kParameterCount];
    char names[kPrograms][kNameLength + 1] = {};
};

}  // namespace demo
