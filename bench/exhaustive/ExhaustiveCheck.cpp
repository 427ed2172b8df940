// Compares the conversions the stream runs and the output stage with their plain reference
// definitions over every input: all 2^32 float bit patterns for the float-to-integer formats
// and the output stage, all 2^16, 2^24 and 2^32 values of the integer input formats. Each runs
// in the thread's default floating-point mode and again with denormals flushed to zero, the
// mode of the plug-in's render and of the output stage. Prints one line per check,
// "exhaustive: <check> equal over N inputs" or the first input that differs, and exits
// non-zero on a difference. `make bench` runs it natively and, built for Windows, under Wine.

#include "audio/SampleConversion.h"
#include "audio/SampleConversionReference.h"
#include "plugin/DenormalGuard.h"
#include "plugin/OutputStage.h"

#include <algorithm>
#include <atomic>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr std::uint32_t kChunk = 1u << 16;  // inputs per chunk
constexpr std::uint64_t kNoMismatch = ~std::uint64_t(0);

// One thread's buffers, reused for every chunk. The float arrays start 4 bytes and the
// driver bytes 1 byte past a 16-byte boundary, so no access of the vector loops is aligned.
struct Buffers {
    std::vector<float> inFloats = std::vector<float>(kChunk + 4);
    std::vector<float> outFloats = std::vector<float>(kChunk + 4);
    std::vector<float> refFloats = std::vector<float>(kChunk + 4);
    std::vector<unsigned char> inBytes = std::vector<unsigned char>(4 * kChunk + 16);
    std::vector<unsigned char> outBytes = std::vector<unsigned char>(4 * kChunk + 16);
    std::vector<unsigned char> refBytes = std::vector<unsigned char>(4 * kChunk + 16);

    float* floats() { return inFloats.data() + 1; }
    float* result() { return outFloats.data() + 1; }
    float* expected() { return refFloats.data() + 1; }
    unsigned char* bytes() { return inBytes.data() + 1; }
    unsigned char* resultBytes() { return outBytes.data() + 1; }
    unsigned char* expectedBytes() { return refBytes.data() + 1; }
};

// A chunk's inputs are `first`, `first + 1`, ... (float bit patterns or integer samples).
// Each check converts a chunk in two calls split at a point that moves from chunk to chunk,
// so block ends and the loops' last frames fall everywhere. Returns the offset of the first
// input whose result differs, or -1, and fills `detail` for it.
using ChunkCheck = long (*)(Buffers& b, std::uint64_t first, std::uint32_t count,
                           std::string& detail);

long splitPoint(std::uint64_t first, std::uint32_t count)
{
    return static_cast<long>(count) - static_cast<long>(first / kChunk % 13);
}

std::string hexBytes(const unsigned char* p, int width)
{
    std::string s;
    char byte[8];
    for (int i = 0; i < width; ++i) {
        std::snprintf(byte, sizeof byte, "%s%02x", i ? " " : "", p[i]);
        s += byte;
    }
    return s;
}

std::uint32_t floatBits(float f)
{
    std::uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    return u;
}

void fillFloatPatterns(float* out, std::uint64_t first, std::uint32_t count)
{
    for (std::uint32_t i = 0; i < count; ++i) {
        const auto bits = static_cast<std::uint32_t>(first + i);
        std::memcpy(out + i, &bits, sizeof bits);
    }
}

template <ASIOSampleType Type, void (*Reference)(unsigned char*, const float*, long)>
long checkFromFloat(Buffers& b, std::uint64_t first, std::uint32_t count, std::string& detail)
{
    const int width = sampleWidth(Type);
    fillFloatPatterns(b.floats(), first, count);
    const long split = splitPoint(first, count);
    convertFromFloat(b.floats(), b.resultBytes(), Type, split);
    convertFromFloat(b.floats() + split, b.resultBytes() + split * width, Type, count - split);
    Reference(b.expectedBytes(), b.floats(), count);
    if (std::memcmp(b.resultBytes(), b.expectedBytes(), std::size_t(count) * width) == 0)
        return -1;
    long i = 0;
    while (std::memcmp(b.resultBytes() + i * width, b.expectedBytes() + i * width, width) == 0)
        ++i;
    detail = "bytes " + hexBytes(b.resultBytes() + i * width, width) + ", reference "
             + hexBytes(b.expectedBytes() + i * width, width);
    return i;
}

// The index of the first float result that differs from the reference's, with both bit
// patterns in `detail`; -1 when all `count` are equal.
long firstFloatDifference(Buffers& b, std::uint32_t count, std::string& detail)
{
    if (std::memcmp(b.result(), b.expected(), std::size_t(count) * sizeof(float)) == 0)
        return -1;
    long i = 0;
    while (floatBits(b.result()[i]) == floatBits(b.expected()[i]))
        ++i;
    char text[96];
    std::snprintf(text, sizeof text, "0x%08" PRIx32 ", reference 0x%08" PRIx32,
                  floatBits(b.result()[i]), floatBits(b.expected()[i]));
    detail = text;
    return i;
}

template <ASIOSampleType Type, void (*Reference)(float*, const unsigned char*, long)>
long checkToFloat(Buffers& b, std::uint64_t first, std::uint32_t count, std::string& detail)
{
    const int width = sampleWidth(Type);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t value = first + i;
        for (int k = 0; k < width; ++k)
            b.bytes()[std::size_t(i) * width + k] = static_cast<unsigned char>(value >> (8 * k));
    }
    const long split = splitPoint(first, count);
    convertToFloat(b.result(), b.bytes(), Type, split);
    convertToFloat(b.result() + split, b.bytes() + split * width, Type, count - split);
    Reference(b.expected(), b.bytes(), count);
    return firstFloatDifference(b, count, detail);
}

long checkOutputStage(Buffers& b, std::uint64_t first, std::uint32_t count, std::string& detail)
{
    fillFloatPatterns(b.result(), first, count);
    std::memcpy(b.expected(), b.result(), std::size_t(count) * sizeof(float));
    const long split = splitPoint(first, count);
    ScaleAndLimit(b.result(), static_cast<std::int32_t>(split));
    ScaleAndLimit(b.result() + split, static_cast<std::int32_t>(count - split));
    ScaleAndLimitReference(b.expected(), static_cast<std::int32_t>(count));
    return firstFloatDifference(b, count, detail);
}

struct Check {
    const char* name;
    std::uint64_t inputs;
    ChunkCheck run;
};

const Check kChecks[] = {
    {"float -> Int16LSB", 1ull << 32, checkFromFloat<ASIOSTInt16LSB, reference::floatToInt16>},
    {"float -> Int24LSB", 1ull << 32, checkFromFloat<ASIOSTInt24LSB, reference::floatToInt24>},
    {"float -> Int32LSB", 1ull << 32, checkFromFloat<ASIOSTInt32LSB, reference::floatToInt32>},
    {"Int16LSB -> float", 1ull << 16, checkToFloat<ASIOSTInt16LSB, reference::int16ToFloat>},
    {"Int24LSB -> float", 1ull << 24, checkToFloat<ASIOSTInt24LSB, reference::int24ToFloat>},
    {"Int32LSB -> float", 1ull << 32, checkToFloat<ASIOSTInt32LSB, reference::int32ToFloat>},
    {"output stage", 1ull << 32, checkOutputStage},
};

// Runs one check over all its inputs on `threads` threads; true when every result is equal.
bool runCheck(const Check& check, bool flushDenormals, unsigned threads)
{
    std::atomic<std::uint64_t> nextChunk{0};
    std::atomic<std::uint64_t> firstMismatch{kNoMismatch};
    const std::uint64_t chunks = (check.inputs + kChunk - 1) / kChunk;
    std::vector<std::string> details(threads);
    std::vector<std::uint64_t> mismatches(threads, kNoMismatch);
    auto work = [&](unsigned t) {
        Buffers b;
        auto body = [&] {
            for (std::uint64_t c = nextChunk++; c < chunks; c = nextChunk++) {
                const std::uint64_t first = c * kChunk;
                if (first > firstMismatch.load())
                    break;
                const auto count =
                    static_cast<std::uint32_t>(std::min<std::uint64_t>(kChunk, check.inputs - first));
                std::string detail;
                const long at = check.run(b, first, count, detail);
                if (at < 0)
                    continue;
                const std::uint64_t input = first + static_cast<std::uint64_t>(at);
                if (input < mismatches[t]) {
                    mismatches[t] = input;
                    details[t] = detail;
                }
                std::uint64_t seen = firstMismatch.load();
                while (input < seen && !firstMismatch.compare_exchange_weak(seen, input)) {
                }
            }
        };
        if (flushDenormals) {
            const CDenormalGuard guard;
            body();
        } else {
            body();
        }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t)
        pool.emplace_back(work, t);
    work(0);
    for (auto& thread : pool)
        thread.join();

    const char* mode = flushDenormals ? " (denormals flushed to zero)" : "";
    const std::uint64_t bad = firstMismatch.load();
    if (bad == kNoMismatch) {
        std::printf("exhaustive: %s%s equal over %" PRIu64 " inputs\n", check.name, mode,
                    check.inputs);
        return true;
    }
    const auto who = std::find(mismatches.begin(), mismatches.end(), bad) - mismatches.begin();
    std::printf("exhaustive: %s%s differs at input 0x%08" PRIx64 ": %s\n", check.name, mode, bad,
                details[static_cast<std::size_t>(who)].c_str());
    return false;
}

}  // namespace

// An argument runs only the checks whose name contains it ("Int24", "output").
int main(int argc, char** argv)
{
    const unsigned threads = std::max(1u, std::min(8u, std::thread::hardware_concurrency()));
    bool equal = true;
    for (const Check& check : kChecks) {
        if (argc > 1 && std::strstr(check.name, argv[1]) == nullptr)
            continue;
        for (bool flush : {false, true})
            equal = runCheck(check, flush, threads) && equal;
    }
    std::fflush(stdout);
    return equal ? 0 : 1;
}
