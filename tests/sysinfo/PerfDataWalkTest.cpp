#include "PerfBlockBuilder.h"
#include "sysinfo/PerfDataWalk.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace sysinfo;
using namespace sysinfo_test;

namespace {

constexpr std::uint32_t kThreadCountIndex = 680;
constexpr std::uint32_t kProcessorObjectIndex = 238;
constexpr std::int64_t kProcessorTime = 123456789;

// A process object whose instances carry processor time kProcessorTime + shift.
Object ProcessObject(std::vector<Instance> instances)
{
    return {kProcessObjectIndex,
            {{kThreadCountIndex, 7}, {kProcessorTimeCounterIndex, kProcessorTime}},
            std::move(instances)};
}

std::int64_t Lookup(const std::vector<std::uint8_t>& bytes, const char* name)
{
    const ProcessCounter counter = FindProcessorTime(View(bytes), name, &AsciiNameConverter);
    EXPECT_TRUE(counter.objectFound);
    return counter.value;
}

} // namespace

struct NameCase {
    const char* wanted;
    std::int64_t expected;
};

void PrintTo(const NameCase& c, std::ostream* os)
{
    *os << '"' << c.wanted << '"';
}

class InstanceLookupTest : public testing::TestWithParam<NameCase> {};

// Instances named in other letter case are found; a name that is merely a prefix, or any
// other name, is not.
TEST_P(InstanceLookupTest, FindsTheInstanceByNameIgnoringAsciiCase)
{
    const auto bytes = PerfBlockBuilder(1000)
                           .Add(ProcessObject({{u"Idle", 0}, {u"ZumBrel", 10}, {u"explorer", 20}}))
                           .Bytes();
    EXPECT_EQ(Lookup(bytes, GetParam().wanted), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, InstanceLookupTest,
    testing::Values(NameCase{"zumbrel", kProcessorTime + 10}, NameCase{"ZUMBREL", kProcessorTime + 10},
                    NameCase{"ZumBrel", kProcessorTime + 10}, NameCase{"idle", kProcessorTime},
                    NameCase{"EXPLORER", kProcessorTime + 20}, NameCase{"zumbre", kNoSuchInstance},
                    NameCase{"zumbrel2", kNoSuchInstance}, NameCase{"", kNoSuchInstance},
                    NameCase{"svchost", kNoSuchInstance}));

TEST(PerfDataWalk, FindsTheProcessObjectAmongSeveral)
{
    const auto bytes = PerfBlockBuilder(1000)
                           .Add({kProcessorObjectIndex, {{kProcessorTimeCounterIndex, 55}}, {{u"0", 0}}})
                           .Add(ProcessObject({{u"zumbrel", 3}}))
                           .Add({kProcessorObjectIndex + 2, {{kProcessorTimeCounterIndex, 66}}, {}})
                           .Bytes();
    EXPECT_EQ(Lookup(bytes, "zumbrel"), kProcessorTime + 3);
}

TEST(PerfDataWalk, ObjectWithoutInstancesReadsItsOwnCounterBlock)
{
    Object object = ProcessObject({});
    object.hasInstances = false;
    const auto bytes = PerfBlockBuilder(1000).Add(object).Bytes();
    EXPECT_EQ(Lookup(bytes, "anything"), kProcessorTime);
}

TEST(PerfDataWalk, ZeroInstancesFindsNothing)
{
    const auto bytes = PerfBlockBuilder(1000).Add(ProcessObject({})).Bytes();
    EXPECT_EQ(Lookup(bytes, "zumbrel"), kNoSuchInstance);
}

TEST(PerfDataWalk, MissingCounterDefinitionReadsAsNoValue)
{
    const auto bytes =
        PerfBlockBuilder(1000).Add({kProcessObjectIndex, {{kThreadCountIndex, 7}}, {{u"zumbrel", 0}}}).Bytes();
    EXPECT_EQ(Lookup(bytes, "zumbrel"), kNoSuchInstance);
}

TEST(PerfDataWalk, ReadCounterValueTakesAnyCounterOfTheObject)
{
    PerfBlockBuilder builder(1000);
    builder.Add(ProcessObject({{u"a", 0}, {u"zumbrel", 1}}));
    const auto bytes = builder.Bytes();
    EXPECT_EQ(ReadCounterValue(View(bytes), builder.ObjectOffset(0), kThreadCountIndex, "zumbrel",
                               &AsciiNameConverter),
              8);
}

// Wine answers with a valid block that holds no objects; a block may also hold other objects
// only. Either way there is no process object, and the meter must know that.
TEST(PerfDataWalk, BlockWithoutProcessObjectReportsItsAbsence)
{
    const auto empty = PerfBlockBuilder(1000).Bytes();
    const auto others =
        PerfBlockBuilder(1000).Add({kProcessorObjectIndex, {{kProcessorTimeCounterIndex, 5}}, {{u"0", 0}}}).Bytes();
    for (const auto& bytes : {empty, others}) {
        const ProcessCounter counter = FindProcessorTime(View(bytes), "zumbrel", &AsciiNameConverter);
        EXPECT_FALSE(counter.objectFound);
        EXPECT_EQ(counter.value, 0);
    }
    const std::vector<std::uint8_t> zeros(102400, 0);
    EXPECT_FALSE(FindProcessorTime(View(zeros), "zumbrel", &AsciiNameConverter).objectFound);
    EXPECT_EQ(PerfTime100nSec(View(zeros)), 0);
}

TEST(PerfDataWalk, ReadsTheBlockClock)
{
    EXPECT_EQ(PerfTime100nSec(View(PerfBlockBuilder(0x123456789ABLL).Bytes())), 0x123456789ABLL);
}

// Every prefix of a valid block: the walk stays inside the bytes it was given (the sanitizers
// watch) and either finds the right value or nothing.
TEST(PerfDataWalkMalformed, TruncatedBlocksAreReadSafely)
{
    const auto bytes = PerfBlockBuilder(1000)
                           .Add({kProcessorObjectIndex, {{kProcessorTimeCounterIndex, 1}}, {{u"0", 0}}})
                           .Add(ProcessObject({{u"Idle", 0}, {u"zumbrel", 5}}))
                           .Bytes();
    for (std::size_t length = 0; length <= bytes.size(); ++length) {
        const std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(length));
        const ProcessCounter counter = FindProcessorTime(View(cut), "zumbrel", &AsciiNameConverter);
        if (counter.objectFound && counter.value != kNoSuchInstance) {
            EXPECT_EQ(counter.value, kProcessorTime + 5) << "length " << length;
        }
    }
}

struct Corruption {
    const char* what;
    std::size_t objectField; // offset inside the process object, or SIZE_MAX for the block
    std::uint32_t value;
};

void PrintTo(const Corruption& c, std::ostream* os)
{
    *os << c.what;
}

class CorruptedRecordTest : public testing::TestWithParam<Corruption> {};

// Lengths that do not advance and counts far beyond the data end the walk instead of
// looping or reading past the block.
TEST_P(CorruptedRecordTest, EndsWithoutAValue)
{
    PerfBlockBuilder builder(1000);
    builder.Add(ProcessObject({{u"Idle", 0}, {u"other", 1}}));
    const std::size_t object = builder.ObjectOffset(0);
    builder.Put32(object + GetParam().objectField, GetParam().value);
    const auto bytes = builder.Bytes();
    EXPECT_EQ(Lookup(bytes, "zumbrel"), kNoSuchInstance) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Records, CorruptedRecordTest,
    testing::Values(Corruption{"huge instance count", 40, 0x7FFFFFFF},
                    Corruption{"huge counter count", 32, 0xFFFFFFFF},
                    Corruption{"definition length past the end", 4, 0xFFFFFFF0},
                    Corruption{"header length past the end", 8, 0xFFFFFFF0},
                    Corruption{"zero-length counter definition", 64, 0},
                    Corruption{"zero-length instance", 64 + 2 * 40, 0}));

TEST(PerfDataWalkMalformed, ObjectsOfZeroLengthEndTheWalk)
{
    PerfBlockBuilder builder(1000);
    builder.Add({kProcessorObjectIndex, {{kProcessorTimeCounterIndex, 1}}, {}});
    builder.Put32(builder.ObjectOffset(0), 0);     // TotalByteLength 0
    builder.Put32(28, 0x7FFFFFFF);                 // and a huge object count
    EXPECT_FALSE(FindProcessorTime(View(builder.Bytes()), "zumbrel", &AsciiNameConverter).objectFound);
}

TEST(PerfDataWalk, AsciiConverterReplacesOtherCharacters)
{
    char out[8];
    const char16_t name[] = u"a\u00e9b";
    ASSERT_EQ(AsciiNameConverter(name, 3, out, sizeof out), 3u);
    EXPECT_EQ(std::string(out, 3), "a?b");
    EXPECT_GE(AsciiNameConverter(name, 3, out, 3), 3u); // does not fit
}
