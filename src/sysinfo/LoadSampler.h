// The arithmetic of the load meter: from two readings of a processor-time counter and of a
// clock, both in 100-nanosecond units, the percentage of one processor used in between.
#pragma once

#include <cstdint>

namespace sysinfo {

// counter delta / time delta × 100, truncated toward zero; 0 when the quotient is infinite or
// undefined (equal times), out of range, or negative (a counter that went backwards). No upper
// bound: two busy processors show about 200.
std::int32_t LoadPercent(std::int64_t previousValue, std::int64_t value,
                         std::int64_t previousTime, std::int64_t time);

// Where a reading came from. Readings from different sources are never compared.
enum class LoadSource { PerfData, ProcessTimes };

// The meter's memory between two samples. The first sample only records and gives 0; every
// later one gives the load since the one before. A change of source starts afresh like a
// first sample.
class CLoadSampler {
public:
    std::int32_t Sample(LoadSource source, std::int64_t value, std::int64_t time);
    bool IsFirstSample() const { return m_firstSample; }

private:
    bool m_firstSample = true;
    std::int64_t m_previousValue = 0;
    std::int64_t m_previousTime = 0;
    LoadSource m_previousSource = LoadSource::PerfData;
};

} // namespace sysinfo
