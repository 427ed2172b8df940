#include "ProgramBank.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using demo::ProgramBank;
using Bytes = std::vector<unsigned char>;

Bytes save(const ProgramBank& bank, ProgramBank::Scope scope)
{
    Bytes out(ProgramBank::kBankChunkBytes);
    out.resize(bank.save(scope, out.data()));
    return out;
}

void putU32(Bytes& chunk, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        chunk[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>(value >> (8 * i));
}

void putFloat(Bytes& chunk, std::size_t at, float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    putU32(chunk, at, bits);
}

constexpr std::size_t kFirstValue = ProgramBank::kHeaderBytes + ProgramBank::kNameField;

}  // namespace

TEST(DemoProgramBank, FactoryProgramsSoundAsTheirPatches)
{
    ProgramBank bank;
    for (int p = 0; p < ProgramBank::kPrograms; ++p) {
        bank.select(p);
        const demo::Patch& factory = demo::kPatches[p];
        const demo::Patch sound = bank.sound();
        EXPECT_STREQ(bank.name(p), factory.name);
        const float pairs[][2] = {{sound.gain, factory.gain},
                                  {sound.cutoff, factory.cutoff},
                                  {sound.resonance, factory.resonance},
                                  {sound.detuneCents, factory.detuneCents},
                                  {sound.ampAttack, factory.ampAttack},
                                  {sound.ampDecay, factory.ampDecay},
                                  {sound.ampSustain, factory.ampSustain},
                                  {sound.ampRelease, factory.ampRelease}};
        for (const auto& pair : pairs)
            EXPECT_NEAR(pair[0], pair[1], 1e-4f * (1.0f + pair[1])) << factory.name;
        EXPECT_EQ(sound.pulseWidth, factory.pulseWidth) << "what is no parameter stays the program's";
    }
}

TEST(DemoProgramBank, AProgramChunkLandsInTheCurrentProgramWithItsValuesClamped)
{
    ProgramBank bank;
    bank.select(2);
    bank.setValue(demo::kCutoff, 0.25f);
    bank.rename("Before");
    Bytes program = save(bank, ProgramBank::Scope::Program);
    ASSERT_EQ(program.size(), ProgramBank::kProgramChunkBytes);
    putFloat(program, kFirstValue + 4 * demo::kLevel, 7.0f);
    putFloat(program, kFirstValue + 4 * demo::kResonance, -3.0f);

    bank.select(5);
    ASSERT_TRUE(bank.load(ProgramBank::Scope::Program, program.data(), program.size()));
    EXPECT_EQ(bank.current(), 5);
    EXPECT_STREQ(bank.name(5), "Before");
    EXPECT_EQ(bank.value(demo::kCutoff), 0.25f);
    EXPECT_EQ(bank.value(demo::kLevel), 1.0f);
    EXPECT_EQ(bank.value(demo::kResonance), 0.0f);
}

TEST(DemoProgramBank, DamagedChunksAreRefusedWholeAndChangeNothing)
{
    ProgramBank bank;
    const Bytes program = save(bank, ProgramBank::Scope::Program);
    const Bytes whole = save(bank, ProgramBank::Scope::Bank);
    auto refused = [&](const Bytes& chunk, ProgramBank::Scope scope) {
        const bool loaded = bank.load(scope, chunk.data(), chunk.size());
        return !loaded && save(bank, ProgramBank::Scope::Bank) == whole && bank.current() == 0;
    };
    for (std::size_t size = 0; size < program.size(); ++size)
        EXPECT_TRUE(refused(Bytes(program.begin(), program.begin() + static_cast<long>(size)),
                            ProgramBank::Scope::Program)) << "cut to " << size;
    Bytes longer = program;
    longer.push_back(0);
    EXPECT_TRUE(refused(longer, ProgramBank::Scope::Program));
    EXPECT_TRUE(refused(program, ProgramBank::Scope::Bank));
    EXPECT_TRUE(refused(whole, ProgramBank::Scope::Program));
    EXPECT_FALSE(bank.load(ProgramBank::Scope::Program, nullptr, program.size()));

    const struct {
        const char* what;
        std::size_t at;
        std::uint32_t word;
    } damage[] = {
        {"magic", 0, 0x6D446D5Bu},
        {"version", 4, 2},
        {"program count", 8, 0xFFFFFFFFu},
        {"parameter count", 12, demo::kParameterCount + 1},
        {"parameter count", 12, 0},
        {"current program", 16, ProgramBank::kPrograms},
        {"unterminated name", ProgramBank::kHeaderBytes + 24, 0x41414141u},
        {"NaN value", kFirstValue, 0x7FC00000u},
        {"infinite value", kFirstValue + 4, 0x7F800000u},
    };
    for (const auto& d : damage) {
        Bytes chunk = program;
        std::memset(chunk.data() + ProgramBank::kHeaderBytes, 'A', 24);  // a name of the full length
        ASSERT_TRUE(bank.load(ProgramBank::Scope::Program, chunk.data(), chunk.size()));
        ASSERT_TRUE(bank.load(ProgramBank::Scope::Program, program.data(), program.size()));
        putU32(chunk, d.at, d.word);
        EXPECT_TRUE(refused(chunk, ProgramBank::Scope::Program)) << d.what;
    }
}
