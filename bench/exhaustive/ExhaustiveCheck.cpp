// Compares the conversions the stream runs and the output stage with their plain reference
// definitions over every input: all 2^32 float bit patterns for the float-to-integer formats
// and the output stage, all 2^16, 2^24 and 2^32 values of the integer input formats. Each runs
// in the thread's default floating-point mode and again with denormals flushed to zero, the
// mode of the plug-in's render and of the output stage. Every vector loop this processor runs
// is checked on its own (SSE2, and AVX2 where it runs), each against the same reference
// results. Prints which loops the program uses, then one line per check and loop,
// "exhaustive: <check>, <loop> equal over N inputs" or the first input that differs, and exits
// non-zero on a difference. `make bench` runs it natively and, built for Windows, under Wine.

#include "audio/SampleConversion.h"
#include "audio/SampleConversionReference.h"
#include "audio/OutputStage.h"
#include "base/DenormalGuard.h"

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

const char* conversionSetName(int set)
{
    return conversionLoopSet(set).name;
}

const char* stageLoopName(int set)
{
    return OutputStageLoopAt(set).name;
}

// The first difference one loop made in a chunk: the offset of the input, or -1.
struct Difference {
    long at = -1;
    std::string detail;
};

// A chunk's inputs are `first`, `first + 1`, ... (float bit patterns or integer samples).
// The reference converts the chunk once; each loop converts it in two calls split at a point
// that moves from chunk to chunk, so block ends and the loops' last frames fall everywhere.
// `found` gets one entry per loop set.
using ChunkCheck = void (*)(Buffers& b, std::uint64_t first, std::uint32_t count,
                            std::vector<Difference>& found);

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

Difference firstByteDifference(Buffers& b, std::uint32_t count, int width)
{
    Difference d;
    if (std::memcmp(b.resultBytes(), b.expectedBytes(), std::size_t(count) * width) == 0)
        return d;
    long i = 0;
    while (std::memcmp(b.resultBytes() + i * width, b.expectedBytes() + i * width, width) == 0)
        ++i;
    d.at = i;
    d.detail = "bytes " + hexBytes(b.resultBytes() + i * width, width) + ", reference "
               + hexBytes(b.expectedBytes() + i * width, width);
    return d;
}

// The first float result that differs from the reference's, with both bit patterns.
Difference firstFloatDifference(Buffers& b, std::uint32_t count)
{
    Difference d;
    if (std::memcmp(b.result(), b.expected(), std::size_t(count) * sizeof(float)) == 0)
        return d;
    long i = 0;
    while (floatBits(b.result()[i]) == floatBits(b.expected()[i]))
        ++i;
    char text[96];
    std::snprintf(text, sizeof text, "0x%08" PRIx32 ", reference 0x%08" PRIx32,
                  floatBits(b.result()[i]), floatBits(b.expected()[i]));
    d.at = i;
    d.detail = text;
    return d;
}

using FromFloatLoop = void (*)(unsigned char*, const float*, long);
using ToFloatLoop = void (*)(float*, const unsigned char*, long);
using StageLoop = void (*)(float*, std::int32_t);

template <FromFloatLoop SampleConversionLoops::*Member>
FromFloatLoop fromFloatLoop(int set)
{
    return conversionLoopSet(set).*Member;
}

template <ToFloatLoop SampleConversionLoops::*Member>
ToFloatLoop toFloatLoop(int set)
{
    return conversionLoopSet(set).*Member;
}

StageLoop stageLoop(int set)
{
    return OutputStageLoopAt(set).run;
}

template <FromFloatLoop SampleConversionLoops::*Member, FromFloatLoop Reference, int Width>
void checkFromFloat(Buffers& b, std::uint64_t first, std::uint32_t count,
                    std::vector<Difference>& found)
{
    fillFloatPatterns(b.floats(), first, count);
    Reference(b.expectedBytes(), b.floats(), count);
    const long split = splitPoint(first, count);
    for (std::size_t k = 0; k < found.size(); ++k) {
        const FromFloatLoop convert = fromFloatLoop<Member>(static_cast<int>(k));
        convert(b.resultBytes(), b.floats(), split);
        convert(b.resultBytes() + split * Width, b.floats() + split, count - split);
        found[k] = firstByteDifference(b, count, Width);
    }
}

template <ToFloatLoop SampleConversionLoops::*Member, ToFloatLoop Reference, int Width>
void checkToFloat(Buffers& b, std::uint64_t first, std::uint32_t count,
                  std::vector<Difference>& found)
{
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t value = first + i;
        for (int k = 0; k < Width; ++k)
            b.bytes()[std::size_t(i) * Width + k] = static_cast<unsigned char>(value >> (8 * k));
    }
    Reference(b.expected(), b.bytes(), count);
    const long split = splitPoint(first, count);
    for (std::size_t k = 0; k < found.size(); ++k) {
        const ToFloatLoop convert = toFloatLoop<Member>(static_cast<int>(k));
        convert(b.result(), b.bytes(), split);
        convert(b.result() + split, b.bytes() + split * Width, count - split);
        found[k] = firstFloatDifference(b, count);
    }
}

void checkOutputStage(Buffers& b, std::uint64_t first, std::uint32_t count,
                      std::vector<Difference>& found)
{
    fillFloatPatterns(b.floats(), first, count);
    std::memcpy(b.expected(), b.floats(), std::size_t(count) * sizeof(float));
    ScaleAndLimitReference(b.expected(), static_cast<std::int32_t>(count));
    const long split = splitPoint(first, count);
    for (std::size_t k = 0; k < found.size(); ++k) {
        const StageLoop stage = stageLoop(static_cast<int>(k));
        std::memcpy(b.result(), b.floats(), std::size_t(count) * sizeof(float));
        stage(b.result(), static_cast<std::int32_t>(split));
        stage(b.result() + split, static_cast<std::int32_t>(count - split));
        found[k] = firstFloatDifference(b, count);
    }
}

struct Check {
    const char* name;
    std::uint64_t inputs;
    ChunkCheck run;
    int (*loopCount)();
    const char* (*loopName)(int);
};

using L = SampleConversionLoops;
const Check kChecks[] = {
    {"float -> Int16LSB", 1ull << 32, checkFromFloat<&L::floatToInt16, reference::floatToInt16, 2>,
     conversionLoopSetCount, conversionSetName},
    {"float -> Int24LSB", 1ull << 32, checkFromFloat<&L::floatToInt24, reference::floatToInt24, 3>,
     conversionLoopSetCount, conversionSetName},
    {"float -> Int32LSB", 1ull << 32, checkFromFloat<&L::floatToInt32, reference::floatToInt32, 4>,
     conversionLoopSetCount, conversionSetName},
    {"Int16LSB -> float", 1ull << 16, checkToFloat<&L::int16ToFloat, reference::int16ToFloat, 2>,
     conversionLoopSetCount, conversionSetName},
    {"Int24LSB -> float", 1ull << 24, checkToFloat<&L::int24ToFloat, reference::int24ToFloat, 3>,
     conversionLoopSetCount, conversionSetName},
    {"Int32LSB -> float", 1ull << 32, checkToFloat<&L::int32ToFloat, reference::int32ToFloat, 4>,
     conversionLoopSetCount, conversionSetName},
    {"output stage", 1ull << 32, checkOutputStage, OutputStageLoopCount, stageLoopName},
};

// Runs one check over all its inputs on `threads` threads, every loop against the same
// reference results; true when every loop's results are all equal. A loop that differs is
// reported at its first differing input; the run stops early only once every loop differs.
bool runCheck(const Check& check, bool flushDenormals, unsigned threads)
{
    const auto n = static_cast<std::size_t>(check.loopCount());
    std::atomic<std::uint64_t> nextChunk{0};
    std::vector<std::atomic<std::uint64_t>> firstMismatch(n);
    for (auto& m : firstMismatch)
        m.store(kNoMismatch);
    const std::uint64_t chunks = (check.inputs + kChunk - 1) / kChunk;
    std::vector<std::vector<std::string>> details(threads, std::vector<std::string>(n));
    std::vector<std::vector<std::uint64_t>> mismatches(threads,
                                                       std::vector<std::uint64_t>(n, kNoMismatch));
    auto lastUsefulInput = [&] {
        std::uint64_t last = 0;
        for (const auto& m : firstMismatch)
            last = std::max(last, m.load());
        return last;
    };
    auto work = [&](unsigned t) {
        Buffers b;
        std::vector<Difference> found(n);
        auto body = [&] {
            for (std::uint64_t c = nextChunk++; c < chunks; c = nextChunk++) {
                const std::uint64_t first = c * kChunk;
                if (first > lastUsefulInput())
                    break;
                const auto count =
                    static_cast<std::uint32_t>(std::min<std::uint64_t>(kChunk, check.inputs - first));
                check.run(b, first, count, found);
                for (std::size_t k = 0; k < n; ++k) {
                    if (found[k].at < 0)
                        continue;
                    const std::uint64_t input = first + static_cast<std::uint64_t>(found[k].at);
                    if (input < mismatches[t][k]) {
                        mismatches[t][k] = input;
                        details[t][k] = found[k].detail;
                    }
                    std::uint64_t seen = firstMismatch[k].load();
                    while (input < seen && !firstMismatch[k].compare_exchange_weak(seen, input)) {
                    }
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
    bool equal = true;
    for (std::size_t k = 0; k < n; ++k) {
        const char* loop = check.loopName(static_cast<int>(k));
        const std::uint64_t bad = firstMismatch[k].load();
        if (bad == kNoMismatch) {
            std::printf("exhaustive: %s, %s%s equal over %" PRIu64 " inputs\n", check.name, loop,
                        mode, check.inputs);
            continue;
        }
        std::size_t who = 0;
        while (mismatches[who][k] != bad)
            ++who;
        std::printf("exhaustive: %s, %s%s differs at input 0x%08" PRIx64 ": %s\n", check.name,
                    loop, mode, bad, details[who][k].c_str());
        equal = false;
    }
    return equal;
}

}  // namespace

// An argument runs only the checks whose name contains it ("Int24", "output").
int main(int argc, char** argv)
{
    const unsigned threads = std::max(1u, std::min(8u, std::thread::hardware_concurrency()));
    std::string sets;
    for (int set = 0; set < conversionLoopSetCount(); ++set)
        sets += std::string(set ? ", " : "") + conversionLoopSet(set).name;
    std::printf("exhaustive: this processor runs %s; the stream converts with %s, the output "
                "stage uses %s\n",
                sets.c_str(), activeConversionLoops().name,
                OutputStageLoopAt(OutputStageLoopCount() - 1).name);
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
