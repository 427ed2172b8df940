#pragma once
// How often a driver may have itself opened afresh. Drivers ask for it (reset request, new
// buffer size, resync) when their settings change; one that keeps asking would otherwise keep
// the program re-opening it for ever. Portable: built and tested natively too.

#include <cstdint>

namespace host {

class CReopenLimit {
public:
    // At most `reopens` within any `windowMs` milliseconds.
    static constexpr int kReopens = 5;
    static constexpr std::uint32_t kWindowMs = 10000;

    // True when a re-open at `nowMs` (a wrapping millisecond clock) is within the limit, and
    // then counts it.
    bool Allow(std::uint32_t nowMs);
    // Forgets the re-opens so far: the user chose the devices again.
    void Reset() { m_count = 0; }

private:
    std::uint32_t m_times[kReopens] = {};
    int m_count = 0;  // times kept, the newest last
};

} // namespace host
