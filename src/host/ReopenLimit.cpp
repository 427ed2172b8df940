#include "host/ReopenLimit.h"

namespace host {

bool CReopenLimit::Allow(std::uint32_t nowMs)
{
    // Unsigned differences stay right across the clock's wrap.
    int kept = 0;
    for (int i = 0; i < m_count; ++i) {
        if (nowMs - m_times[i] < kWindowMs)
            m_times[kept++] = m_times[i];
    }
    m_count = kept;
    if (m_count == kReopens)
        return false;
    m_times[m_count++] = nowMs;
    return true;
}

} // namespace host
