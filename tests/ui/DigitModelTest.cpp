#include "ui/DigitModel.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace {

constexpr int kBlank = 0;
constexpr int kMinus = 11;
int digitCell(int d) { return d + 1; }

std::vector<int> cells(const CDigitModel& model)
{
    std::vector<int> out;
    for (int k = 0; k < model.shownDigits(); ++k)
        out.push_back(model.cellAt(k));
    return out;
}

struct Tempo : ::testing::Test {
    CDigitModel model{120, 1, 999};
    int notifications = 0;
    void SetUp() override
    {
        model.onNotify = [this] { ++notifications; };
        model.SetDigitCount(3);
    }
};

}  // namespace

TEST_F(Tempo, CellsShowTheLowestDigitsWithTheUnitsAtTheRight)
{
    model.SetMinimum(INT_MIN);
    model.SetMaximum(INT_MAX);
    const struct { int value; std::vector<int> expected; } cases[] = {
        {0, {kBlank, kBlank, digitCell(0)}},
        {7, {kBlank, kBlank, digitCell(7)}},
        {140, {digitCell(1), digitCell(4), digitCell(0)}},
        {-5, {kBlank, kMinus, digitCell(5)}},
        {-45, {kMinus, digitCell(4), digitCell(5)}},
        {-123, {digitCell(1), digitCell(2), digitCell(3)}},
        {1234, {digitCell(2), digitCell(3), digitCell(4)}},
        {INT_MIN, {digitCell(6), digitCell(4), digitCell(8)}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(model.SetValue(c.value));
        EXPECT_EQ(cells(model), c.expected) << c.value;
    }
    model.m_bLeadingZeros = true;
    model.SetValue(7);
    EXPECT_EQ(cells(model), (std::vector<int>{digitCell(0), digitCell(0), digitCell(7)}));
}

TEST_F(Tempo, NothingShowsBeforeTheFirstValueAlthoughOneWasGiven)
{
    EXPECT_EQ(model.GetValue(), 120);
    EXPECT_EQ(cells(model), (std::vector<int>{kBlank, kBlank, kBlank}));
}

TEST_F(Tempo, EveryRequestNotifiesButOnlyValuesInRangeAreTaken)
{
    ASSERT_TRUE(model.SetValue(120));
    int seenDuringNotification = -1;
    model.onNotify = [&] { ++notifications; seenDuringNotification = model.GetValue(); };

    EXPECT_FALSE(model.SetValue(1000));
    EXPECT_FALSE(model.SetValue(0));
    EXPECT_EQ(model.GetValue(), 120);
    EXPECT_EQ(cells(model), (std::vector<int>{digitCell(1), digitCell(2), digitCell(0)}));
    EXPECT_EQ(notifications, 3);

    EXPECT_TRUE(model.SetValue(96));
    EXPECT_EQ(seenDuringNotification, 120) << "the parent hears before the value changes";

    // New bounds leave a value outside them alone.
    model.SetMaximum(50);
    EXPECT_EQ(model.GetValue(), 96);
}

TEST_F(Tempo, DigitCountsOfOneHundredOrMoreAreIgnored)
{
    model.SetDigitCount(100);
    EXPECT_EQ(model.shownDigits(), 3);
    model.SetDigitCount(0);
    EXPECT_TRUE(cells(model).empty());
    model.SetDigitCount(-4);
    EXPECT_TRUE(cells(model).empty());
    model.SetDigitCount(99);
    model.SetValue(5);
    EXPECT_EQ(model.cellAt(98), digitCell(5));
    EXPECT_EQ(model.cellAt(0), kBlank);
}

TEST_F(Tempo, EachDragEventMovesOneStepAndNotifies)
{
    model.SetValue(120);
    model.m_bLocked = false;
    model.press(50);
    notifications = 0;

    model.move(10, true);  // far up: still one step
    EXPECT_EQ(model.GetValue(), 121);
    EXPECT_EQ(notifications, 2) << "one from the value request, one for the move";

    model.move(10, true);  // level: no change, still a notification
    EXPECT_EQ(model.GetValue(), 121);
    EXPECT_EQ(notifications, 3);

    model.move(11, true);
    model.move(12, true);
    EXPECT_EQ(model.GetValue(), 119);

    notifications = 0;
    model.move(0, false);  // Shift, Ctrl or another button held
    EXPECT_EQ(model.GetValue(), 119);
    EXPECT_EQ(notifications, 0);
    model.m_bLocked = true;
    model.move(-10, true);
    EXPECT_EQ(model.GetValue(), 119);
}

TEST_F(Tempo, DraggingPastABoundStopsAtTheLastAcceptedValue)
{
    model.SetValue(998);
    model.m_bLocked = false;
    model.press(100);
    for (int y = 99; y > 90; --y)
        model.move(y, true);
    EXPECT_EQ(model.GetValue(), 999);

    CDigitModel wide(INT_MAX, INT_MIN, INT_MAX);
    wide.m_bLocked = false;
    wide.SetValue(INT_MAX);
    wide.press(5);
    wide.move(4, true);
    EXPECT_EQ(wide.GetValue(), INT_MAX) << "no overflow past the 32-bit range";
}
