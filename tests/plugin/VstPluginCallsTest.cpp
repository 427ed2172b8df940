// The dispatcher wrappers, the host callback and the time information record.

#include "ProbeSupport.h"

#include "plugin/VstPlugin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr std::int32_t kFrames = 64;

struct DispatchCase {
    const char* name;
    std::function<void(CVstPlugin&)> call;
    std::int32_t opcode;
    long long index;
    long long value;
    double opt;
};

}  // namespace

TEST(VstPluginCalls, EachWrapperSendsItsOpcodeAndArguments)
{
    char name[kVstProgramNameBytes];
    ERect* rect = nullptr;
    const std::vector<DispatchCase> cases = {
        {"Open", [](CVstPlugin& p) { p.Open(); }, effOpen, 0, 0, 0.0},
        {"SetSampleRate", [](CVstPlugin& p) { p.SetSampleRate(48000.0f); }, effSetSampleRate, 0,
         0, 48000.0},
        {"SetBlockSize", [](CVstPlugin& p) { p.SetBlockSize(2048); }, effSetBlockSize, 0, 2048,
         0.0},
        {"MainsOn", [](CVstPlugin& p) { p.MainsChanged(1); }, effMainsChanged, 0, 1, 0.0},
        {"MainsLowByte", [](CVstPlugin& p) { p.MainsChanged(0x100); }, effMainsChanged, 0, 0,
         0.0},
        {"SetProgram", [](CVstPlugin& p) { p.SetProgram(3); }, effSetProgram, 0, 3, 0.0},
        {"EditIdle", [](CVstPlugin& p) { p.EditIdle(); }, effEditIdle, 0, 0, 0.0},
        {"EditGetRect", [&rect](CVstPlugin& p) { p.EditGetRect(&rect); }, effEditGetRect, 0, 0,
         0.0},
        {"GetProgramName", [&name](CVstPlugin& p) { p.GetProgramName(name); },
         effGetProgramName, 0, 0, 0.0},
        {"GetProgramNameIndexed",
         [&name](CVstPlugin& p) { p.GetProgramNameIndexed(name, -1, 7); },
         effGetProgramNameIndexed, 7, -1, 0.0},
    };
    for (const auto& c : cases) {
        ProbeLog log;
        CVstPlugin plugin;
        ASSERT_TRUE(plugin.Load(ProbePath("default").c_str()));
        c.call(plugin);
        const auto calls = log.Records("dispatch");
        ASSERT_GE(calls.size(), 1u) << c.name;
        EXPECT_EQ(calls[0].number("op"), c.opcode) << c.name;
        EXPECT_EQ(calls[0].number("index"), c.index) << c.name;
        EXPECT_EQ(calls[0].number("value"), c.value) << c.name;
        EXPECT_EQ(calls[0].real("opt"), c.opt) << c.name;
    }
}

TEST(VstPluginCalls, ProgramNamesComeBackTerminated)
{
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("programs128").c_str()));
    char name[kVstProgramNameBytes];
    std::memset(name, 'x', sizeof name);
    EXPECT_EQ(plugin.GetProgramNameIndexed(name, -1, 127), 1);
    EXPECT_STREQ(name, "Program 127");
    plugin.SetProgram(42);
    std::memset(name, 'x', sizeof name);
    plugin.GetProgramName(name);
    EXPECT_STREQ(name, "Program 42");
    // A program the plug-in does not have: it writes nothing, the name is still terminated.
    std::memset(name, 'x', sizeof name);
    EXPECT_EQ(plugin.GetProgramNameIndexed(name, -1, 128), 0);
    EXPECT_STREQ(name, "");
}

TEST(VstPluginCalls, EditorRectangleAsThePluginReportsIt)
{
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("default").c_str()));
    ERect* rect = nullptr;
    EXPECT_EQ(plugin.EditGetRect(&rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 300);
    EXPECT_EQ(rect->right, 400);

    ASSERT_TRUE(plugin.Load(ProbePath("no_editor").c_str()));
    rect = nullptr;
    EXPECT_EQ(plugin.EditGetRect(&rect), 0);
    EXPECT_EQ(rect, nullptr);
}

TEST(VstPluginCalls, WithoutAPluginNothingIsCalled)
{
    CVstPlugin plugin;
    char name[kVstProgramNameBytes] = "x";
    ERect* rect = nullptr;
    EXPECT_EQ(plugin.Open(), 0);
    EXPECT_EQ(plugin.SetSampleRate(44100.0f), 0);
    EXPECT_EQ(plugin.SetProgram(1), 0);
    EXPECT_EQ(plugin.GetProgramName(name), 0);
    EXPECT_EQ(plugin.EditGetRect(&rect), 0);
    EXPECT_EQ(plugin.EditIdle(), 0);
    EXPECT_FALSE(plugin.SendEvents(kFrames));
    EXPECT_EQ(plugin.AddMidiEvent(0x90, 60, 100, 44100.0f, 1), 0u);
}

TEST(VstPluginHostCallback, AnswersVersionIdleAndNothingElse)
{
    EXPECT_EQ(CVstPlugin::HostCallback(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f), 2);
    EXPECT_EQ(CVstPlugin::HostCallback(nullptr, audioMasterIdle, 0, 0, nullptr, 0.0f), 1);
    EXPECT_EQ(CVstPlugin::HostCallback(nullptr, audioMasterGetTime, 0, 0, nullptr, 0.0f), 0);
    for (std::int32_t opcode : {0, 2, 6, 8, 13, 23, 42, -1})
        EXPECT_EQ(CVstPlugin::HostCallback(nullptr, opcode, 0, 0, nullptr, 0.0f), 0) << opcode;
}

TEST(VstPluginTimeInfo, InitialRecord)
{
    CVstPlugin plugin;
    const VstTimeInfo& info = plugin.TimeInfo();
    EXPECT_EQ(info.samplePos, 0.0);
    EXPECT_EQ(info.sampleRate, 44100.0);
    EXPECT_EQ(info.nanoSeconds, 0.0);
    EXPECT_EQ(info.ppqPos, 0.0);
    EXPECT_EQ(info.tempo, 120.0);
    EXPECT_EQ(info.barStartPos, 0.0);
    EXPECT_EQ(info.cycleStartPos, 0.0);
    EXPECT_EQ(info.cycleEndPos, 0.0);
    EXPECT_EQ(info.timeSigNumerator, 4);
    EXPECT_EQ(info.timeSigDenominator, 4);
    EXPECT_EQ(info.smpteOffset, 0);
    EXPECT_EQ(info.smpteFrameRate, 1);
    EXPECT_EQ(info.samplesToNextClock, 0);
    EXPECT_EQ(info.flags, kVstTempoValid | kVstTimeSigValid);  // not playing before a block
}

TEST(VstPluginTimeInfo, ZeroDuringTheEntryCallThenTheRecord)
{
    ProbeLog log;
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("default").c_str()));
    const auto entry = log.Records("entry");
    ASSERT_EQ(entry.size(), 1u);
    EXPECT_EQ(entry[0].number("time"), 0);
    EXPECT_EQ(entry[0].number("version"), 2);
    const VstIntPtr answer = CVstPlugin::HostCallback(plugin.Effect(), audioMasterGetTime, 0, 0,
                                                      nullptr, 0.0f);
    EXPECT_EQ(answer, reinterpret_cast<VstIntPtr>(&plugin.TimeInfo()));
}

TEST(VstPluginTimeInfo, BlocksCarryTheToldRateTheTempoAndARunningPosition)
{
    ProbeLog log;
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("default").c_str()));
    plugin.SetSampleRate(48000.0f);
    EXPECT_EQ(plugin.SetTempo(97.5f), 0);
    StreamBlock block(2, 2, kFrames);
    block.Render(&plugin);
    block.Render(&plugin);
    const auto process = log.Records("process");
    ASSERT_EQ(process.size(), 2u);
    EXPECT_EQ(process[0].real("rate"), 48000.0);
    EXPECT_EQ(process[0].real("tempo"), 97.5);
    EXPECT_EQ(process[1].real("pos"), kFrames);
    EXPECT_NE(process[1].number("flags") & kVstTransportPlaying, 0);
    EXPECT_EQ(plugin.TimeInfo().samplePos, kFrames);
}

// The rate and block size reach the plug-in only while it is switched off, and only when
// they change what it runs at: (rate, frames) after start-up at 44100 Hz and 2048 frames.
struct FormatCase {
    const char* name;
    bool switchedOn;
    float rate;
    std::int32_t frames;
    std::vector<long long> calls;  // opcode * 1000 + value, in order
};

class VstPluginStreamFormat : public testing::TestWithParam<FormatCase> {};

TEST_P(VstPluginStreamFormat, ChangesOnlyWhileSwitchedOff)
{
    const FormatCase& c = GetParam();
    ProbeLog log;
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("default").c_str()));
    plugin.SetBlockSize(2048);
    plugin.SetSampleRate(44100.0f);
    if (c.switchedOn)
        plugin.MainsChanged(1);
    const std::size_t before = log.Records("dispatch").size();
    plugin.SetStreamFormat(c.rate, c.frames);
    const std::vector<ProbeRecord> dispatches = log.Records("dispatch");
    std::vector<long long> calls;
    for (const ProbeRecord& call : std::vector<ProbeRecord>(dispatches.begin() + before, dispatches.end())) {
        const long long op = call.number("op");
        calls.push_back(op * 1000 + (op == effSetSampleRate ? static_cast<long long>(call.real("opt"))
                                                            : call.number("value")));
    }
    EXPECT_EQ(calls, c.calls);
    StreamBlock block(2, 2, kFrames);
    block.Render(&plugin);
    EXPECT_EQ(plugin.TimeInfo().sampleRate, c.rate) << "the next block's time information";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VstPluginStreamFormat,
    testing::Values(
        FormatCase{"NewRateWhileOn", true, 48000.0f, 256,
                   {effMainsChanged * 1000, effSetSampleRate * 1000 + 48000,
                    effSetBlockSize * 1000 + 256, effMainsChanged * 1000 + 1}},
        FormatCase{"NewRateWhileOff", false, 96000.0f, 64,
                   {effSetSampleRate * 1000 + 96000, effSetBlockSize * 1000 + 64}},
        FormatCase{"LargerBlocks", true, 44100.0f, 4096,
                   {effMainsChanged * 1000, effSetSampleRate * 1000 + 44100,
                    effSetBlockSize * 1000 + 4096, effMainsChanged * 1000 + 1}},
        FormatCase{"SameRateSmallerBlocks", true, 44100.0f, 256, {}}),
    [](const testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });
