#include "settings/ProfileNumber.h"

#include <gtest/gtest.h>

TEST(ProfileNumberParse, DecimalTextAsTheSettingsFileHoldsIt)
{
    const struct { const char* text; int radix; std::int32_t expected; } cases[] = {
        {"120", 10, 120},          {"007", 10, 7},              {"-1", 10, -1},
        {"  \t42", 10, 42},        {"+5", 10, 5},               {"12abc", 10, 12},
        {"abc", 10, 0},            {"-", 10, 0},                {"", 10, 0},
        {" - 3", 10, 0},           {"--3", 10, 0},              {"2147483647", 10, 2147483647},
        {"2147483648", 10, INT32_MIN}, {"4294967295", 10, -1},  {"4294967296", 10, -1},
        {"99999999999999999999999", 10, -1}, {"-4294967295", 10, 1}, {"-4294967296", 10, -1},
        {"-2147483648", 10, INT32_MIN}, {"48000", 7, 48000},    {"12", 0, 12},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseProfileInt(c.text, c.radix), c.expected) << '"' << c.text << "\" radix " << c.radix;
}

TEST(ProfileNumberParse, OtherRadixesStopAtTheFirstForeignDigit)
{
    EXPECT_EQ(parseProfileInt("fF", 16), 255);
    EXPECT_EQ(parseProfileInt("0x1F", 16), 0) << "no prefix is accepted";
    EXPECT_EQ(parseProfileInt("FFFFFFFF", 16), -1);
    EXPECT_EQ(parseProfileInt("1FFFFFFFF", 16), -1);
    EXPECT_EQ(parseProfileInt("778", 8), 63);
    EXPECT_EQ(parseProfileInt("-10", 8), -8);
    EXPECT_EQ(parseProfileInt("1012", 2), 5);
    EXPECT_EQ(parseProfileInt(nullptr, 10), 0);
}

TEST(ProfileNumberFormat, EachRadixWritesItsOwnText)
{
    EXPECT_EQ(formatProfileInt(96, 10), "96");
    EXPECT_EQ(formatProfileInt(-1, 10), "-1");
    EXPECT_EQ(formatProfileInt(INT32_MIN, 10), "-2147483648");
    EXPECT_EQ(formatProfileInt(-1, 3), "-1") << "unknown radixes write decimal";
    EXPECT_EQ(formatProfileInt(255, 16), "FF");
    EXPECT_EQ(formatProfileInt(-1, 16), "FFFFFFFF");
    EXPECT_EQ(formatProfileInt(8, 8), "10");
    EXPECT_EQ(formatProfileInt(0, 2), "0");
    EXPECT_EQ(formatProfileInt(5, 2), "101");
    EXPECT_EQ(formatProfileInt(-1, 2), std::string(32, '1'));
}

TEST(ProfileNumber, EveryRadixReadsBackWhatItWrote)
{
    for (int radix : {2, 8, 10, 16})
        for (std::int32_t value : {0, 1, 7, 120, 999, -1, -120, INT32_MAX, INT32_MIN})
            EXPECT_EQ(parseProfileInt(formatProfileInt(value, radix).c_str(), radix), value)
                << value << " in radix " << radix;
}
