#include "sysinfo/PerfDataBuffer.h"

#include <gtest/gtest.h>

#include <vector>

using namespace sysinfo;

namespace {

// A scripted query: each call records the room it was given and answers with the next step.
struct Script {
    struct Step {
        long result;
        std::uint32_t sizeLeft; // what the query leaves in the size argument
    };
    explicit Script(std::vector<Step> script = {}) : steps(std::move(script)) {}

    std::vector<Step> steps;
    std::vector<std::uint32_t> roomSeen;
    std::vector<bool> zeroedSeen;
    std::size_t next = 0;
    bool endlessMoreData = false;

    static long Query(void* context, std::uint8_t* data, std::uint32_t* size)
    {
        auto* self = static_cast<Script*>(context);
        self->roomSeen.push_back(*size);
        bool zeroed = true;
        for (std::uint32_t i = 0; i < *size && !self->endlessMoreData; ++i) {
            zeroed = zeroed && data[i] == 0;
        }
        self->zeroedSeen.push_back(zeroed);
        data[0] = 0xAB; // leaves something behind for the next fill to clear
        if (self->endlessMoreData) {
            return kQueryMoreData; // the size argument left as it was
        }
        const Step step = self->steps.at(self->next++);
        *size = step.sizeLeft;
        return step.result;
    }
};

} // namespace

TEST(PerfDataBuffer, IsCreatedWithTheInitialSize)
{
    CPerfDataBuffer buffer;
    EXPECT_EQ(buffer.Size(), 0u);
    ASSERT_TRUE(buffer.EnsureCreated());
    EXPECT_EQ(buffer.Size(), kInitialPerfBufferBytes);
}

// Each retry grows the buffer to 10240 bytes beyond what the query left in the size argument;
// the grown size is kept for later calls.
TEST(PerfDataBuffer, GrowsBeyondTheSizeTheQueryLeaves)
{
    CPerfDataBuffer buffer;
    ASSERT_TRUE(buffer.EnsureCreated());
    Script script(std::vector<Script::Step>{{kQueryMoreData, 150000}, {kQueryMoreData, 170000}, {kQuerySuccess, 175000},
                    {kQuerySuccess, 1000}});
    EXPECT_EQ(buffer.Fill(&Script::Query, &script), kQuerySuccess);
    EXPECT_EQ(script.roomSeen, (std::vector<std::uint32_t>{102400, 160240, 180240}));
    EXPECT_EQ(buffer.Size(), 180240u);

    EXPECT_EQ(buffer.Fill(&Script::Query, &script), kQuerySuccess);
    EXPECT_EQ(script.roomSeen.back(), 180240u);
    EXPECT_EQ(buffer.Size(), 180240u);
    // Each fill starts from zeros; a retry within one fill gets the buffer as the call left it.
    ASSERT_EQ(script.zeroedSeen.size(), 4u);
    EXPECT_TRUE(script.zeroedSeen[0]);
    EXPECT_FALSE(script.zeroedSeen[1]);
    EXPECT_TRUE(script.zeroedSeen[3]);
}

TEST(PerfDataBuffer, NeverShrinksWhenTheQueryLeavesLess)
{
    CPerfDataBuffer buffer;
    ASSERT_TRUE(buffer.EnsureCreated());
    Script script(std::vector<Script::Step>{{kQueryMoreData, 100}, {kQuerySuccess, 100}});
    EXPECT_EQ(buffer.Fill(&Script::Query, &script), kQuerySuccess);
    EXPECT_EQ(script.roomSeen, (std::vector<std::uint32_t>{102400, 10340}));
    EXPECT_EQ(buffer.Size(), kInitialPerfBufferBytes);
}

TEST(PerfDataBuffer, AFailingQueryEndsTheLoop)
{
    CPerfDataBuffer buffer;
    ASSERT_TRUE(buffer.EnsureCreated());
    Script script;
    const long kAccessDenied = 5;
    script.steps = {{kQueryMoreData, 102400}, {kAccessDenied, 0}};
    EXPECT_EQ(buffer.Fill(&Script::Query, &script), kAccessDenied);
    EXPECT_EQ(script.roomSeen.size(), 2u);
}

// A query that always wants more (and, like the real one, leaves the size as it was) is
// followed only up to the limit.
TEST(PerfDataBuffer, GrowthStopsAtTheLimit)
{
    CPerfDataBuffer buffer;
    ASSERT_TRUE(buffer.EnsureCreated());
    Script script;
    script.endlessMoreData = true;
    EXPECT_EQ(buffer.Fill(&Script::Query, &script), kQueryMoreData);
    EXPECT_LE(buffer.Size(), kMaxPerfBufferBytes);
    EXPECT_GT(buffer.Size(), kMaxPerfBufferBytes - kPerfBufferGrowthBytes);
    for (std::size_t i = 1; i < script.roomSeen.size(); ++i) {
        EXPECT_EQ(script.roomSeen[i], script.roomSeen[i - 1] + kPerfBufferGrowthBytes);
    }
}

TEST(PerfDataBuffer, FillBeforeCreationQueriesNothing)
{
    CPerfDataBuffer buffer;
    Script script;
    EXPECT_EQ(buffer.Fill(&Script::Query, &script), kQueryMoreData);
    EXPECT_TRUE(script.roomSeen.empty());
}
