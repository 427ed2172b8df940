// A plug-in that faults: the call is named, the plug-in is switched off for good (never
// called again, not even by Unload, its library kept) and renders silence; exceptions it
// handles itself and a slow block change nothing.

#include "ProbeSupport.h"

#include "plugin/VstPlugin.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

constexpr int kFrames = 64;
constexpr float kPlayed = 0.45f;  // what the output stage makes of the probe's 0.5

// The probe's misbehaviour for one test (tools/probe-plugin/probe.c, ZUMBREL_PROBE_FAULT...).
class ProbeFault {
public:
    ProbeFault(const char* kind, const char* call, const char* value = nullptr)
    {
        SetEnvironmentVariableA("ZUMBREL_PROBE_FAULT", kind);
        SetEnvironmentVariableA("ZUMBREL_PROBE_FAULT_IN", call);
        SetEnvironmentVariableA("ZUMBREL_PROBE_FAULT_VALUE", value);
    }
    ~ProbeFault()
    {
        SetEnvironmentVariableA("ZUMBREL_PROBE_FAULT", nullptr);
        SetEnvironmentVariableA("ZUMBREL_PROBE_FAULT_IN", nullptr);
        SetEnvironmentVariableA("ZUMBREL_PROBE_FAULT_VALUE", nullptr);
    }
    ProbeFault(const ProbeFault&) = delete;
    ProbeFault& operator=(const ProbeFault&) = delete;
};

float RenderOnce(CVstPlugin& plugin)
{
    StreamBlock block(2, 2, kFrames, 0.5f, 0.25f);
    block.Render(&plugin);
    return block.Out(0)[kFrames - 1];
}

struct FaultCase {
    const char* kind;
    const char* probeCall;
    const char* value;
    void (*action)(CVstPlugin&);
    const char* reported;
    std::uint32_t code;
};

void Render(CVstPlugin& plugin)
{
    RenderOnce(plugin);
}

const FaultCase kCases[] = {
    {"illegal", "effOpen", nullptr, [](CVstPlugin& p) { p.Open(); }, "effOpen",
     kFaultIllegalInstruction},
    {"raise", "effEditIdle", "0xE06D7363", [](CVstPlugin& p) { p.EditIdle(); }, "effEditIdle",
     kFaultMsvcCppException},
    {"raise", "effSetProgram", nullptr, [](CVstPlugin& p) { p.SetProgram(1); },
     "effSetProgram", 0xE0000001u},
    {"stack", "effGetChunk", nullptr,
     [](CVstPlugin& p) {
         void* data = nullptr;
         p.GetChunk(&data, false);
     },
     "effGetChunk", kFaultStackOverflow},
    {"access", "process", nullptr, &Render, "processReplacing", kFaultAccessViolation},
    {"access", "setParameter", nullptr, [](CVstPlugin& p) { p.SetParameter(0, 0.5f); },
     "setParameter", kFaultAccessViolation},
    {"access", "getParameter", nullptr, [](CVstPlugin& p) { p.GetParameter(0); },
     "getParameter", kFaultAccessViolation},
    {"access", "effClose", nullptr, [](CVstPlugin& p) { p.Unload(); }, "effClose",
     kFaultAccessViolation},
};

}  // namespace

TEST(VstPluginFault, TheFaultingCallIsNamedWithCodeAndModule)
{
    for (const FaultCase& c : kCases) {
        const std::string label = std::string(c.kind) + " in " + c.probeCall;
        ProbeFault fault(c.kind, c.probeCall, c.value);
        CVstPlugin plugin;
        ASSERT_TRUE(plugin.Load(ProbePath("default").c_str())) << label;
        EXPECT_FALSE(plugin.Faulted()) << label;
        c.action(plugin);
        ASSERT_TRUE(plugin.Faulted()) << label;
        ASSERT_NE(plugin.Fault(), nullptr) << label;
        EXPECT_STREQ(plugin.Fault()->call, c.reported) << label;
        EXPECT_EQ(plugin.Fault()->record.code, c.code) << label;
        EXPECT_STREQ(plugin.Fault()->record.module, "probe_default.dll") << label;
    }
}

TEST(VstPluginFault, AFaultingEntryPointLoadsNothing)
{
    ProbeFault fault("access", "entry");
    CVstPlugin plugin;
    EXPECT_FALSE(plugin.Load(ProbePath("default").c_str()));
    EXPECT_FALSE(plugin.IsLoaded());
    ASSERT_NE(plugin.Fault(), nullptr);
    EXPECT_STREQ(plugin.Fault()->call, "the entry point");
}

// The editor alone is given up: the instrument plays on, and its editor is not called again,
// not even to close it.
TEST(VstPluginFault, AFaultOpeningTheEditorGivesUpTheEditorOnly)
{
    ProbeLog log;
    ProbeFault fault("divide", "effEditOpen");
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("default").c_str()));
    plugin.EditOpen(nullptr);
    EXPECT_FALSE(plugin.Faulted());
    ASSERT_NE(plugin.EditorFault(), nullptr);
    EXPECT_STREQ(plugin.EditorFault()->call, "effEditOpen");
    EXPECT_EQ(plugin.EditorFault()->record.code, kFaultIntegerDivideByZero);
    EXPECT_EQ(RenderOnce(plugin), kPlayed);
    ERect* rect = nullptr;
    plugin.EditGetRect(&rect);
    plugin.EditIdle();
    plugin.Unload();
    for (const ProbeRecord& record : log.Records("dispatch"))
        EXPECT_TRUE(record.number("op") != 13 && record.number("op") != 15 && record.number("op") != 19)
            << "the editor was called again: " << record.number("op");
}

TEST(VstPluginFault, AfterAFaultThePluginIsNeverCalledAgainAndKeepsItsLibrary)
{
    ProbeLog log;
    ProbeFault fault("access", "process");
    CVstPlugin plugin;
    ASSERT_TRUE(plugin.Load(ProbePath("default").c_str()));
    plugin.Open();
    plugin.MainsChanged(1);
    plugin.AddMidiEvent(0x90, 60, 100, 44100.0f, 0);
    EXPECT_EQ(RenderOnce(plugin), 0.0f);  // the faulting block is not played either
    const auto recorded = log.Records().size();

    EXPECT_EQ(RenderOnce(plugin), 0.0f);
    EXPECT_EQ(plugin.AddMidiEvent(0x90, 62, 100, 44100.0f, 0), 0u);
    plugin.EditIdle();
    plugin.SetParameter(0, 0.5f);
    plugin.Unload();
    EXPECT_EQ(log.Records().size(), recorded);  // no call, not even effMainsChanged or effClose
    EXPECT_NE(GetModuleHandleA("probe_default.dll"), nullptr);
    EXPECT_STREQ(plugin.Fault()->call, "processReplacing");  // readable after Unload

    // Another plug-in starts afresh.
    ProbeFault none("", "");
    ASSERT_TRUE(plugin.Load(ProbePath("no_editor").c_str()));
    EXPECT_FALSE(plugin.Faulted());
    EXPECT_EQ(RenderOnce(plugin), kPlayed);
}

TEST(VstPluginFault, ExceptionsThePluginHandlesAndSlowBlocksPlayOn)
{
    struct {
        const char* kind;
        const char* value;
    } const cases[] = {{"handled", nullptr}, {"stall", "30"}};
    for (const auto& c : cases) {
        ProbeFault fault(c.kind, "process", c.value);
        CVstPlugin plugin;
        ASSERT_TRUE(plugin.Load(ProbePath("default").c_str())) << c.kind;
        for (int block = 0; block < 3; ++block)
            EXPECT_EQ(RenderOnce(plugin), kPlayed) << c.kind << " block " << block;
        EXPECT_FALSE(plugin.Faulted()) << c.kind;
    }
}
