// Loading and refusing plug-ins, the copied properties and the closing sequence.

#include "ProbeSupport.h"

#include "plugin/VstPlugin.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr std::int32_t kProbeUniqueId = 0x5A50726F;
constexpr std::int32_t kProbeVersion = 1234;
constexpr std::int32_t kProbeParams = 3;

struct CountsCase {
    const char* variant;
    std::int32_t programs;
    std::int32_t inputs;  // as the host keeps it
    std::int32_t outputs;
};

struct FlagsCase {
    const char* variant;
    bool editor;
    bool replacing;
    bool synth;
};

}  // namespace

TEST(VstPluginLoad, LoadsThroughEitherEntry)
{
    for (const char* variant : {"default", "main_only"}) {
        ProbeLog log;
        CVstPlugin plugin;
        EXPECT_TRUE(plugin.Load(ProbePath(variant).c_str())) << variant;
        EXPECT_TRUE(plugin.IsLoaded()) << variant;
        EXPECT_EQ(log.Records("entry").size(), 1u) << variant;
    }
}

TEST(VstPluginLoad, RefusesWhatIsNoUsablePlugin)
{
    for (const char* variant : {"no_entry", "bad_magic", "null_effect", "outputs40"}) {
        ProbeLog log;
        CVstPlugin plugin;
        EXPECT_FALSE(plugin.Load(ProbePath(variant).c_str())) << variant;
        EXPECT_FALSE(plugin.IsLoaded()) << variant;
        EXPECT_EQ(plugin.NumOutputs(), 0) << variant;
        EXPECT_EQ(plugin.Effect(), nullptr) << variant;
    }
}

TEST(VstPluginLoad, RefusesMissingAndForeignFiles)
{
    CVstPlugin plugin;
    EXPECT_FALSE(plugin.Load(nullptr));
    EXPECT_FALSE(plugin.Load(""));
    EXPECT_FALSE(plugin.Load((ProbePath("default") + ".missing").c_str()));

    const std::string text = ProbePath("default") + ".txt";
    FILE* file = std::fopen(text.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs("not a library\n", file);
    std::fclose(file);
    EXPECT_FALSE(plugin.Load(text.c_str()));
    std::remove(text.c_str());
    EXPECT_FALSE(plugin.IsLoaded());
}

TEST(VstPluginLoad, BadMagicRecordIsNeverCalled)
{
    ProbeLog log;
    CVstPlugin plugin;
    ASSERT_FALSE(plugin.Load(ProbePath("bad_magic").c_str()));
    EXPECT_TRUE(log.Records("dispatch").empty());
}

TEST(VstPluginLoad, RefusedRecordWithValidMagicIsClosed)
{
    ProbeLog log;
    CVstPlugin plugin;
    ASSERT_FALSE(plugin.Load(ProbePath("outputs40").c_str()));
    EXPECT_EQ(log.Opcodes(), std::vector<long long>{effClose});
}

TEST(VstPluginLoad, CopiesTheRecordsProperties)
{
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("default").c_str()));
    EXPECT_EQ(plugin.NumPrograms(), 5);
    EXPECT_EQ(plugin.NumParams(), kProbeParams);
    EXPECT_EQ(plugin.NumInputs(), 2);
    EXPECT_EQ(plugin.NumOutputs(), 2);
    EXPECT_EQ(plugin.UniqueID(), kProbeUniqueId);
    EXPECT_EQ(plugin.Version(), kProbeVersion);
    // The probe sets editor, clip, mono, can-replace and synth; not VU, not chunks.
    EXPECT_TRUE(plugin.HasEditor());
    EXPECT_TRUE(plugin.HasClip());
    EXPECT_FALSE(plugin.HasVu());
    EXPECT_TRUE(plugin.CanMono());
    EXPECT_TRUE(plugin.CanReplacing());
    EXPECT_FALSE(plugin.ProgramChunks());
    EXPECT_TRUE(plugin.IsSynth());
    ASSERT_NE(plugin.Effect(), nullptr);
    EXPECT_EQ(plugin.Effect()->user, &plugin);
}

TEST(VstPluginLoad, CountsPerVariantWithInputsLimitedToTwo)
{
    const std::vector<CountsCase> cases = {
        {"programs0", 0, 2, 2}, {"programs128", 128, 2, 2}, {"inputs0", 5, 0, 2},
        {"inputs1", 5, 1, 2},   {"inputs5", 5, 2, 2},       {"outputs1", 5, 2, 1},
        {"outputs4", 5, 2, 4},
    };
    for (const auto& c : cases) {
        CVstPlugin plugin;
        ASSERT_TRUE(plugin.Load(ProbePath(c.variant).c_str())) << c.variant;
        EXPECT_EQ(plugin.NumPrograms(), c.programs) << c.variant;
        EXPECT_EQ(plugin.NumInputs(), c.inputs) << c.variant;
        EXPECT_EQ(plugin.NumOutputs(), c.outputs) << c.variant;
    }
}

TEST(VstPluginLoad, FlagsPerVariant)
{
    const std::vector<FlagsCase> cases = {
        {"no_synth", true, true, false},
        {"no_replacing", true, false, true},
        {"no_editor", false, true, true},
    };
    for (const auto& c : cases) {
        CVstPlugin plugin;
        ASSERT_TRUE(plugin.Load(ProbePath(c.variant).c_str())) << c.variant;
        EXPECT_EQ(plugin.HasEditor(), c.editor) << c.variant;
        EXPECT_EQ(plugin.CanReplacing(), c.replacing) << c.variant;
        EXPECT_EQ(plugin.IsSynth(), c.synth) << c.variant;
    }
}

TEST(VstPluginLoad, LoadWhileLoadedClosesThePreviousPluginFirst)
{
    ProbeLog log;
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("programs128").c_str()));
    ASSERT_TRUE(plugin.Load(ProbePath("programs0").c_str()));
    EXPECT_EQ(plugin.NumPrograms(), 0);
    std::vector<std::string> kinds;
    for (const auto& record : log.Records())
        kinds.push_back(record.kind + (record.kind == "dispatch" ? record.at("op") : ""));
    EXPECT_EQ(kinds, (std::vector<std::string>{"entry", "dispatch1", "entry"}));
}

TEST(VstPluginLoad, FailedLoadLeavesNothingLoaded)
{
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("default").c_str()));
    EXPECT_FALSE(plugin.Load(ProbePath("bad_magic").c_str()));
    EXPECT_FALSE(plugin.IsLoaded());
    EXPECT_EQ(plugin.NumPrograms(), 0);
    char name[kVstProgramNameBytes] = "unchanged";
    EXPECT_EQ(plugin.GetProgramNameIndexed(name, -1, 0), 0);  // nothing is called
}

TEST(VstPluginUnload, NothingLoadedDoesNothing)
{
    CVstPlugin plugin;
    plugin.Unload();
    plugin.Unload();
    EXPECT_FALSE(plugin.IsLoaded());
}

TEST(VstPluginUnload, SendsTheClosingCallsBeforeReleasingTheLibrary)
{
    ProbeLog log;
    {
        CVstPlugin plugin;
        ASSERT_TRUE(plugin.Load(ProbePath("default").c_str()));
        plugin.Open();
        plugin.MainsChanged(1);
        plugin.EditOpen(nullptr);
        plugin.Unload();
        EXPECT_FALSE(plugin.IsLoaded());
        plugin.Unload();  // a second time: nothing more
    }
    const std::vector<long long> expected = {effOpen, effMainsChanged, effEditOpen,
                                             effEditClose, effMainsChanged, effClose};
    EXPECT_EQ(log.Opcodes(), expected);
    EXPECT_EQ(log.Records("dispatch")[4].number("value"), 0);  // mains off
}

TEST(VstPluginUnload, OnlyClosesWhatWasOpened)
{
    ProbeLog log;
    {
        CVstPlugin plugin;
        ASSERT_TRUE(plugin.Load(ProbePath("default").c_str()));
        plugin.MainsChanged(1);
        plugin.MainsChanged(0);
    }  // the destructor unloads
    const std::vector<long long> expected = {effMainsChanged, effMainsChanged, effClose};
    EXPECT_EQ(log.Opcodes(), expected);
}
