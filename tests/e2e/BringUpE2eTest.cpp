// The device bring-up from the settings file, seen from outside: which driver opens, which
// rate is asked for and stored, the tempo the plug-in sees, and the MIDI port.
#include "E2eSupport.h"
#include "resource.h"

namespace e2e {
namespace {

constexpr DWORD kQuietMs = 600;  // how long "nothing happens" is watched
constexpr char kNoteScript[] = "port E2E Keys\n100 short 90 3c 64\n";

bool HasKind(const std::vector<ProbeRecord>& records, const std::string& kind)
{
    for (const ProbeRecord& record : records) {
        if (record.kind == kind) {
            return true;
        }
    }
    return false;
}

class BringUp : public E2eTest {
protected:
    void StartWith(const char* asio, const char* rateCode)
    {
        InstallProbe("default");
        WriteSetting("device", "asio", asio);
        if (rateCode != nullptr) {
            WriteSetting("device", "samplerate", rateCode);
        }
        Launch();
        ASSERT_TRUE(CaptionBecomes("Zumbrel - Program 0"));
    }
    bool Renders() const
    {
        return WaitForRecord([](const auto& records) { return HasKind(records, "process"); });
    }
    ProbeRecord LastProcess() const { return Log().Records("process").back(); }
};

class DriverNumber : public BringUp, public testing::WithParamInterface<int> {};

TEST_P(DriverNumber, ZeroOrOutOfRangeOpensNoAudioAndSaysNothing)
{
    AddCard("E2E Idle");
    const int number = GetParam() < 0 ? DriversBefore() + 2 : GetParam();
    StartWith(std::to_string(number).c_str(), nullptr);
    Sleep(kQuietMs);
    EXPECT_FALSE(HasKind(Log().Records(), "process"));
    EXPECT_FALSE(AnyMessageBox());
    EXPECT_EQ(CloseProgram(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Numbers, DriverNumber, testing::Values(0, -1));

TEST_F(BringUp, FailingDriverIsReportedAndTheProgramGoesOn)
{
    const std::string card = AddCard("E2E Broken");
    Drivers().setNumber(card, "FailInit", 1);
    InstallProbe("default");
    WriteSetting("device", "asio", std::to_string(DriversBefore() + 1).c_str());
    WriteSetting("device", "midiin", "1");
    WriteMidiScript(kNoteScript);
    Launch(false);
    HWND box = WaitForMessageBox("ASIO failed");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(uiharness::WindowText(box), "Zumbrel");
    uiharness::ClickButton(box, IDOK);
    WaitForFrame();
    ASSERT_TRUE(CaptionBecomes("Zumbrel - Program 0"));
    EXPECT_FALSE(HasKind(Log().Records(), "process"));
    EXPECT_EQ(CloseProgram(), 0u);
}

TEST_F(BringUp, RefusedRateStoresCodeZeroAndKeepsThePluginAt44100)
{
    const std::string card = AddCard("E2E NoHigh");
    Drivers().setText(card, "SampleRates", "44100");
    StartWith(std::to_string(DriversBefore() + 1).c_str(), "1");
    ASSERT_TRUE(Renders());
    EXPECT_EQ(ReadSetting("device", "samplerate"), "0");
    for (const ProbeRecord& rate : Dispatches(kOpSetSampleRate)) {
        EXPECT_EQ(rate.real("opt"), 44100.0);
    }
    EXPECT_EQ(CloseProgram(), 0u);
}

TEST_F(BringUp, AcceptedRateReachesThePluginAndIsStored)
{
    AddCard("E2E High");
    StartWith(std::to_string(DriversBefore() + 1).c_str(), "2");
    ASSERT_TRUE(Renders());
    EXPECT_EQ(ReadSetting("device", "samplerate"), "2");
    EXPECT_EQ(Dispatches(kOpSetSampleRate).back().real("opt"), 96000.0);
    EXPECT_EQ(CloseProgram(), 0u);
}

TEST_F(BringUp, UnknownRateCodeChangesNoRateAndIsNotRewritten)
{
    const std::string card = AddCard("E2E Own");
    Drivers().setNumber(card, "SampleRate", 48000);
    StartWith(std::to_string(DriversBefore() + 1).c_str(), "5");
    ASSERT_TRUE(Renders());
    EXPECT_EQ(ReadSetting("device", "samplerate"), "5");
    EXPECT_EQ(Dispatches(kOpSetSampleRate).size(), 1u);  // the start-up's 44100 only
    EXPECT_EQ(CloseProgram(), 0u);
}

TEST_F(BringUp, MissingTempoGives120)
{
    AddCard("E2E Tempo");
    StartWith(std::to_string(DriversBefore() + 1).c_str(), nullptr);
    ASSERT_TRUE(Renders());
    EXPECT_EQ(LastProcess().real("tempo"), 120.0);
    EXPECT_EQ(CloseProgram(), 0u);
}

TEST_F(BringUp, StoredTempoReachesThePlugin)
{
    AddCard("E2E Tempo");
    WriteSetting("device", "tempo", "93");
    StartWith(std::to_string(DriversBefore() + 1).c_str(), nullptr);
    ASSERT_TRUE(Renders());
    EXPECT_EQ(LastProcess().real("tempo"), 93.0);
    EXPECT_EQ(CloseProgram(), 0u);
}

class MidiPortNumber : public BringUp, public testing::WithParamInterface<const char*> {};

TEST_P(MidiPortNumber, ZeroOrOutOfRangeLeavesMidiClosed)
{
    AddCard("E2E Deaf");
    WriteSetting("device", "midiin", GetParam());
    WriteMidiScript(kNoteScript);
    StartWith(std::to_string(DriversBefore() + 1).c_str(), nullptr);
    ASSERT_TRUE(Renders());
    Sleep(kQuietMs);
    EXPECT_TRUE(Log().Records("midi").empty());
    EXPECT_FALSE(AnyMessageBox());
    EXPECT_EQ(CloseProgram(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Ports, MidiPortNumber, testing::Values("0", "2"));

// Lending the system-exclusive buffer after the failed open must not end the program.
TEST_F(BringUp, PortThatFailsToOpenIsReportedAndAudioPlaysOn)
{
    AddCard("E2E Busy");
    InstallProbe("default");
    WriteSetting("device", "asio", std::to_string(DriversBefore() + 1).c_str());
    WriteSetting("device", "midiin", "1");
    WriteMidiScript(kNoteScript);
    SetEnvironmentVariableA("ZUMBREL_E2E_MIDI_OPEN_FAILS", "1");
    Launch(false);
    SetEnvironmentVariableA("ZUMBREL_E2E_MIDI_OPEN_FAILS", nullptr);
    HWND box = WaitForMessageBox("MIDI IN port failed");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(uiharness::WindowText(box), "Zumbrel");
    uiharness::ClickButton(box, IDOK);
    WaitForFrame();
    ASSERT_TRUE(CaptionBecomes("Zumbrel - Program 0"));
    ASSERT_TRUE(Renders());
    EXPECT_EQ(CloseProgram(), 0u);
}

} // namespace
} // namespace e2e

namespace e2e {

// Options shows the settings dialog; Cancel applies nothing now, OK runs the bring-up again
// (the driver is re-opened and the plug-in is told its rate once more).
TEST_F(BringUp, OptionsDialogAppliesTheSettingsOnlyOnOk)
{
    AddCard("E2E Options");
    InstallProbe("default");
    WriteSetting("device", "asio", std::to_string(DriversBefore() + 1).c_str());
    Launch();
    ASSERT_TRUE(WaitForRecord([](const std::vector<ProbeRecord>& records) { return HasKind(records, "process"); }));
    const size_t ratesAtStart = Dispatches(kOpSetSampleRate).size();

    const auto openOptions = [&] {
        PostMessageA(Frame(), WM_COMMAND, ID_OPTIONS, 0);  // modal: the command returns when it closes
        return Program().WaitForWindow(kDialogClass, "ASIO & MIDI Settings", kWaitMs);
    };
    const auto closed = [&](HWND dialog) {
        return uiharness::WaitUntil([&] { return !IsWindow(dialog); }, kWaitMs);
    };
    HWND dialog = openOptions();
    ASSERT_NE(dialog, nullptr);
    uiharness::ClickButton(dialog, IDCANCEL);
    ASSERT_TRUE(closed(dialog));
    Command(0);  // a round trip through the program's message loop
    EXPECT_EQ(Dispatches(kOpSetSampleRate).size(), ratesAtStart);

    dialog = openOptions();
    ASSERT_NE(dialog, nullptr);
    uiharness::ClickButton(dialog, IDOK);
    ASSERT_TRUE(closed(dialog));
    EXPECT_TRUE(WaitForRecord([&](const std::vector<ProbeRecord>&) {
        return Dispatches(kOpSetSampleRate).size() == ratesAtStart + 1;
    }));
    EXPECT_EQ(CloseProgram(), 0u);
}

} // namespace e2e
