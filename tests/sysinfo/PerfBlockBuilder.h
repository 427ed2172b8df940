// Builds performance-data blocks in the published layout, for the walk's tests: a data block
// header, then objects with their counter definitions and either instances (each with its name
// and counter block) or one counter block of the object itself.
#pragma once

#include "sysinfo/PerfDataWalk.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace sysinfo_test {

struct Counter {
    std::uint32_t titleIndex;
    std::int64_t value; // the same value in every counter block of the object
};

struct Instance {
    std::u16string name;
    std::int64_t shift; // added to every counter value of this instance
};

struct Object {
    std::uint32_t titleIndex;
    std::vector<Counter> counters;
    std::vector<Instance> instances;
    bool hasInstances = true; // false: NumInstances -1 and one counter block
};

class PerfBlockBuilder {
public:
    static constexpr std::size_t kBlockHeader = 96;
    static constexpr std::size_t kObjectHeader = 64;
    static constexpr std::size_t kCounterDefinition = 40;
    static constexpr std::size_t kInstanceHeader = 24;
    static constexpr std::size_t kCounterBlockHeader = 8;

    explicit PerfBlockBuilder(std::int64_t perfTime100nSec) : m_bytes(kBlockHeader, 0)
    {
        Put32(24, kBlockHeader);
        Put64(72, perfTime100nSec);
    }

    PerfBlockBuilder& Add(const Object& object)
    {
        const std::size_t start = m_bytes.size();
        m_bytes.resize(start + kObjectHeader + kCounterDefinition * object.counters.size(), 0);
        Put32(start + 4, static_cast<std::uint32_t>(m_bytes.size() - start)); // DefinitionLength
        Put32(start + 8, kObjectHeader);                                      // HeaderLength
        Put32(start + 12, object.titleIndex);
        Put32(start + 32, static_cast<std::uint32_t>(object.counters.size()));
        Put32(start + 40, object.hasInstances
                              ? static_cast<std::uint32_t>(object.instances.size())
                              : static_cast<std::uint32_t>(sysinfo::perf::kNoInstances));
        for (std::size_t i = 0; i < object.counters.size(); ++i) {
            const std::size_t def = start + kObjectHeader + i * kCounterDefinition;
            Put32(def, kCounterDefinition);
            Put32(def + 4, object.counters[i].titleIndex);
            Put32(def + 32, 8);
            Put32(def + 36, static_cast<std::uint32_t>(kCounterBlockHeader + 8 * i));
        }
        if (!object.hasInstances) {
            AddCounterBlock(object.counters, 0);
        }
        for (const Instance& instance : object.instances) {
            const std::size_t at = m_bytes.size();
            const std::size_t nameBytes = 2 * (instance.name.size() + 1);
            const std::size_t length = (kInstanceHeader + nameBytes + 7) / 8 * 8;
            m_bytes.resize(at + length, 0);
            Put32(at, static_cast<std::uint32_t>(length));
            Put32(at + 16, kInstanceHeader);
            Put32(at + 20, static_cast<std::uint32_t>(nameBytes));
            std::memcpy(&m_bytes[at + kInstanceHeader], instance.name.data(), nameBytes - 2);
            AddCounterBlock(object.counters, instance.shift);
        }
        Put32(start, static_cast<std::uint32_t>(m_bytes.size() - start)); // TotalByteLength
        Put32(28, Get32(28) + 1);                                           // NumObjectTypes
        return *this;
    }

    std::vector<std::uint8_t> Bytes() const { return m_bytes; }
    std::size_t ObjectOffset(std::size_t index) const
    {
        std::size_t at = kBlockHeader;
        for (std::size_t i = 0; i < index; ++i) {
            at += Get32(at);
        }
        return at;
    }
    void Put32(std::size_t at, std::uint32_t value) { std::memcpy(&m_bytes[at], &value, 4); }
    std::uint32_t Get32(std::size_t at) const
    {
        std::uint32_t value;
        std::memcpy(&value, &m_bytes[at], 4);
        return value;
    }

private:
    void Put64(std::size_t at, std::int64_t value) { std::memcpy(&m_bytes[at], &value, 8); }

    void AddCounterBlock(const std::vector<Counter>& counters, std::int64_t shift)
    {
        const std::size_t at = m_bytes.size();
        const std::size_t length = kCounterBlockHeader + 8 * counters.size();
        m_bytes.resize(at + length, 0);
        Put32(at, static_cast<std::uint32_t>(length));
        for (std::size_t i = 0; i < counters.size(); ++i) {
            Put64(at + kCounterBlockHeader + 8 * i, counters[i].value + shift);
        }
    }

    std::vector<std::uint8_t> m_bytes;
};

inline sysinfo::PerfBlock View(const std::vector<std::uint8_t>& bytes)
{
    return {bytes.data(), bytes.size()};
}

} // namespace sysinfo_test
