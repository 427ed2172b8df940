#include "Parameters.h"

#include <cmath>
#include <cstdio>

namespace demo {

namespace {

enum class Scale { Linear, Exponential };

struct Info {
    const char* name;
    const char* label;
    Scale scale;
    float low, high;  // in the parameter's unit
    int decimals;     // shown; -1: fewer as the value grows (times)
};

// Exponential scales give each octave or decade the same travel, as the ear hears them.
constexpr Info kInfo[kParameterCount] = {
    {"Level", "dB", Scale::Linear, -42.0f, 6.0f, 1},
    {"Cutoff", "Hz", Scale::Exponential, 20.0f, 20000.0f, 0},
    {"Reso", "%", Scale::Linear, 0.0f, 100.0f, 0},
    {"Detune", "ct", Scale::Linear, 0.0f, 50.0f, 1},
    {"Attack", "ms", Scale::Exponential, 1.0f, 10000.0f, -1},
    {"Decay", "ms", Scale::Exponential, 1.0f, 10000.0f, -1},
    {"Sustain", "%", Scale::Linear, 0.0f, 100.0f, 0},
    {"Release", "ms", Scale::Exponential, 1.0f, 10000.0f, -1},
};

constexpr float kMaxResonance = 0.95f;  // the filter's own limit, reached at 100 %
constexpr float kSecondsPerMs = 0.001f;

bool known(int parameter)
{
    return parameter >= 0 && parameter < kParameterCount;
}

float clamp01(float value)
{
    return std::fmin(std::fmax(value, 0.0f), 1.0f);  // NaN becomes 0
}

}  // namespace

const char* parameterName(int parameter)
{
    return known(parameter) ? kInfo[parameter].name : "";
}

const char* parameterLabel(int parameter)
{
    return known(parameter) ? kInfo[parameter].label : "";
}

float toUnit(int parameter, float value)
{
    if (!known(parameter))
        return 0.0f;
    const Info& info = kInfo[parameter];
    const float v = clamp01(value);
    if (info.scale == Scale::Exponential)
        return info.low * std::pow(info.high / info.low, v);
    return info.low + (info.high - info.low) * v;
}

float fromUnit(int parameter, float unitValue)
{
    if (!known(parameter))
        return 0.0f;
    const Info& info = kInfo[parameter];
    if (info.scale == Scale::Exponential)
        return unitValue > info.low ? clamp01(std::log(unitValue / info.low) / std::log(info.high / info.low)) : 0.0f;
    return clamp01((unitValue - info.low) / (info.high - info.low));
}

void formatValue(int parameter, float value, char* text, std::size_t size)
{
    if (!text || size == 0)
        return;
    if (!known(parameter)) {
        text[0] = '\0';
        return;
    }
    float shown = toUnit(parameter, value);
    int decimals = kInfo[parameter].decimals;
    if (decimals < 0)
        decimals = shown < 10.0f ? 2 : (shown < 100.0f ? 1 : 0);
    // A value that rounds to zero is shown without a sign.
    if (std::fabs(shown) < 0.5f * std::pow(10.0f, static_cast<float>(-decimals)))
        shown = 0.0f;
    std::snprintf(text, size, "%.*f", decimals, static_cast<double>(shown));
}

void readParameters(const Patch& patch, float* values)
{
    values[kLevel] = fromUnit(kLevel, 20.0f * std::log10(patch.gain));
    values[kCutoff] = fromUnit(kCutoff, patch.cutoff);
    values[kResonance] = fromUnit(kResonance, 100.0f * patch.resonance / kMaxResonance);
    values[kDetune] = fromUnit(kDetune, patch.detuneCents);
    values[kAttack] = fromUnit(kAttack, patch.ampAttack / kSecondsPerMs);
    values[kDecay] = fromUnit(kDecay, patch.ampDecay / kSecondsPerMs);
    values[kSustain] = fromUnit(kSustain, 100.0f * patch.ampSustain);
    values[kRelease] = fromUnit(kRelease, patch.ampRelease / kSecondsPerMs);
}

void applyParameters(const float* values, Patch& patch)
{
    patch.gain = std::pow(10.0f, toUnit(kLevel, values[kLevel]) / 20.0f);
    patch.cutoff = toUnit(kCutoff, values[kCutoff]);
    patch.resonance = kMaxResonance * toUnit(kResonance, values[kResonance]) / 100.0f;
    patch.detuneCents = toUnit(kDetune, values[kDetune]);
    patch.ampAttack = toUnit(kAttack, values[kAttack]) * kSecondsPerMs;
    patch.ampDecay = toUnit(kDecay, values[kDecay]) * kSecondsPerMs;
    patch.ampSustain = toUnit(kSustain, values[kSustain]) / 100.0f;
    patch.ampRelease = toUnit(kRelease, values[kRelease]) * kSecondsPerMs;
}

}  // namespace demo
