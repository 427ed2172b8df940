// The instrument's state captured into program and bank files and applied again, through a
// fresh instance of the probe: parameter form and chunk form, refusals, and the render pause.
#include "ProbeSupport.h"

#include "plugin/PluginState.h"

#include <gtest/gtest.h>

#include <cstdlib>
#ifdef _WIN32
#include <windows.h>
#endif

#include <string>
#include <vector>

namespace {

constexpr std::int32_t kFrames = 64;

// Programs 0 to 2 of `plugin` get values and names of their own; program 1 stays current.
void ShapeSounds(CVstPlugin& plugin)
{
    for (std::int32_t program = 0; program < 3; ++program) {
        plugin.SetProgram(program);
        plugin.SetProgramName(("Sound " + std::to_string(program)).c_str());
        for (std::int32_t i = 0; i < plugin.NumParams(); ++i)
            plugin.SetParameter(i, 0.1f * static_cast<float>(program * 3 + i + 1));
    }
    plugin.SetProgram(1);
}

void ExpectShapedSounds(CVstPlugin& plugin, const char* variant)
{
    EXPECT_EQ(plugin.GetProgram(), 1) << variant;
    for (std::int32_t program = 0; program < 3; ++program) {
        plugin.SetProgram(program);
        char name[kVstProgramNameBytes] = {};
        plugin.GetProgramName(name);
        if (!plugin.ProgramChunks()) {  // the chunk carries the values only
            EXPECT_EQ(std::string(name), "Sound " + std::to_string(program)) << variant;
        }
        for (std::int32_t i = 0; i < plugin.NumParams(); ++i)
            EXPECT_EQ(plugin.GetParameter(i), 0.1f * static_cast<float>(program * 3 + i + 1))
                << variant << " program " << program << " parameter " << i;
    }
}

// A bank written from one instance and read back into a fresh one gives the same sounds, in
// the parameter form and in the chunk form.
TEST(PluginState, ABankSurvivesAFreshInstance)
{
    for (const char* variant : {"default", "chunks"}) {
        CVstPlugin plugin;
        ASSERT_TRUE(plugin.Load(ProbePath(variant).c_str()));
        ShapeSounds(plugin);
        const std::vector<std::uint8_t> bytes = preset::Write(preset::CaptureBank(plugin).file);
        plugin.Unload();

        ASSERT_TRUE(plugin.Load(ProbePath(variant).c_str()));
        const preset::ReadResult read = preset::Read(bytes.data(), bytes.size());
        ASSERT_EQ(read.error, preset::Error::None) << variant;
        EXPECT_EQ(read.file.form, plugin.ProgramChunks() ? preset::Form::BankChunk
                                                          : preset::Form::BankPrograms);
        ASSERT_EQ(preset::Apply(plugin, read.file), preset::ApplyError::None) << variant;
        ExpectShapedSounds(plugin, variant);
    }
}

TEST(PluginState, AProgramGoesIntoTheCurrentProgram)
{
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("default").c_str()));
    ShapeSounds(plugin);
    const preset::File program = preset::CaptureProgram(plugin).file;  // program 1
    plugin.SetProgram(4);
    ASSERT_EQ(preset::Apply(plugin, program), preset::ApplyError::None);
    EXPECT_EQ(plugin.GetProgram(), 4);
    char name[kVstProgramNameBytes] = {};
    plugin.GetProgramName(name);
    EXPECT_EQ(std::string(name), "Sound 1");
    EXPECT_EQ(plugin.GetParameter(0), 0.4f);
}

// A file of another instrument, or a chunk for a plug-in without chunks, changes nothing.
TEST(PluginState, FilesThatDoNotFitAreRefusedUntouched)
{
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("default").c_str()));
    ShapeSounds(plugin);
    preset::File foreign = preset::CaptureBank(plugin).file;
    foreign.pluginId ^= 1;
    for (auto& program : foreign.programs)
        program.parameters.assign(program.parameters.size(), 0.9f);
    preset::File chunk = preset::CaptureBank(plugin).file;
    chunk.form = preset::Form::BankChunk;
    chunk.chunk = {1, 2, 3};
    EXPECT_EQ(preset::Apply(plugin, foreign), preset::ApplyError::OtherInstrument);
    EXPECT_EQ(preset::Apply(plugin, chunk), preset::ApplyError::NeedsChunks);
    ExpectShapedSounds(plugin, "default");
}

// The probe's answer to effGetChunk for one test (ZUMBREL_PROBE_CHUNK).
class ChunkAnswer {
public:
    explicit ChunkAnswer(const char* answer) { Set(answer); }
    ~ChunkAnswer() { Set(nullptr); }
    ChunkAnswer(const ChunkAnswer&) = delete;
    ChunkAnswer& operator=(const ChunkAnswer&) = delete;

private:
    static void Set(const char* answer)
    {
#ifdef _WIN32
        SetEnvironmentVariableA("ZUMBREL_PROBE_CHUNK", answer);
#else
        answer != nullptr ? setenv("ZUMBREL_PROBE_CHUNK", answer, 1) : unsetenv("ZUMBREL_PROBE_CHUNK");
#endif
    }
};

// A chunk the instrument does not really give fails the capture, bank and program alike,
// with the reason; nothing of it may be written.
TEST(PluginState, ABrokenChunkFailsTheCaptureWithItsReason)
{
    const struct {
        const char* answer;
        const char* failure;
    } cases[] = {{"null", "the instrument gave no state to save"},
                 {"zero", "the instrument gave no state to save"},
                 {"negative", "the instrument gave no state to save"},
                 {"huge", "the instrument's state is larger than a file can hold"}};
    for (const auto& c : cases) {
        const ChunkAnswer answer(c.answer);
        CVstPlugin plugin;
        ASSERT_TRUE(plugin.Load(ProbePath("chunks").c_str()));
        EXPECT_EQ(preset::CaptureBank(plugin).failure, c.failure) << c.answer;
        EXPECT_EQ(preset::CaptureProgram(plugin).failure, c.failure) << c.answer;
    }
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("chunks").c_str()));
    EXPECT_TRUE(preset::CaptureBank(plugin).Ok());
}

// While the state is loaded the plug-in is not rendered: its blocks are silent.
TEST(PluginState, APausedPluginRendersSilenceWithoutBeingCalled)
{
    ProbeLog log;
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("default").c_str()));
    {
        const CVstPlugin::RenderPause pause(plugin);
        StreamBlock block(2, 2, kFrames, 0.5f, 0.75f);
        block.Render(&plugin);
        EXPECT_EQ(block.Out(0)[0], 0.0f);
        EXPECT_EQ(block.Out(1)[kFrames - 1], 0.0f);
        EXPECT_TRUE(log.Records("process").empty());
    }
    StreamBlock block(2, 2, kFrames, 0.5f);
    block.Render(&plugin);
    EXPECT_EQ(log.Records("process").size(), 1u);
    EXPECT_EQ(block.Out(0)[0], 0.45f);
}

} // namespace
