#include "plugin/PresetFile.h"

#include <algorithm>
#include <cstring>

namespace preset {
namespace {

constexpr std::uint32_t Tag(char a, char b, char c, char d)
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(a)) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(d));
}

constexpr std::uint32_t kChunkMagic = Tag('C', 'c', 'n', 'K');
constexpr std::uint32_t kProgramParameters = Tag('F', 'x', 'C', 'k');
constexpr std::uint32_t kProgramChunk = Tag('F', 'P', 'C', 'h');
constexpr std::uint32_t kBankPrograms = Tag('F', 'x', 'B', 'k');
constexpr std::uint32_t kBankChunk = Tag('F', 'B', 'C', 'h');
constexpr std::size_t kHeadBytes = 8;               // magic and byte size
constexpr std::size_t kProgramRecordBytes = 56;     // a parameter program without its values
constexpr std::size_t kBankReservedBytes = 128;     // version 1; version 2 keeps 4 of them
constexpr std::int32_t kBankVersionWithCurrent = 2;

// Big-endian fields from a byte range that never reads past its end.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    std::size_t Left() const { return m_size - m_offset; }
    bool U32(std::uint32_t& value)
    {
        const std::uint8_t* p = nullptr;
        if (!Bytes(4, p))
            return false;
        value = static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
                static_cast<std::uint32_t>(p[2]) << 8 | p[3];
        return true;
    }
    bool I32(std::int32_t& value)
    {
        std::uint32_t bits = 0;
        if (!U32(bits))
            return false;
        std::memcpy(&value, &bits, sizeof value);
        return true;
    }
    bool F32(float& value)
    {
        std::uint32_t bits = 0;
        if (!U32(bits))
            return false;
        std::memcpy(&value, &bits, sizeof value);
        return true;
    }
    bool Bytes(std::size_t count, const std::uint8_t*& at)
    {
        if (count > Left())
            return false;
        at = m_data + m_offset;
        m_offset += count;
        return true;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_offset = 0;
};

class Writer {
public:
    void U32(std::uint32_t value)
    {
        const std::uint8_t bytes[] = {static_cast<std::uint8_t>(value >> 24),
                                      static_cast<std::uint8_t>(value >> 16),
                                      static_cast<std::uint8_t>(value >> 8),
                                      static_cast<std::uint8_t>(value)};
        m_bytes.insert(m_bytes.end(), bytes, bytes + 4);
    }
    void I32(std::int32_t value)
    {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        U32(bits);
    }
    void F32(float value)
    {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        U32(bits);
    }
    void Bytes(const std::uint8_t* data, std::size_t count)
    {
        m_bytes.insert(m_bytes.end(), data, data + count);
    }
    void Zeros(std::size_t count) { m_bytes.insert(m_bytes.end(), count, 0); }
    void Name(const std::string& name)
    {
        const std::size_t length = std::min(name.size(), kProgramNameBytes - 1);
        Bytes(reinterpret_cast<const std::uint8_t*>(name.data()), length);
        Zeros(kProgramNameBytes - length);
    }
    // Starts a 'CcnK' record; Close fills in its byte size.
    std::size_t Open()
    {
        const std::size_t start = m_bytes.size();
        U32(kChunkMagic);
        U32(0);
        return start;
    }
    void Close(std::size_t start)
    {
        const auto size = static_cast<std::uint32_t>(m_bytes.size() - start - kHeadBytes);
        for (int i = 0; i < 4; ++i)
            m_bytes[start + 4 + i] = static_cast<std::uint8_t>(size >> (24 - 8 * i));
    }
    std::vector<std::uint8_t> Take() { return std::move(m_bytes); }

private:
    std::vector<std::uint8_t> m_bytes;
};

// A count field: negative counts are damage, huge ones refused before anything is allocated.
Error CheckCount(std::int32_t count, std::int32_t limit)
{
    if (count < 0)
        return Error::SizeMismatch;
    return count > limit ? Error::TooLarge : Error::None;
}

Error ReadChunkBytes(Reader& in, std::vector<std::uint8_t>& chunk)
{
    std::int32_t size = 0;
    if (!in.I32(size))
        return Error::Truncated;
    if (size < 0)
        return Error::SizeMismatch;
    if (static_cast<std::size_t>(size) > kMaxFileBytes)
        return Error::TooLarge;
    const std::uint8_t* bytes = nullptr;
    if (!in.Bytes(static_cast<std::size_t>(size), bytes))
        return Error::Truncated;
    chunk.assign(bytes, bytes + size);
    return Error::None;
}

Error ReadName(Reader& in, std::string& name)
{
    const std::uint8_t* bytes = nullptr;
    if (!in.Bytes(kProgramNameBytes, bytes))
        return Error::Truncated;
    const auto* text = reinterpret_cast<const char*>(bytes);
    name.assign(text, std::find(text, text + kProgramNameBytes - 1, '\0'));
    return Error::None;
}

Error ReadParameters(Reader& in, std::int32_t count, std::vector<float>& parameters)
{
    if (const Error error = CheckCount(count, kMaxParameters); error != Error::None)
        return error;
    if (static_cast<std::size_t>(count) * 4 > in.Left())
        return Error::Truncated;
    parameters.resize(static_cast<std::size_t>(count));
    for (float& value : parameters)
        in.F32(value);
    return Error::None;
}

// The fields every record starts with, after 'CcnK': the byte size must fit in the file
// (writers disagree on what it counts, so the contents are read by their own counts).
struct Head {
    std::uint32_t form = 0;
    std::int32_t version = 0;
    std::int32_t id = 0;
    std::int32_t pluginVersion = 0;
    std::int32_t count = 0;
};

Error ReadHead(Reader& in, Head& head)
{
    std::uint32_t magic = 0;
    std::int32_t byteSize = 0;
    if (!in.U32(magic))
        return Error::Truncated;
    if (magic != kChunkMagic)
        return Error::NotAPreset;
    if (!in.I32(byteSize) || !in.U32(head.form))
        return Error::Truncated;
    if (head.form != kProgramParameters && head.form != kProgramChunk &&
        head.form != kBankPrograms && head.form != kBankChunk)
        return Error::NotAPreset;
    if (byteSize < 4)
        return Error::SizeMismatch;
    if (static_cast<std::size_t>(byteSize) - 4 > in.Left())
        return Error::Truncated;
    if (!in.I32(head.version) || !in.I32(head.id) || !in.I32(head.pluginVersion) ||
        !in.I32(head.count))
        return Error::Truncated;
    return Error::None;
}

Error ReadProgramBody(Reader& in, const Head& head, File& file)
{
    file.form = head.form == kProgramParameters ? Form::ProgramParameters : Form::ProgramChunk;
    if (const Error error = ReadName(in, file.program.name); error != Error::None)
        return error;
    if (file.form == Form::ProgramParameters)
        return ReadParameters(in, head.count, file.program.parameters);
    file.parameterCount = head.count;  // only told: the chunk holds the values
    return ReadChunkBytes(in, file.chunk);
}

// One program record of a parameter bank: a whole parameter program of the same plug-in.
Error ReadBankProgram(Reader& in, Program& program)
{
    Head head;
    if (const Error error = ReadHead(in, head); error != Error::None)
        return error == Error::Truncated ? error : Error::BadProgram;
    if (head.form != kProgramParameters)
        return Error::BadProgram;
    if (const Error error = ReadName(in, program.name); error != Error::None)
        return error;
    return ReadParameters(in, head.count, program.parameters);
}

Error ReadBankBody(Reader& in, const Head& head, File& file)
{
    file.form = head.form == kBankPrograms ? Form::BankPrograms : Form::BankChunk;
    if (const Error error = CheckCount(head.count, kMaxPrograms); error != Error::None)
        return error;
    file.programCount = head.count;
    const std::uint8_t* reserved = nullptr;
    if (head.version >= kBankVersionWithCurrent) {
        std::int32_t current = -1;
        if (!in.I32(current) || !in.Bytes(kBankReservedBytes - 4, reserved))
            return Error::Truncated;
        file.currentProgram = current >= 0 && current < head.count ? current : -1;
    } else if (!in.Bytes(kBankReservedBytes, reserved)) {
        return Error::Truncated;
    }
    if (file.form == Form::BankChunk)
        return ReadChunkBytes(in, file.chunk);
    if (static_cast<std::size_t>(head.count) * kProgramRecordBytes > in.Left())
        return Error::Truncated;
    file.programs.resize(static_cast<std::size_t>(head.count));
    for (Program& program : file.programs) {
        if (const Error error = ReadBankProgram(in, program); error != Error::None)
            return error;
    }
    return Error::None;
}

void WriteProgramRecord(Writer& out, const File& file, const Program& program, bool chunk)
{
    const std::size_t start = out.Open();
    out.U32(chunk ? kProgramChunk : kProgramParameters);
    out.I32(1);
    out.I32(file.pluginId);
    out.I32(file.pluginVersion);
    out.I32(chunk ? file.parameterCount : static_cast<std::int32_t>(program.parameters.size()));
    out.Name(program.name);
    if (chunk) {
        out.I32(static_cast<std::int32_t>(file.chunk.size()));
        out.Bytes(file.chunk.data(), file.chunk.size());
    } else {
        for (float value : program.parameters)
            out.F32(value);
    }
    out.Close(start);
}

} // namespace

const char* Describe(Error error)
{
    switch (error) {
    case Error::None:
        return "the file is fine";
    case Error::Truncated:
        return "the file is shorter than its contents say: it is truncated or damaged";
    case Error::NotAPreset:
        return "the file is not a VST program or bank";
    case Error::SizeMismatch:
        return "a size in the file is impossible: the file is damaged";
    case Error::TooLarge:
        return "the file announces more data than any instrument uses";
    case Error::BadProgram:
        return "a program in the bank is damaged";
    }
    return "the file cannot be read";
}

ReadResult Read(const std::uint8_t* data, std::size_t size)
{
    ReadResult result;
    if (size > kMaxFileBytes) {
        result.error = Error::TooLarge;
        return result;
    }
    Reader in(data, data != nullptr ? size : 0);
    Head head;
    result.error = ReadHead(in, head);
    if (result.error != Error::None)
        return result;
    result.file.formatVersion = head.version;
    result.file.pluginId = head.id;
    result.file.pluginVersion = head.pluginVersion;
    const bool bank = head.form == kBankPrograms || head.form == kBankChunk;
    result.error = bank ? ReadBankBody(in, head, result.file)
                        : ReadProgramBody(in, head, result.file);
    return result;
}

std::vector<std::uint8_t> Write(const File& file)
{
    Writer out;
    switch (file.form) {
    case Form::ProgramParameters:
    case Form::ProgramChunk:
        WriteProgramRecord(out, file, file.program, file.form == Form::ProgramChunk);
        return out.Take();
    case Form::BankPrograms:
    case Form::BankChunk:
        break;
    }
    const bool chunk = file.form == Form::BankChunk;
    const std::size_t start = out.Open();
    out.U32(chunk ? kBankChunk : kBankPrograms);
    out.I32(kBankVersionWithCurrent);
    out.I32(file.pluginId);
    out.I32(file.pluginVersion);
    out.I32(chunk ? file.programCount : static_cast<std::int32_t>(file.programs.size()));
    out.I32(std::max(file.currentProgram, 0));
    out.Zeros(kBankReservedBytes - 4);
    if (chunk) {
        out.I32(static_cast<std::int32_t>(file.chunk.size()));
        out.Bytes(file.chunk.data(), file.chunk.size());
    } else {
        for (const Program& program : file.programs)
            WriteProgramRecord(out, file, program, false);
    }
    out.Close(start);
    return out.Take();
}

} // namespace preset
