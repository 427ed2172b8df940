#include "sysinfo/LoadSampler.h"

#include <cmath>

namespace sysinfo {

namespace {
constexpr double kPercent = 100.0;
constexpr double kInt64Limit = 9223372036854775808.0; // 2^63
} // namespace

std::int32_t LoadPercent(std::int64_t previousValue, std::int64_t value,
                         std::int64_t previousTime, std::int64_t time)
{
    // The difference wraps like the 64-bit registers it models instead of overflowing.
    const auto counterDelta = static_cast<std::int64_t>(static_cast<std::uint64_t>(value) -
                                                        static_cast<std::uint64_t>(previousValue));
    const double timeDelta = static_cast<double>(time) - static_cast<double>(previousTime);
    const double load = static_cast<double>(counterDelta) / timeDelta * kPercent;
    if (!std::isfinite(load) || load >= kInt64Limit || load <= -kInt64Limit) {
        return 0;
    }
    const auto whole = static_cast<std::int64_t>(load); // truncates toward zero
    const auto low = static_cast<std::int32_t>(static_cast<std::uint32_t>(whole));
    return low < 0 ? 0 : low;
}

std::int32_t CLoadSampler::Sample(LoadSource source, std::int64_t value, std::int64_t time)
{
    const bool fresh = m_firstSample || source != m_previousSource;
    const std::int32_t load = fresh ? 0 : LoadPercent(m_previousValue, value, m_previousTime, time);
    m_firstSample = false;
    m_previousValue = value;
    m_previousTime = time;
    m_previousSource = source;
    return load;
}

} // namespace sysinfo
