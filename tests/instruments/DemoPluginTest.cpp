// The demo instrument loaded as a host loads it: from its DLL through the exported entry, its
// programs and parameters listed, set and saved, notes sent as events, blocks rendered, and its
// editor played with the mouse.

#include "SliderLayout.h"
#include "VstAbi.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct HostCall {
    std::int32_t opcode, index;
    float opt;
    bool operator==(const HostCall& o) const { return opcode == o.opcode && index == o.index && opt == o.opt; }
};
std::vector<HostCall> editCalls;  // what the editor told the host about its parameters

std::intptr_t VST_CALL host(vst::Effect*, std::int32_t opcode, std::int32_t index, std::intptr_t, void*, float opt)
{
    if (opcode == vst::audioMasterAutomate || opcode == vst::audioMasterBeginEdit || opcode == vst::audioMasterEndEdit)
        editCalls.push_back({opcode, index, opt});
    return opcode == vst::audioMasterVersion ? 2 : 0;
}

class DemoPluginTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        library = LoadLibraryA(DEMO_DLL);
        ASSERT_NE(library, nullptr) << DEMO_DLL;
        auto entry = reinterpret_cast<vst::Effect*(VST_CALL*)(vst::HostCallback)>(
            reinterpret_cast<void*>(GetProcAddress(library, "VSTPluginMain")));
        ASSERT_NE(entry, nullptr);
        effect = entry(host);
        ASSERT_NE(effect, nullptr);
        call(vst::effOpen);
        call(vst::effSetSampleRate, 0, 0, nullptr, 48000.0f);
        call(vst::effSetBlockSize, 0, 2048);
        call(vst::effMainsChanged, 0, 1);
    }

    void TearDown() override
    {
        if (effect) {
            call(vst::effMainsChanged, 0, 0);
            call(vst::effClose);
        }
        if (library)
            FreeLibrary(library);
    }

    std::intptr_t call(std::int32_t opcode, std::int32_t index = 0, std::intptr_t value = 0, void* ptr = nullptr,
                       float opt = 0.0f)
    {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }

    void sendNote(int delta, int status, int note, int velocity)
    {
        vst::MidiEvent event{};
        event.type = vst::kMidiEventType;
        event.byteSize = sizeof event;
        event.deltaFrames = delta;
        event.midiData[0] = static_cast<char>(status);
        event.midiData[1] = static_cast<char>(note);
        event.midiData[2] = static_cast<char>(velocity);
        vst::Events list{};
        list.numEvents = 1;
        list.events[0] = reinterpret_cast<vst::Event*>(&event);
        call(vst::effProcessEvents, 0, 0, &list);
        event.midiData[1] = 0;  // the host may reuse its storage at once
    }

    std::string text(std::int32_t opcode, std::int32_t index = 0)
    {
        char buffer[64];
        std::memset(buffer, 'x', sizeof buffer);
        call(opcode, index, 0, buffer);
        const std::size_t room = opcode == vst::effGetProgramName ? 25 : vst::kParamTextBytes;
        EXPECT_EQ(buffer[room], 'x') << "wrote past its room, opcode " << opcode;
        return std::string(buffer, strnlen(buffer, room));
    }

    std::vector<unsigned char> chunk(std::int32_t index)
    {
        void* data = nullptr;
        const auto size = call(vst::effGetChunk, index, 0, &data);
        EXPECT_GT(size, 0);
        EXPECT_NE(data, nullptr);
        const auto* bytes = static_cast<const unsigned char*>(data);
        return data ? std::vector<unsigned char>(bytes, bytes + size) : std::vector<unsigned char>{};
    }

    float renderPeak(int frames, int block = 256)
    {
        std::vector<float> left(static_cast<size_t>(block)), right(static_cast<size_t>(block));
        float* outputs[2] = {left.data(), right.data()};
        float peak = 0;
        for (int done = 0; done < frames; done += block) {
            effect->processReplacing(effect, nullptr, outputs, block);
            for (int i = 0; i < block; ++i)
                peak = std::max(peak, std::fabs(left[static_cast<size_t>(i)]));
        }
        return peak;
    }

    HMODULE library = nullptr;
    vst::Effect* effect = nullptr;
};

}  // namespace

TEST_F(DemoPluginTest, DeclaresAStereoInstrumentWithEightNamedPrograms)
{
    EXPECT_EQ(effect->magic, vst::kMagic);
    EXPECT_EQ(effect->numOutputs, 2);
    EXPECT_EQ(effect->numInputs, 0);
    EXPECT_TRUE(effect->flags & vst::kIsSynth);
    EXPECT_TRUE(effect->flags & vst::kCanReplace);
    EXPECT_TRUE(effect->flags & vst::kHasEditor);
    ASSERT_GE(effect->numPrograms, 8);

    char name[256];
    std::vector<std::string> names;
    for (int i = 0; i < effect->numPrograms; ++i) {
        std::memset(name, 'x', sizeof name);
        call(vst::effGetProgramNameIndexed, i, -1, name);
        ASSERT_LT(std::strlen(name), 25u);
        EXPECT_GT(std::strlen(name), 0u);
        names.emplace_back(name);
    }
    call(vst::effSetProgram, 0, 4);
    call(vst::effGetProgramName, 0, 0, name);
    EXPECT_EQ(names[4], name);
    EXPECT_EQ(call(vst::effGetProgram), 4);
    call(vst::effSetProgram, 0, 99);
    EXPECT_EQ(call(vst::effGetProgram), 4) << "an unknown program is ignored";
    EXPECT_EQ(call(vst::effGetProgramNameIndexed, 99, -1, name), 0);
}

TEST_F(DemoPluginTest, PlaysNotesSentAsEventsThroughEitherRenderEntry)
{
    EXPECT_EQ(renderPeak(4800), 0.0f);
    sendNote(10, 0x90, 60, 110);
    EXPECT_GT(renderPeak(4800), 0.05f);
    sendNote(0, 0x80, 60, 0);
    renderPeak(48000 * 3);
    EXPECT_EQ(renderPeak(4800), 0.0f) << "silent after the release";

    // The accumulating entry adds to what the buffers hold.
    std::vector<float> left(512, 0.25f), right(512, 0.25f);
    float* outputs[2] = {left.data(), right.data()};
    effect->process(effect, nullptr, outputs, 512);
    EXPECT_EQ(left[100], 0.25f);
}

TEST_F(DemoPluginTest, TheEditorOpensInTheHostWindowItsKeyboardPlaysAndItsSlidersAutomate)
{
    vst::Rect* rect = nullptr;
    call(vst::effEditGetRect, 0, 0, &rect);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_GT(rect->right, 300);
    EXPECT_GT(rect->bottom, 100);

    HWND parent = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, rect->right + 20,
                                  rect->bottom + 40, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(parent, nullptr);
    ASSERT_EQ(call(vst::effEditOpen, 0, 0, parent), 1);
    HWND editor = GetWindow(parent, GW_CHILD);
    ASSERT_NE(editor, nullptr);
    RECT client;
    GetClientRect(editor, &client);
    EXPECT_EQ(client.right, rect->right);
    EXPECT_EQ(client.bottom, rect->bottom);

    // A press low on the first white key (C3) plays it until the button is lifted.
    const LPARAM point = MAKELPARAM(20, rect->bottom - 30);
    SendMessageA(editor, WM_LBUTTONDOWN, MK_LBUTTON, point);
    EXPECT_GT(renderPeak(4800), 0.05f);
    SendMessageA(editor, WM_LBUTTONUP, 0, point);
    renderPeak(48000 * 3);
    EXPECT_EQ(renderPeak(4800), 0.0f);

    // Dragging a slider from before its start to past its end sets the parameter and tells the
    // host, bracketed as one gesture.
    const auto bar = demo::editorSliders().bar(demo::kCutoff);
    editCalls.clear();
    SendMessageA(editor, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(bar.left - 3, bar.top + 2));
    EXPECT_EQ(effect->getParameter(effect, demo::kCutoff), 0.0f);
    SendMessageA(editor, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(bar.right + 20, bar.top + 40));
    SendMessageA(editor, WM_LBUTTONUP, 0, MAKELPARAM(bar.right + 20, bar.top + 40));
    EXPECT_EQ(effect->getParameter(effect, demo::kCutoff), 1.0f);
    const std::vector<HostCall> expected = {{vst::audioMasterBeginEdit, demo::kCutoff, 0.0f},
                                            {vst::audioMasterAutomate, demo::kCutoff, 0.0f},
                                            {vst::audioMasterAutomate, demo::kCutoff, 1.0f},
                                            {vst::audioMasterEndEdit, demo::kCutoff, 0.0f}};
    EXPECT_EQ(editCalls, expected);
    EXPECT_EQ(renderPeak(4800), 0.0f) << "a slider plays no note";

    call(vst::effEditIdle);
    call(vst::effEditClose);
    EXPECT_EQ(GetWindow(parent, GW_CHILD), nullptr);
    DestroyWindow(parent);
}

TEST_F(DemoPluginTest, ParametersAreNamedLabelledAndShownInTheirUnits)
{
    const struct {
        const char* name;
        const char* label;
        const char* shown[3];  // at 0, 0.3 and 1
    } table[] = {
        {"Level", "dB", {"-42.0", "-27.6", "6.0"}},
        {"Cutoff", "Hz", {"20", "159", "20000"}},
        {"Reso", "%", {"0", "30", "100"}},
        {"Detune", "ct", {"0.0", "15.0", "50.0"}},
        {"Attack", "ms", {"1.00", "15.8", "10000"}},
        {"Decay", "ms", {"1.00", "15.8", "10000"}},
        {"Sustain", "%", {"0", "30", "100"}},
        {"Release", "ms", {"1.00", "15.8", "10000"}},
    };
    ASSERT_EQ(effect->numParams, 8);
    const float values[] = {0.0f, 0.3f, 1.0f};
    for (int i = 0; i < effect->numParams; ++i) {
        EXPECT_EQ(text(vst::effGetParamName, i), table[i].name);
        EXPECT_EQ(text(vst::effGetParamLabel, i), table[i].label);
        EXPECT_EQ(call(vst::effCanBeAutomated, i), 1);
        for (int v = 0; v < 3; ++v) {
            effect->setParameter(effect, i, values[v]);
            EXPECT_EQ(effect->getParameter(effect, i), values[v]);
            EXPECT_EQ(text(vst::effGetParamDisplay, i), table[i].shown[v]) << table[i].name << " at " << values[v];
        }
    }
    EXPECT_EQ(call(vst::effGetParamName, 8, 0, nullptr), 0);
    effect->setParameter(effect, 0, 1.5f);
    EXPECT_EQ(effect->getParameter(effect, 0), 1.0f);
}

TEST_F(DemoPluginTest, EachProgramKeepsItsOwnValuesAndName)
{
    call(vst::effSetProgram, 0, 1);
    const float cutoff = effect->getParameter(effect, 1);
    effect->setParameter(effect, 1, 0.125f);
    call(vst::effSetProgramName, 0, 0, const_cast<char*>("A name longer than twenty-four letters"));
    EXPECT_EQ(text(vst::effGetProgramName), "A name longer than twent");

    call(vst::effSetProgram, 0, 6);
    EXPECT_NE(effect->getParameter(effect, 1), 0.125f);
    EXPECT_EQ(text(vst::effGetProgramName), "Brass Section");
    call(vst::effSetProgram, 0, 1);
    EXPECT_EQ(effect->getParameter(effect, 1), 0.125f);
    EXPECT_NE(cutoff, 0.125f);
    char name[64];
    call(vst::effGetProgramNameIndexed, 1, -1, name);
    EXPECT_STREQ(name, "A name longer than twent");
}

TEST_F(DemoPluginTest, ParameterChangesReachNotesAlreadySounding)
{
    sendNote(0, 0x90, 60, 110);
    renderPeak(4800);
    const float loud = renderPeak(4800);
    effect->setParameter(effect, 0, 0.0f);  // -42 dB
    renderPeak(256);
    const float quiet = renderPeak(4800);
    EXPECT_GT(loud, 0.05f);
    EXPECT_LT(quiet, loud / 50);
}

TEST_F(DemoPluginTest, ChunksRestoreTheBankOrTheCurrentProgram)
{
    ASSERT_TRUE(effect->flags & vst::kProgramChunks);
    call(vst::effSetProgram, 0, 3);
    effect->setParameter(effect, 2, 0.5f);
    const auto bank = chunk(0);
    const auto program = chunk(1);
    EXPECT_LT(program.size(), bank.size());

    auto change = [&] {
        effect->setParameter(effect, 2, 0.9f);
        call(vst::effSetProgramName, 0, 0, const_cast<char*>("Changed"));
        call(vst::effSetProgram, 0, 5);
        effect->setParameter(effect, 2, 0.9f);
    };
    change();
    ASSERT_EQ(call(vst::effSetChunk, 0, static_cast<std::intptr_t>(bank.size()), const_cast<unsigned char*>(bank.data())), 1);
    EXPECT_EQ(call(vst::effGetProgram), 3);
    EXPECT_EQ(effect->getParameter(effect, 2), 0.5f);
    EXPECT_EQ(text(vst::effGetProgramName), "Hollow Square");
    EXPECT_EQ(chunk(0), bank);

    change();
    call(vst::effSetProgram, 0, 3);
    ASSERT_EQ(call(vst::effSetChunk, 1, static_cast<std::intptr_t>(program.size()), const_cast<unsigned char*>(program.data())), 1);
    EXPECT_EQ(effect->getParameter(effect, 2), 0.5f);
    EXPECT_EQ(text(vst::effGetProgramName), "Hollow Square");

    // A damaged chunk (damage of every kind is tried on the program bank itself) changes nothing.
    const auto before = chunk(0);
    EXPECT_EQ(call(vst::effSetChunk, 0, static_cast<std::intptr_t>(bank.size() - 1), const_cast<unsigned char*>(bank.data())), 0);
    EXPECT_EQ(call(vst::effSetChunk, 1, static_cast<std::intptr_t>(bank.size()), const_cast<unsigned char*>(bank.data())), 0);
    EXPECT_EQ(call(vst::effSetChunk, 0, 0, nullptr), 0);
    EXPECT_EQ(chunk(0), before);
}
