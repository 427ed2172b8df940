// Program and bank files: the published layout byte for byte, round trips of all four forms,
// and damaged or hostile files refused without reading past their end.
#include "plugin/PresetFile.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using Bytes = std::vector<std::uint8_t>;

preset::File ParameterBank()
{
    preset::File file;
    file.form = preset::Form::BankPrograms;
    file.pluginId = 0x5A50726F;
    file.pluginVersion = 1234;
    file.currentProgram = 1;
    file.programs = {{"Warm", {0.25f, 1.0f}}, {"Bright", {0.5f, 0.0f}}};
    return file;
}

void PutU32(Bytes& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

// A parameter program, laid out by hand from the published format.
TEST(PresetFile, ProgramMatchesThePublishedLayout)
{
    preset::File file;
    file.form = preset::Form::ProgramParameters;
    file.pluginId = 0x41424344;
    file.pluginVersion = 7;
    file.program = {"Lead", {1.0f, -0.5f}};
    Bytes expected = {'C', 'c', 'n', 'K', 0, 0, 0, 56,  // 64 bytes in all
                      'F', 'x', 'C', 'k', 0, 0, 0, 1, 'A', 'B', 'C', 'D', 0, 0, 0, 7, 0, 0, 0, 2,
                      'L', 'e', 'a', 'd'};
    expected.resize(56, 0);
    const Bytes values = {0x3F, 0x80, 0, 0, 0xBF, 0, 0, 0};  // 1.0f and -0.5f, big-endian
    expected.insert(expected.end(), values.begin(), values.end());
    EXPECT_EQ(preset::Write(file), expected);
}

TEST(PresetFile, BankHeaderHoldsTheCurrentProgramAndProgramRecords)
{
    const Bytes bytes = preset::Write(ParameterBank());
    ASSERT_EQ(bytes.size(), 156u + 2 * 64u);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 16),
              (Bytes{'C', 'c', 'n', 'K', 0, 0, 1, 20, 'F', 'x', 'B', 'k', 0, 0, 0, 2}));
    EXPECT_EQ(Bytes(bytes.begin() + 24, bytes.begin() + 32), (Bytes{0, 0, 0, 2, 0, 0, 0, 1}));
    EXPECT_EQ(Bytes(bytes.begin() + 156, bytes.begin() + 160), (Bytes{'C', 'c', 'n', 'K'}));
}

TEST(PresetFile, EveryFormReadsBackAsWritten)
{
    preset::File program;
    program.form = preset::Form::ProgramParameters;
    program.program = {"A name of exactly 27 chars.", {0.0f, 0.125f, 1.0f}};
    preset::File programChunk;
    programChunk.form = preset::Form::ProgramChunk;
    programChunk.program.name = "Chunky";
    programChunk.parameterCount = 8;
    programChunk.chunk = {1, 2, 3, 0, 255};
    preset::File bankChunk;
    bankChunk.form = preset::Form::BankChunk;
    bankChunk.programCount = 8;
    bankChunk.currentProgram = 5;
    bankChunk.chunk = Bytes(1000, 0xA5);
    for (const preset::File& file : {program, programChunk, bankChunk, ParameterBank()}) {
        const Bytes bytes = preset::Write(file);
        const preset::ReadResult read = preset::Read(bytes.data(), bytes.size());
        ASSERT_EQ(read.error, preset::Error::None) << static_cast<int>(file.form);
        EXPECT_EQ(read.file.form, file.form);
        EXPECT_EQ(read.file.pluginId, file.pluginId);
        EXPECT_EQ(read.file.program.name, file.program.name);
        EXPECT_EQ(read.file.program.parameters, file.program.parameters);
        EXPECT_EQ(read.file.chunk, file.chunk);
        EXPECT_EQ(read.file.programs.size(), file.programs.size());
        for (std::size_t i = 0; i < file.programs.size(); ++i) {
            EXPECT_EQ(read.file.programs[i].name, file.programs[i].name);
            EXPECT_EQ(read.file.programs[i].parameters, file.programs[i].parameters);
        }
    }
    const Bytes bytes = preset::Write(bankChunk);
    const preset::ReadResult read = preset::Read(bytes.data(), bytes.size());
    EXPECT_EQ(read.file.currentProgram, 5);
    EXPECT_EQ(read.file.programCount, 8);
}

TEST(PresetFile, ANameWithoutTerminatorIsCutTo27Characters)
{
    preset::File file;
    file.form = preset::Form::ProgramParameters;
    Bytes bytes = preset::Write(file);
    std::memset(bytes.data() + 28, 'x', preset::kProgramNameBytes);
    const preset::ReadResult read = preset::Read(bytes.data(), bytes.size());
    ASSERT_EQ(read.error, preset::Error::None);
    EXPECT_EQ(read.file.program.name, std::string(27, 'x'));
}

// Every prefix of a valid file is refused: nothing is read beyond the bytes given.
TEST(PresetFile, EveryTruncationIsRefused)
{
    preset::File chunkProgram;
    chunkProgram.form = preset::Form::ProgramChunk;
    chunkProgram.chunk = {9, 8, 7};
    for (const preset::File& file : {ParameterBank(), chunkProgram}) {
        const Bytes whole = preset::Write(file);
        for (std::size_t size = 0; size < whole.size(); ++size) {
            const Bytes part(whole.begin(), whole.begin() + static_cast<long>(size));
            EXPECT_NE(preset::Read(part.data(), part.size()).error, preset::Error::None)
                << size << " of " << whole.size() << " bytes";
        }
    }
}

struct Damage {
    const char* what;
    std::size_t offset;  // into the parameter bank of ParameterBank()
    std::uint32_t value;
    preset::Error error;
};

TEST(PresetFile, DamagedFieldsAreRefusedWithTheirReason)
{
    const Damage cases[] = {
        {"file magic", 0, 0x43636E4C, preset::Error::NotAPreset},
        {"form", 8, 0x46784278, preset::Error::NotAPreset},
        {"byte size negative", 4, 0xFFFFFFF0, preset::Error::SizeMismatch},
        {"byte size beyond the file", 4, 0x7FFFFFF0, preset::Error::Truncated},
        {"program count negative", 24, 0x80000000, preset::Error::SizeMismatch},
        {"program count huge", 24, 0x7FFFFFFF, preset::Error::TooLarge},
        {"program count beyond the file", 24, 5000, preset::Error::Truncated},
        {"record magic", 156, 0x46784B6B, preset::Error::BadProgram},
        {"record form is a bank", 164, 0x4678426B, preset::Error::BadProgram},
        {"parameter count negative", 156 + 24, 0xFFFFFFFF, preset::Error::SizeMismatch},
        {"parameter count huge", 156 + 24, 0x10000000, preset::Error::TooLarge},
        {"parameter count beyond the file", 156 + 24, 1000, preset::Error::Truncated},
    };
    for (const Damage& damage : cases) {
        Bytes bytes = preset::Write(ParameterBank());
        PutU32(bytes, damage.offset, damage.value);
        EXPECT_EQ(preset::Read(bytes.data(), bytes.size()).error, damage.error) << damage.what;
        EXPECT_STRNE(preset::Describe(damage.error), "") << damage.what;
    }
    preset::File chunk;
    chunk.form = preset::Form::BankChunk;
    chunk.chunk = {1, 2, 3, 4};
    for (std::uint32_t size : {0xFFFFFFFFu, 0x7FFFFFFFu, 5u}) {
        Bytes bytes = preset::Write(chunk);
        PutU32(bytes, 156, size);
        EXPECT_NE(preset::Read(bytes.data(), bytes.size()).error, preset::Error::None) << size;
    }
}

} // namespace
