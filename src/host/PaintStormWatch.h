#pragma once
// CPaintStormWatch: tells an editor that faults while drawing from one that draws a lot. An
// editor that draws validates its window each time it paints; one whose paint handler faults
// never does, so the system paints it again at once, thousands of times a second. Counted are
// paints that leave their window still waiting to be painted, in windows of one second.
// Portable: built and tested natively too.

#include <cstdint>

namespace host {

class CPaintStormWatch {
public:
    // Far more than any display needs in a second, even for an editor of many windows.
    static constexpr int kStormPaints = 500;
    static constexpr std::uint64_t kWindowMs = 1000;

    // One paint that left its window invalid, at `nowMs`; true once they make a storm.
    bool CountUnvalidated(std::uint64_t nowMs)
    {
        if (m_count == 0 || nowMs - m_windowStart >= kWindowMs) {
            m_windowStart = nowMs;
            m_count = 0;
        }
        return ++m_count >= kStormPaints;
    }

private:
    std::uint64_t m_windowStart = 0;
    int m_count = 0;
};

}  // namespace host
