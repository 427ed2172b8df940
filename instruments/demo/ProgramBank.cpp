#include "ProgramBank.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace demo {

namespace {

constexpr unsigned char kMagic[4] = {'Z', 'm', 'D', 'm'};
constexpr std::uint32_t kVersion = 1;

void putU32(unsigned char*& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        *out++ = static_cast<unsigned char>(value >> (8 * i));
}

std::uint32_t getU32(const unsigned char*& in)
{
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(*in++) << (8 * i);
    return value;
}

void putFloat(unsigned char*& out, float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    putU32(out, bits);
}

float getFloat(const unsigned char*& in)
{
    const std::uint32_t bits = getU32(in);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

float clamp01(float value)
{
    return std::fmin(std::fmax(value, 0.0f), 1.0f);
}

// Copies at most the name length and fills the rest of the field with zeros.
void setName(char (&target)[ProgramBank::kNameLength + 1], const char* text)
{
    const std::size_t length = strnlen(text, ProgramBank::kNameLength);
    std::memcpy(target, text, length);
    std::memset(target + length, 0, sizeof target - length);
}

// A chunk's programs, checked and decoded before any of them is applied.
struct Decoded {
    int programCount = 0;
    int current = 0;
    char names[ProgramBank::kPrograms][ProgramBank::kNameLength + 1] = {};
    float values[ProgramBank::kPrograms][kParameterCount] = {};
};

bool decode(const unsigned char* data, std::size_t size, int programCount, Decoded& out)
{
    const std::size_t expected = ProgramBank::kHeaderBytes + programCount * ProgramBank::kProgramBytes;
    if (!data || size != expected || std::memcmp(data, kMagic, sizeof kMagic) != 0)
        return false;
    const unsigned char* in = data + sizeof kMagic;
    if (getU32(in) != kVersion || getU32(in) != static_cast<std::uint32_t>(programCount)
        || getU32(in) != static_cast<std::uint32_t>(kParameterCount))
        return false;
    const std::uint32_t current = getU32(in);
    if (current >= static_cast<std::uint32_t>(ProgramBank::kPrograms))
        return false;
    out.programCount = programCount;
    out.current = static_cast<int>(current);
    for (int p = 0; p < programCount; ++p) {
        const char* field = reinterpret_cast<const char*>(in);
        const std::size_t length = strnlen(field, ProgramBank::kNameLength + 1);
        if (length > ProgramBank::kNameLength)
            return false;
        std::memcpy(out.names[p], field, length);  // the rest stays zero
        in += ProgramBank::kNameField;
        for (int i = 0; i < kParameterCount; ++i) {
            const float value = getFloat(in);
            if (!std::isfinite(value))
                return false;
            out.values[p][i] = clamp01(value);
        }
    }
    return true;
}

}  // namespace

ProgramBank::ProgramBank()
{
    for (int p = 0; p < kPrograms; ++p) {
        float factory[kParameterCount];
        readParameters(kPatches[p], factory);
        for (int i = 0; i < kParameterCount; ++i)
            values[p][i].store(factory[i], std::memory_order_relaxed);
        setName(names[p], kPatches[p].name);
    }
}

bool ProgramBank::select(int program)
{
    if (program < 0 || program >= kPrograms)
        return false;
    selected.store(program, std::memory_order_relaxed);
    return true;
}

float ProgramBank::valueOf(int program, int parameter) const
{
    if (program < 0 || program >= kPrograms || parameter < 0 || parameter >= kParameterCount)
        return 0.0f;
    return values[program][parameter].load(std::memory_order_relaxed);
}

void ProgramBank::setValue(int parameter, float value)
{
    if (parameter < 0 || parameter >= kParameterCount || std::isnan(value))
        return;
    values[current()][parameter].store(clamp01(value), std::memory_order_relaxed);
}

const char* ProgramBank::name(int program) const
{
    return program >= 0 && program < kPrograms ? names[program] : "";
}

void ProgramBank::rename(const char* text)
{
    if (text)
        setName(names[current()], text);
}

Patch ProgramBank::sound() const
{
    const int program = current();
    float now[kParameterCount];
    for (int i = 0; i < kParameterCount; ++i)
        now[i] = values[program][i].load(std::memory_order_relaxed);
    Patch patch = kPatches[program];
    applyParameters(now, patch);
    return patch;
}

std::size_t ProgramBank::save(Scope scope, unsigned char* out) const
{
    const int first = scope == Scope::Bank ? 0 : current();
    const int count = scope == Scope::Bank ? kPrograms : 1;
    unsigned char* at = out;
    std::memcpy(at, kMagic, sizeof kMagic);
    at += sizeof kMagic;
    putU32(at, kVersion);
    putU32(at, static_cast<std::uint32_t>(count));
    putU32(at, static_cast<std::uint32_t>(kParameterCount));
    putU32(at, static_cast<std::uint32_t>(current()));
    for (int p = first; p < first + count; ++p) {
        std::memset(at, 0, kNameField);
        std::memcpy(at, names[p], std::strlen(names[p]));
        at += kNameField;
        for (int i = 0; i < kParameterCount; ++i)
            putFloat(at, values[p][i].load(std::memory_order_relaxed));
    }
    return static_cast<std::size_t>(at - out);
}

bool ProgramBank::load(Scope scope, const unsigned char* data, std::size_t size)
{
    Decoded chunk;
    if (!decode(data, size, scope == Scope::Bank ? kPrograms : 1, chunk))
        return false;
    const int first = scope == Scope::Bank ? 0 : current();
    for (int p = 0; p < chunk.programCount; ++p) {
        setName(names[first + p], chunk.names[p]);
        for (int i = 0; i < kParameterCount; ++i)
            values[first + p][i].store(chunk.values[p][i], std::memory_order_relaxed);
    }
    if (scope == Scope::Bank)
        select(chunk.current);
    return true;
}

}  // namespace demo
