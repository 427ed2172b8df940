#include "WavFile.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace {

std::uint32_t le32(const unsigned char* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16)
           | (std::uint32_t(p[3]) << 24);
}

unsigned le16(const unsigned char* p)
{
    return unsigned(p[0]) | (unsigned(p[1]) << 8);
}

constexpr std::size_t kRiffHeader = 12;
constexpr std::size_t kChunkHeader = 8;
constexpr std::size_t kFmtBytes = 16;

}  // namespace

bool readWav(const std::string& path, WavFile& wav)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                           std::istreambuf_iterator<char>());
    if (bytes.size() < kRiffHeader || std::memcmp(bytes.data(), "RIFF", 4) != 0
        || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
        return false;
    bool haveFormat = false;
    for (std::size_t at = kRiffHeader; at + kChunkHeader <= bytes.size();) {
        const unsigned char* chunk = bytes.data() + at;
        const std::size_t size = le32(chunk + 4);
        const std::size_t body = at + kChunkHeader;
        if (body + size > bytes.size())
            return false;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= kFmtBytes) {
            wav.format = static_cast<int>(le16(chunk + 8));
            wav.channels = static_cast<int>(le16(chunk + 10));
            wav.sampleRate = le32(chunk + 12);
            wav.bitsPerSample = static_cast<int>(le16(chunk + 22));
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            wav.data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(body),
                            bytes.begin() + static_cast<std::ptrdiff_t>(body + size));
            return haveFormat;
        }
        at = body + size + (size & 1);
    }
    return false;
}
