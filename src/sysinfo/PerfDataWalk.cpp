#include "sysinfo/PerfDataWalk.h"

#include <cstring>

namespace sysinfo {

namespace {

constexpr std::size_t kNameCapacity = 512;

// Reads a little-endian value of type T at `offset`; false when it would leave the block.
template <class T>
bool ReadAt(PerfBlock block, std::size_t offset, T& value)
{
    if (offset > block.size || block.size - offset < sizeof(T)) {
        return false;
    }
    std::memcpy(&value, block.data + offset, sizeof(T));
    return true;
}

// base + step, refusing a sum that wraps or leaves the block.
bool Advance(PerfBlock block, std::size_t base, std::uint64_t step, std::size_t& out)
{
    if (step > block.size || base > block.size - step) {
        return false;
    }
    out = base + static_cast<std::size_t>(step);
    return true;
}

char UpperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameNameIgnoringCase(const char* a, std::size_t length, const char* b)
{
    for (std::size_t i = 0; i < length; ++i) {
        if (b[i] == '\0' || UpperAscii(a[i]) != UpperAscii(b[i])) {
            return false;
        }
    }
    return b[length] == '\0';
}

// Compares the UTF-16 name at `nameOffset` with `wanted` after conversion to ANSI.
bool InstanceNameMatches(PerfBlock block, std::size_t nameOffset, const char* wanted,
                         NameConverter convert)
{
    char16_t wide[kNameCapacity];
    std::size_t length = 0;
    for (;;) {
        char16_t unit = 0;
        if (!ReadAt(block, nameOffset + 2 * length, unit)) {
            return false; // unterminated name
        }
        if (unit == 0) {
            break;
        }
        if (length == kNameCapacity) {
            return false; // longer than any name we look for
        }
        wide[length++] = unit;
    }
    char ansi[kNameCapacity];
    const std::size_t ansiLength = convert(wide, length, ansi, kNameCapacity);
    return ansiLength < kNameCapacity && SameNameIgnoringCase(ansi, ansiLength, wanted);
}

// Offset of the first definition with `counterIndex`, or false.
bool FindCounterDefinition(PerfBlock block, std::size_t object, std::uint32_t counterIndex,
                           std::size_t& definition)
{
    std::uint32_t headerLength = 0;
    std::uint32_t counters = 0;
    if (!ReadAt(block, object + perf::kObjectHeaderLength, headerLength) ||
        !ReadAt(block, object + perf::kObjectNumCounters, counters) ||
        !Advance(block, object, headerLength, definition)) {
        return false;
    }
    for (std::uint32_t i = 0; i < counters; ++i) {
        std::uint32_t byteLength = 0;
        std::uint32_t titleIndex = 0;
        if (!ReadAt(block, definition + perf::kCounterByteLength, byteLength) ||
            !ReadAt(block, definition + perf::kCounterNameTitleIndex, titleIndex)) {
            return false;
        }
        if (titleIndex == counterIndex) {
            return true;
        }
        if (byteLength == 0 || !Advance(block, definition, byteLength, definition)) {
            return false;
        }
    }
    return false;
}

// Offset of the counter block of the instance named `name`, or false.
bool FindInstanceCounters(PerfBlock block, std::size_t object, std::int32_t instances,
                          const char* name, NameConverter convert, std::size_t& counters)
{
    std::uint32_t definitionLength = 0;
    std::size_t instance = 0;
    if (!ReadAt(block, object + perf::kObjectDefinitionLength, definitionLength) ||
        !Advance(block, object, definitionLength, instance)) {
        return false;
    }
    for (std::int32_t i = 0; i < instances; ++i) {
        std::uint32_t byteLength = 0;
        std::uint32_t nameOffset = 0;
        std::uint32_t blockLength = 0;
        if (!ReadAt(block, instance + perf::kInstanceByteLength, byteLength) ||
            !ReadAt(block, instance + perf::kInstanceNameOffset, nameOffset) ||
            !Advance(block, instance, byteLength, counters)) {
            return false;
        }
        std::size_t nameAt = 0;
        if (Advance(block, instance, nameOffset, nameAt) &&
            InstanceNameMatches(block, nameAt, name, convert)) {
            return true;
        }
        if (!ReadAt(block, counters + perf::kCounterBlockByteLength, blockLength) ||
            byteLength + static_cast<std::uint64_t>(blockLength) == 0 ||
            !Advance(block, counters, blockLength, instance)) {
            return false;
        }
    }
    return false;
}

} // namespace

std::size_t AsciiNameConverter(const char16_t* name, std::size_t length, char* out,
                               std::size_t capacity)
{
    if (length >= capacity) {
        return capacity;
    }
    for (std::size_t i = 0; i < length; ++i) {
        out[i] = name[i] < 0x80 ? static_cast<char>(name[i]) : '?';
    }
    return length;
}

std::int64_t ReadCounterValue(PerfBlock block, std::size_t objectOffset,
                              std::uint32_t counterIndex, const char* name,
                              NameConverter convert)
{
    std::size_t definition = 0;
    std::int32_t instances = 0;
    std::uint32_t counterOffset = 0;
    if (!FindCounterDefinition(block, objectOffset, counterIndex, definition) ||
        !ReadAt(block, objectOffset + perf::kObjectNumInstances, instances) ||
        !ReadAt(block, definition + perf::kCounterOffset, counterOffset)) {
        return kNoSuchInstance;
    }
    std::size_t counters = 0;
    if (instances == perf::kNoInstances) {
        std::uint32_t definitionLength = 0;
        if (!ReadAt(block, objectOffset + perf::kObjectDefinitionLength, definitionLength) ||
            !Advance(block, objectOffset, definitionLength, counters)) {
            return kNoSuchInstance;
        }
    } else if (!FindInstanceCounters(block, objectOffset, instances, name, convert, counters)) {
        return kNoSuchInstance;
    }
    std::int64_t value = 0;
    std::size_t valueAt = 0;
    if (!Advance(block, counters, counterOffset, valueAt) || !ReadAt(block, valueAt, value)) {
        return kNoSuchInstance;
    }
    return value;
}

ProcessCounter FindProcessorTime(PerfBlock block, const char* name, NameConverter convert)
{
    std::uint32_t headerLength = 0;
    std::uint32_t objects = 0;
    std::size_t object = 0;
    if (!ReadAt(block, perf::kBlockHeaderLength, headerLength) ||
        !ReadAt(block, perf::kBlockNumObjectTypes, objects) ||
        !Advance(block, 0, headerLength, object)) {
        return {false, 0};
    }
    for (std::uint32_t i = 0; i < objects; ++i) {
        std::uint32_t titleIndex = 0;
        std::uint32_t totalLength = 0;
        if (!ReadAt(block, object + perf::kObjectNameTitleIndex, titleIndex) ||
            !ReadAt(block, object + perf::kObjectTotalByteLength, totalLength)) {
            break;
        }
        if (titleIndex == kProcessObjectIndex) {
            return {true, ReadCounterValue(block, object, kProcessorTimeCounterIndex, name,
                                           convert)};
        }
        if (totalLength == 0 || !Advance(block, object, totalLength, object)) {
            break;
        }
    }
    return {false, 0};
}

std::int64_t PerfTime100nSec(PerfBlock block)
{
    std::int64_t time = 0;
    return ReadAt(block, perf::kBlockPerfTime100nSec, time) ? time : 0;
}

} // namespace sysinfo
