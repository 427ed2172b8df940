#pragma once
// Integer text of the settings file: parsing as the store reads it, formatting as it writes it.
// Portable: no operating-system headers.

#include <cstdint>
#include <string>

// Parses `text` as an unsigned 32-bit number in radix 2, 8 or 16, any other radix meaning 10:
// leading white space and one sign are accepted, digits are read up to the first character
// that is not a digit of the radix, a minus negates modulo 2^32, and a number above
// 4294967295 saturates there. No leading digits gives 0. The result is the 32 bits read as a
// signed value, so "-1" and every overflowing number give -1.
std::int32_t parseProfileInt(const char* text, int radix);

// Formats `value` for the settings file: signed decimal for radix 10 and every radix other than
// 2, 8 and 16; unsigned upper-case hexadecimal, octal or binary (no prefix, no leading zeros,
// "0" for zero) for those three.
std::string formatProfileInt(std::int32_t value, int radix);
