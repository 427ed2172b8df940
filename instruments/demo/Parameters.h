#pragma once
// The demo instrument's parameters. The host sees each one as a value from 0 to 1; inside it
// stands for a musical quantity in its own unit (dB, Hz, %, cents, ms), which is also what the
// host shows. The patch fields they do not cover stay fixed per program.

#include "Patch.h"

#include <cstddef>

namespace demo {

enum Parameter : int {
    kLevel,
    kCutoff,
    kResonance,
    kDetune,
    kAttack,
    kDecay,
    kSustain,
    kRelease,
    kParameterCount
};

// Name and unit of a parameter, each at most 7 characters (the classic host's 8-byte field).
const char* parameterName(int parameter);
const char* parameterLabel(int parameter);

// Between 0..1 and the parameter's unit; out-of-range input is clamped.
float toUnit(int parameter, float value);
float fromUnit(int parameter, float unitValue);

// The value in the parameter's unit as short text (at most 7 characters), e.g. "-6.0" or "450".
void formatValue(int parameter, float value, char* text, std::size_t size);

// `values` holds kParameterCount values of 0..1.
void readParameters(const Patch& patch, float* values);
void applyParameters(const float* values, Patch& patch);

}  // namespace demo
