// Reading the system's performance-data block: the published PERF_DATA_BLOCK,
// PERF_OBJECT_TYPE, PERF_COUNTER_DEFINITION, PERF_INSTANCE_DEFINITION and PERF_COUNTER_BLOCK
// records, addressed by byte offsets. No operating-system headers: the walk is tested natively
// on synthesised blocks.
//
// The block comes from another component and is read defensively: every field is read only
// when it lies inside the block, and a record length that would not advance ends the walk.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sysinfo {

// Title indices of the process object and of its processor-time counter.
constexpr std::uint32_t kProcessObjectIndex = 230;
constexpr std::uint32_t kProcessorTimeCounterIndex = 6;
// ReadCounterValue's answer when the object has instances and none bears the name.
constexpr std::int64_t kNoSuchInstance = -1;

// Field offsets in bytes from the start of each record.
namespace perf {
constexpr std::size_t kBlockHeaderLength = 24;
constexpr std::size_t kBlockNumObjectTypes = 28;
constexpr std::size_t kBlockPerfTime100nSec = 72;
constexpr std::size_t kObjectTotalByteLength = 0;
constexpr std::size_t kObjectDefinitionLength = 4;
constexpr std::size_t kObjectHeaderLength = 8;
constexpr std::size_t kObjectNameTitleIndex = 12;
constexpr std::size_t kObjectNumCounters = 32;
constexpr std::size_t kObjectNumInstances = 40;
constexpr std::size_t kCounterByteLength = 0;
constexpr std::size_t kCounterNameTitleIndex = 4;
constexpr std::size_t kCounterOffset = 36;
constexpr std::size_t kInstanceByteLength = 0;
constexpr std::size_t kInstanceNameOffset = 16;
constexpr std::size_t kCounterBlockByteLength = 0;
constexpr std::int32_t kNoInstances = -1; // NumInstances of an object without instances
} // namespace perf

struct PerfBlock {
    const std::uint8_t* data;
    std::size_t size;
};

// Converts an instance name (UTF-16 code units, no terminator) to the system's ANSI code page
// into `out`; returns the number of bytes written, or `capacity` or more when it did not fit.
using NameConverter = std::size_t (*)(const char16_t* name, std::size_t length, char* out,
                                      std::size_t capacity);

// The converter used where no code page is at hand: ASCII kept, everything else '?'.
std::size_t AsciiNameConverter(const char16_t* name, std::size_t length, char* out,
                               std::size_t capacity);

// The counter `counterIndex` of the object at `objectOffset`, for the instance named `name`
// (letters A to Z compared without regard to case), or of the object itself when it has no
// instances. kNoSuchInstance when no instance bears the name, when the object has no such
// counter, or when the records are malformed.
std::int64_t ReadCounterValue(PerfBlock block, std::size_t objectOffset,
                              std::uint32_t counterIndex, const char* name,
                              NameConverter convert);

struct ProcessCounter {
    bool objectFound; // false when the block holds no process object at all
    std::int64_t value;
};

// Walks the block's objects to the process object and reads its processor time for `name`.
ProcessCounter FindProcessorTime(PerfBlock block, const char* name, NameConverter convert);

// The block's PerfTime100nSec, 0 when the block is too short to hold it.
std::int64_t PerfTime100nSec(PerfBlock block);

} // namespace sysinfo
