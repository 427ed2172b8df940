#include "ui/GenericEditorLayout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace ui;

TEST(GenericEditorLayout, PreferredSizeGrowsWithRowsUpToTheScrollingLimit)
{
    const GenericEditorLayout layout(13); // 13-pixel text: 26-pixel rows, 8-pixel margins
    const struct { int count; Extent size; } cases[] = {
        {-5, {240, 48}}, {0, {240, 48}}, {1, {420, 42}}, {16, {420, 432}}, {17, {420, 432}},
        {2000, {420, 432}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(layout.PreferredSize(c.count), c.size) << c.count;
    EXPECT_EQ(GenericEditorLayout(20).RowHeight(), 30) << "a larger font makes taller rows";
    EXPECT_EQ(layout.RowsThatFit(432), 16);
    EXPECT_EQ(layout.RowsThatFit(431), 15);
    EXPECT_EQ(layout.RowsThatFit(3), 0);
}

TEST(GenericEditorLayout, ValuesMapToPositionsAndBack)
{
    const struct { float value; int position; } cases[] = {
        {0.0f, 0},  {0.5f, 500},  {1.0f, 1000}, {0.0006f, 1}, {0.9996f, 1000},
        {-3.0f, 0}, {7.0f, 1000}, {NAN, 0},     {INFINITY, 1000},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PositionFromValue(c.value), c.position) << c.value;
    for (int p = 0; p <= kPositions; ++p)
        ASSERT_EQ(PositionFromValue(ValueFromPosition(p)), p);
}

TEST(GenericEditorLayout, ScrollingStaysWithinTheRowsAndTheWheelKeepsItsRemainder)
{
    const struct { int first, count, shown, clamped; } clamps[] = {
        {-1, 100, 16, 0}, {50, 100, 16, 50}, {90, 100, 16, 84}, {3, 10, 16, 0}, {5, 0, 0, 0},
    };
    for (const auto& c : clamps)
        EXPECT_EQ(ClampFirstRow(c.first, c.count, c.shown), c.clamped) << c.first;

    const struct { int delta, lines, rows; } steps[] = {
        {-120, 3, 3}, {120, 3, -3}, {-40, 3, 1}, {-20, 3, 0}, {-20, 3, 1}, // fine wheels add up
        {-20, 3, 0},  {60, 3, -1},  {60, 3, -2},                          // turning back
        {-120, 0, 0},
    };
    int pending = 0;
    for (const auto& s : steps)
        EXPECT_EQ(WheelRows(pending, s.delta, s.lines), s.rows) << s.delta;
}

TEST(GenericEditorLayout, TextsAreCleanedAndCut)
{
    const struct { std::string in; std::string out; } cases[] = {
        {"  Res\tonance \r\n", "Res onance"},
        {"a\x01\x7f" "b", "a b"},
        {std::string("Gain\0junk", 9), "Gain"},
        {"Caf\xe9", "Caf\xe9"},
        {std::string(200, 'x'), std::string(61, 'x') + "..."},
        {std::string(64, 'y'), std::string(64, 'y')},
        {std::string(63, 'z') + "      ", std::string(63, 'z')},
        {std::string(61, 'w') + "   abc", std::string(61, 'w') + "..."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CleanText(c.in), c.out) << c.in;

    const struct { const char* display; const char* label; const char* text; } values[] = {
        {"-6.0", "dB", "-6.0 dB"}, {"  440 ", " Hz", "440 Hz"}, {"Saw", "", "Saw"},
        {"", "dB", "dB"},          {"", "", ""},                {"1\n2", "ms\x01", "1 2 ms"},
    };
    for (const auto& v : values)
        EXPECT_EQ(ValueText(v.display, v.label), v.text) << v.display;
    EXPECT_EQ(NameText("\n\t", 41), "Parameter 42");
    EXPECT_EQ(InstrumentText(" \x02 "), "Instrument");
}
