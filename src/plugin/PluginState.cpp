#include "plugin/PluginState.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace preset {
namespace {

File Header(CVstPlugin& plugin, Form form)
{
    File file;
    file.form = form;
    file.pluginId = plugin.UniqueID();
    file.pluginVersion = plugin.Version();
    file.parameterCount = plugin.NumParams();
    return file;
}

constexpr char kNoChunk[] = "the instrument gave no state to save";
constexpr char kChunkTooLarge[] = "the instrument's state is larger than a file can hold";
constexpr char kChunkUnreadable[] = "the instrument's state cannot be read";
constexpr char kFaulted[] = "the instrument stopped working while giving its state";
constexpr char kNoPrograms[] = "the instrument gave a bank without its programs";
// Room for the largest file header around a chunk, so that a file written is one read back.
constexpr std::size_t kHeaderRoom = 1024;

// The plug-in's chunk copied out, or why there is none. The size is the plug-in's word only:
// the copy runs under the call guard, so memory it does not own ends the save, not the program.
std::string CopyChunk(CVstPlugin& plugin, bool program, std::vector<std::uint8_t>& chunk)
{
    void* data = nullptr;
    const std::int32_t size = plugin.GetChunk(&data, program);
    if (data == nullptr || size <= 0)
        return kNoChunk;
    if (static_cast<std::size_t>(size) > kMaxFileBytes - kHeaderRoom)
        return kChunkTooLarge;
    chunk.resize(static_cast<std::size_t>(size));
    auto copy = [&] { std::memcpy(chunk.data(), data, chunk.size()); };
    FaultRecord fault;
    if (!RunGuardedCall(copy, fault)) {
        std::vector<std::uint8_t>().swap(chunk);
        return kChunkUnreadable;
    }
    return {};
}

// A capture during which the plug-in faulted holds whatever it managed to give: none of it
// counts.
Capture Checked(CVstPlugin& plugin, Capture capture)
{
    if (plugin.Faulted())
        capture.failure = kFaulted;
    return capture;
}

Program CurrentProgram(CVstPlugin& plugin)
{
    Program program;
    char name[kVstProgramNameBytes] = {};
    plugin.GetProgramName(name);
    program.name = name;
    for (std::int32_t i = 0; i < plugin.NumParams(); ++i)
        program.parameters.push_back(plugin.GetParameter(i));
    return program;
}

void ApplyProgram(CVstPlugin& plugin, const Program& program)
{
    plugin.SetProgramName(program.name.c_str());
    const auto count = std::min<std::size_t>(program.parameters.size(),
                                             static_cast<std::size_t>(plugin.NumParams()));
    for (std::size_t i = 0; i < count; ++i)
        plugin.SetParameter(static_cast<std::int32_t>(i), program.parameters[i]);
}

// A bank's current program, or the first when the plug-in has no such program.
void SelectProgram(CVstPlugin& plugin, std::int32_t program)
{
    plugin.SetProgram(program >= 0 && program < plugin.NumPrograms() ? program : 0);
}

bool IsChunk(Form form)
{
    return form == Form::ProgramChunk || form == Form::BankChunk;
}

} // namespace

Capture CaptureBank(CVstPlugin& plugin)
{
    Capture capture;
    const auto current = static_cast<std::int32_t>(plugin.GetProgram());
    if (plugin.ProgramChunks()) {
        capture.file = Header(plugin, Form::BankChunk);
        capture.file.programCount = plugin.NumPrograms();
        capture.file.currentProgram = current;
        capture.failure = CopyChunk(plugin, false, capture.file.chunk);
        return Checked(plugin, std::move(capture));
    }
    File& file = capture.file = Header(plugin, Form::BankPrograms);
    file.currentProgram = current;
    {
        // Every program is selected in turn: the audio must not play them meanwhile.
        const CVstPlugin::RenderPause pause(plugin);
        for (std::int32_t i = 0; i < plugin.NumPrograms() && !plugin.Faulted(); ++i) {
            plugin.SetProgram(i);
            file.programs.push_back(CurrentProgram(plugin));
        }
        plugin.SetProgram(current);
    }
    if (file.programs.empty() && plugin.NumPrograms() > 0)
        capture.failure = kNoPrograms;
    return Checked(plugin, std::move(capture));
}

Capture CaptureProgram(CVstPlugin& plugin)
{
    Capture capture;
    capture.file = Header(plugin, plugin.ProgramChunks() ? Form::ProgramChunk
                                                         : Form::ProgramParameters);
    capture.file.program = CurrentProgram(plugin);
    if (plugin.ProgramChunks())
        capture.failure = CopyChunk(plugin, true, capture.file.chunk);
    return Checked(plugin, std::move(capture));
}

const char* Describe(ApplyError error)
{
    switch (error) {
    case ApplyError::None:
        return "the file was applied";
    case ApplyError::OtherInstrument:
        return "the file belongs to another instrument";
    case ApplyError::NeedsChunks:
        return "the file holds a chunk, which this instrument does not take";
    }
    return "the file cannot be applied";
}

ApplyError Apply(CVstPlugin& plugin, const File& file)
{
    if (file.pluginId != plugin.UniqueID())
        return ApplyError::OtherInstrument;
    if (IsChunk(file.form) && !plugin.ProgramChunks())
        return ApplyError::NeedsChunks;
    const CVstPlugin::RenderPause pause(plugin);
    switch (file.form) {
    case Form::ProgramParameters:
        ApplyProgram(plugin, file.program);
        break;
    case Form::ProgramChunk:
        plugin.SetChunk(file.chunk.data(), static_cast<std::int32_t>(file.chunk.size()), true);
        plugin.SetProgramName(file.program.name.c_str());
        break;
    case Form::BankChunk:
        plugin.SetChunk(file.chunk.data(), static_cast<std::int32_t>(file.chunk.size()), false);
        SelectProgram(plugin, file.currentProgram);
        break;
    case Form::BankPrograms: {
        const auto count = std::min<std::size_t>(file.programs.size(),
                                                 static_cast<std::size_t>(plugin.NumPrograms()));
        for (std::size_t i = 0; i < count; ++i) {
            plugin.SetProgram(static_cast<std::int32_t>(i));
            ApplyProgram(plugin, file.programs[i]);
        }
        SelectProgram(plugin, file.currentProgram);
        break;
    }
    }
    return ApplyError::None;
}

} // namespace preset
