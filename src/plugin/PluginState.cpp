#include "plugin/PluginState.h"

#include <algorithm>

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

std::vector<std::uint8_t> Chunk(CVstPlugin& plugin, bool program)
{
    void* data = nullptr;
    const std::int32_t size = plugin.GetChunk(&data, program);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    return bytes != nullptr ? std::vector<std::uint8_t>(bytes, bytes + size)
                            : std::vector<std::uint8_t>();
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

File CaptureBank(CVstPlugin& plugin)
{
    const auto current = static_cast<std::int32_t>(plugin.GetProgram());
    if (plugin.ProgramChunks()) {
        File file = Header(plugin, Form::BankChunk);
        file.programCount = plugin.NumPrograms();
        file.currentProgram = current;
        file.chunk = Chunk(plugin, false);
        return file;
    }
    File file = Header(plugin, Form::BankPrograms);
    file.currentProgram = current;
    // Every program is selected in turn: the audio must not play them meanwhile.
    const CVstPlugin::RenderPause pause(plugin);
    for (std::int32_t i = 0; i < plugin.NumPrograms(); ++i) {
        plugin.SetProgram(i);
        file.programs.push_back(CurrentProgram(plugin));
    }
    plugin.SetProgram(current);
    return file;
}

File CaptureProgram(CVstPlugin& plugin)
{
    File file = Header(plugin, plugin.ProgramChunks() ? Form::ProgramChunk
                                                      : Form::ProgramParameters);
    file.program = CurrentProgram(plugin);
    if (plugin.ProgramChunks())
        file.chunk = Chunk(plugin, true);
    return file;
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
