#include "sysinfo/PerfDataBuffer.h"

#include <algorithm>
#include <new>

namespace sysinfo {

bool CPerfDataBuffer::EnsureCreated()
{
    return !m_bytes.empty() || GrowTo(kInitialPerfBufferBytes);
}

bool CPerfDataBuffer::GrowTo(std::uint64_t size)
{
    if (size > kMaxPerfBufferBytes) {
        return false;
    }
    if (size <= m_bytes.size()) {
        return true;
    }
    try {
        m_bytes.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        return false; // keep the old buffer; the block is read as far as it goes
    }
    return true;
}

long CPerfDataBuffer::Fill(PerfQuery query, void* context)
{
    if (m_bytes.empty()) {
        return kQueryMoreData;
    }
    std::fill(m_bytes.begin(), m_bytes.end(), std::uint8_t{0});
    auto size = static_cast<std::uint32_t>(m_bytes.size());
    long result = query(context, m_bytes.data(), &size);
    while (result == kQueryMoreData) {
        const std::uint64_t wanted = static_cast<std::uint64_t>(size) + kPerfBufferGrowthBytes;
        if (!GrowTo(wanted)) {
            break;
        }
        size = static_cast<std::uint32_t>(wanted);
        result = query(context, m_bytes.data(), &size);
    }
    return result;
}

} // namespace sysinfo
