// The demo instrument loaded as a host loads it: from its DLL through the exported entry, its
// programs listed, notes sent as events, blocks rendered, and its editor played with the mouse.

#include "VstAbi.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::intptr_t VST_CALL host(vst::Effect*, std::int32_t opcode, std::int32_t, std::intptr_t, void*, float)
{
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

TEST_F(DemoPluginTest, TheEditorOpensInTheHostWindowAndItsKeyboardPlays)
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

    call(vst::effEditIdle);
    call(vst::effEditClose);
    EXPECT_EQ(GetWindow(parent, GW_CHILD), nullptr);
    DestroyWindow(parent);
}
