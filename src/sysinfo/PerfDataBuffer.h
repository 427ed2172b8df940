// CPerfDataBuffer: the one buffer that receives the performance-data block, and the query loop
// that grows it until the block fits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sysinfo {

// Query result codes, as the registry reports them.
constexpr long kQuerySuccess = 0;
constexpr long kQueryMoreData = 234;

// Size of a new buffer, and how far beyond the size the query left a retry grows it.
constexpr std::uint32_t kInitialPerfBufferBytes = 102400;
constexpr std::uint32_t kPerfBufferGrowthBytes = 10240;
// A query that keeps asking for more beyond this is not followed further: the block is read
// as it stands.
constexpr std::uint32_t kMaxPerfBufferBytes = 64u * 1024u * 1024u;

// Fills `data` (with `*size` bytes room) and sets `*size`; returns a query result code.
using PerfQuery = long (*)(void* context, std::uint8_t* data, std::uint32_t* size);

class CPerfDataBuffer {
public:
    // False when the first allocation fails; the buffer is then empty.
    bool EnsureCreated();
    // Zero-fills the buffer and runs `query` into it; on kQueryMoreData grows the buffer to
    // 10240 bytes beyond the size the query left and asks again, until any other result. The
    // buffer never shrinks. Returns the last result (kQueryMoreData when growing stopped).
    long Fill(PerfQuery query, void* context);

    const std::uint8_t* Data() const { return m_bytes.data(); }
    std::size_t Size() const { return m_bytes.size(); }

private:
    bool GrowTo(std::uint64_t size);

    std::vector<std::uint8_t> m_bytes;
};

} // namespace sysinfo
