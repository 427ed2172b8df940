#include "settings/ProfileNumber.h"

#include <cstdio>

namespace {

constexpr std::uint64_t kMaxValue = 0xFFFFFFFFu;

int effectiveRadix(int radix)
{
    return (radix == 2 || radix == 8 || radix == 16) ? radix : 10;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The value of `c` as a digit, or a value no radix accepts.
int digitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 99;
}

}  // namespace

std::int32_t parseProfileInt(const char* text, int radix)
{
    if (!text)
        return 0;
    const int base = effectiveRadix(radix);
    while (isSpace(*text))
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-')
        negative = *text++ == '-';

    std::uint64_t value = 0;
    bool overflow = false;
    for (int digit; (digit = digitValue(*text)) < base; ++text) {
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        if (value > kMaxValue) {
            overflow = true;
            value = kMaxValue;  // keeps the product small; the rest of the digits are consumed
        }
    }
    // An overflowing number saturates whatever its sign, so it reads as -1.
    std::uint32_t bits = static_cast<std::uint32_t>(value);
    if (negative && !overflow)
        bits = 0u - bits;
    return static_cast<std::int32_t>(bits);
}

std::string formatProfileInt(std::int32_t value, int radix)
{
    const auto bits = static_cast<std::uint32_t>(value);
    char text[40];
    switch (effectiveRadix(radix)) {
    case 16:
        std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(bits));
        return text;
    case 8:
        std::snprintf(text, sizeof text, "%o", static_cast<unsigned>(bits));
        return text;
    case 2: {
        std::string digits;
        for (std::uint32_t rest = bits; rest != 0; rest >>= 1)
            digits.insert(digits.begin(), static_cast<char>('0' + (rest & 1u)));
        return digits.empty() ? "0" : digits;
    }
    default:
        std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
        return text;
    }
}
