// Playing without a MIDI keyboard, in the real program: the computer keyboard's notes reach the
// instrument through the event list, Esc silences every channel, the keyboard can be switched
// off (and stays so), and the driver's control panel opens with a reset it asks for answered.
#include "E2eSupport.h"

#include "resource.h"

#include <commctrl.h>

#include <algorithm>

namespace e2e {
namespace {

class PlayWithoutKeyboard : public E2eTest {
protected:
    void Start(const std::string& card)
    {
        Drivers().setText(card, "StatsFile", FileIn("stats.txt"));
        InstallProbe("default");
        WriteSetting("device", "asio", std::to_string(DriversBefore() + 1).c_str());
        Launch();
    }
    // Posts a key as the keyboard does: down (first press), then up.
    void Key(WORD key) const
    {
        PostMessageA(Frame(), WM_KEYDOWN, key, 1);
        PostMessageA(Frame(), WM_KEYDOWN, key, 1 | (1 << 30));  // an auto-repeat
        PostMessageA(Frame(), WM_KEYUP, key, 1 | (1u << 30) | (1u << 31));
    }
    std::vector<std::string> MidiData() const
    {
        std::vector<std::string> data;
        for (const ProbeRecord& record : Log().Records("midi"))
            data.push_back(record.at("data"));
        return data;
    }
    bool MidiBecomes(std::size_t count) const
    {
        return WaitForRecord(
            [&](const std::vector<ProbeRecord>&) { return MidiData().size() >= count; });
    }
};

TEST_F(PlayWithoutKeyboard, KeysPlayEscSilencesAndTheChoiceIsKept)
{
    Start(AddCard("E2E Keys"));
    Key('A');
    ASSERT_TRUE(MidiBecomes(2));
    EXPECT_EQ(MidiData()[0], "90,3c,64,00");
    EXPECT_EQ(MidiData()[1], "80,3c,00,00");

    Key(VK_ESCAPE);
    ASSERT_TRUE(MidiBecomes(2 + 32));
    const std::vector<std::string> data = MidiData();
    EXPECT_EQ(std::count(data.begin(), data.end(), "bf,7b,00,00"), 1)
        << "all notes off, channel 16";
    EXPECT_EQ(std::count(data.begin(), data.end(), "b0,78,00,00"), 1) << "all sound off, channel 1";

    Command(ID_KEYBOARD_NOTES);
    Key('S');
    Sleep(300);
    EXPECT_EQ(MidiData().size(), data.size()) << "the keyboard still plays";
    EXPECT_EQ(ReadSetting("keyboard", "play"), "0");
    EXPECT_EQ(CloseProgram(), 0u);
}

// Keys held when the window loses the keyboard are released at once.
TEST_F(PlayWithoutKeyboard, LosingActivationReleasesHeldKeys)
{
    Start(AddCard("E2E Held"));
    PostMessageA(Frame(), WM_KEYDOWN, 'D', 1);
    ASSERT_TRUE(MidiBecomes(1));
    PostMessageA(Frame(), WM_ACTIVATE, WA_INACTIVE, 0);
    ASSERT_TRUE(MidiBecomes(2));
    EXPECT_EQ(MidiData()[1], "80,40,00,00");
    EXPECT_EQ(CloseProgram(), 0u);
}

// An instrument without an editor: the generic editor shows its parameters by name, value
// and unit, and a slider moved with the keyboard reaches setParameter.
TEST_F(PlayWithoutKeyboard, GenericEditorShowsAndSetsParameters)
{
    InstallProbe("no_editor");
    Launch();
    HWND slider = uiharness::FindDescendant(Frame(), TRACKBAR_CLASSA);
    ASSERT_NE(slider, nullptr) << "no generic editor";
    std::vector<std::string> texts;
    for (HWND child = GetWindow(GetParent(slider), GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT))
        texts.push_back(uiharness::WindowText(child));
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Knob 2"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "0.00 dB"), texts.end());
    PostMessageA(slider, WM_KEYDOWN, VK_END, 1);
    EXPECT_TRUE(WaitForRecord([&](const std::vector<ProbeRecord>&) {
        const std::vector<ProbeRecord> sets = Log().Records("param");
        return !sets.empty() && sets.back().at("value") == "1";
    }));
    EXPECT_EQ(CloseProgram(), 0u);
}

TEST_F(PlayWithoutKeyboard, ControlPanelOpensAndTheResetItAsksForIsAnswered)
{
    const std::string card = AddCard("E2E Panel");
    Drivers().setNumber(card, "PanelMessage", 3);  // the reset request
    Start(card);
    ASSERT_TRUE(WaitForRecord(
        [&](const std::vector<ProbeRecord>&) { return !Log().Records("process").empty(); }));
    Command(ID_ASIO_PANEL);
    EXPECT_TRUE(uiharness::WaitUntil(
        [&] {
            return ReadFileText(FileIn("stats.txt")).find("controlPanelCalls=1") !=
                   std::string::npos;
        },
        kWaitMs));
    // Opened afresh: the instrument's transport starts again from 0 and audio comes back.
    EXPECT_TRUE(WaitForRecord([&](const std::vector<ProbeRecord>&) {
        const std::vector<ProbeRecord> blocks = Log().Records("process");
        return std::count_if(blocks.begin(), blocks.end(),
                             [](const ProbeRecord& block) { return block.real("pos") == 0.0; }) >= 2;
    }));
    const std::size_t blocks = Log().Records("process").size();
    EXPECT_TRUE(WaitForRecord(
        [&](const std::vector<ProbeRecord>&) { return Log().Records("process").size() > blocks; }));
    EXPECT_EQ(CloseProgram(), 0u);
}

}  // namespace
}  // namespace e2e
