// The device bring-up from the settings file, seen from outside: which driver opens, which
// rate is asked for and stored, the tempo the plug-in sees, and the MIDI port.
#include "E2eSupport.h"
#include "resource.h"
#include "ui/SelectorModel.h"

#include <map>

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
    // The program's stop message `text`, under its own caption, answered with OK; then the
    // main frame.
    void AnswerStopMessage(const char* text)
    {
        HWND box = WaitForMessageBox(text);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(uiharness::WindowText(box), "Zumbrel");
        uiharness::ClickButton(box, IDOK);
        WaitForFrame();
    }
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

// A driver that cannot be opened fully (a failing init or query, nothing it can play into)
// is reported, and the program goes on without audio.
struct OpenFailure {
    const char* value;  // of the card's configuration
    const char* text;
};

class FailingDriver : public BringUp, public testing::WithParamInterface<OpenFailure> {};

TEST_P(FailingDriver, IsReportedAndTheProgramGoesOn)
{
    const std::string card = AddCard("E2E Broken");
    Drivers().setText(card, GetParam().value, GetParam().text);
    InstallProbe("default");
    WriteSetting("device", "asio", std::to_string(DriversBefore() + 1).c_str());
    WriteSetting("device", "midiin", "1");
    WriteMidiScript(kNoteScript);
    Launch(false);
    AnswerStopMessage("ASIO failed");
    ASSERT_TRUE(CaptionBecomes("Zumbrel - Program 0"));
    // MIDI input runs without audio: the port opened, started and took the script's note.
    EXPECT_TRUE(uiharness::WaitUntil([&] { return MidiPlays() >= 1; }, kWaitMs));
    EXPECT_FALSE(HasKind(Log().Records(), "process"));
    EXPECT_EQ(CloseProgram(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Causes, FailingDriver,
    testing::Values(OpenFailure{"FailInit", "1"}, OpenFailure{"FailGetChannels", "1"},
                    OpenFailure{"FailGetBufferSize", "1"}, OpenFailure{"Outputs", "0"},
                    OpenFailure{"SampleType", "99"}),
    [](const testing::TestParamInfo<OpenFailure>& info) { return std::string(info.param.value); });

// The plug-in is always told the rate the driver runs at; a refused rate (the driver says
// no, or says yes and fails to set it) is stored as code 0, an unknown code is kept as it is.
struct RateCase {
    const char* name;
    const char* cardValue;  // a value of the card's configuration, or null
    const char* cardText;   // its text (numbers may be text)
    const char* code;
    const char* stored;
    double pluginRate;
};

class Rates : public BringUp, public testing::WithParamInterface<RateCase> {};

TEST_P(Rates, ThePluginHearsTheDriversRealRate)
{
    const RateCase& c = GetParam();
    const std::string card = AddCard("E2E Rate");
    if (c.cardValue != nullptr)
        Drivers().setText(card, c.cardValue, c.cardText);
    StartWith(std::to_string(DriversBefore() + 1).c_str(), c.code);
    ASSERT_TRUE(Renders());
    EXPECT_EQ(ReadSetting("device", "samplerate"), c.stored);
    EXPECT_EQ(Dispatches(kOpSetSampleRate).back().real("opt"), c.pluginRate);
    EXPECT_EQ(CloseProgram(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Rates,
    testing::Values(RateCase{"Accepted", nullptr, nullptr, "2", "2", 96000.0},
                    RateCase{"RefusedByTheDriver", "SampleRates", "44100", "1", "0", 44100.0},
                    RateCase{"AcceptedButNotSet", "FailSetSampleRate", "1", "1", "0", 44100.0},
                    // A driver that took the rate and cannot tell it runs at the rate asked for.
                    RateCase{"SetButNotTold", "FailGetSampleRate", "1", "1", "1", 48000.0},
                    RateCase{"SetButToldNaN", "FailGetSampleRate", "2", "2", "2", 96000.0},
                    RateCase{"SetButToldZero", "FailGetSampleRate", "3", "1", "1", 48000.0},
                    RateCase{"UnknownCodeKeepsTheDriversRate", "SampleRate", "48000", "5", "5",
                             48000.0}),
    [](const testing::TestParamInfo<RateCase>& info) { return std::string(info.param.name); });

// No rate asked for and none the driver can tell: 44100, said in the status bar.
TEST_F(BringUp, NoRateKnownPlaysAt44100AndSaysSo)
{
    const std::string card = AddCard("E2E Rate");
    Drivers().setText(card, "FailGetSampleRate", "1");
    StartWith(std::to_string(DriversBefore() + 1).c_str(), "5");
    ASSERT_TRUE(Renders());
    EXPECT_EQ(LastProcess().real("rate"), 44100.0);
    EXPECT_EQ(uiharness::CRemoteStatusBar(Program().Process(), GetDlgItem(Frame(), IDW_STATUS_BAR))
                  .PaneText(0),
              "The driver does not tell its sample rate: the instrument plays at 44100 Hz");
    EXPECT_EQ(ReadSetting("device", "samplerate"), "5");
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

// A port that refuses to open, and a MIDI device that cannot be made at all, end the same
// way: the user is told, the program goes on without MIDI input and plays. Lending the
// system-exclusive buffer after the failure must not end the program.
class MidiFailure : public BringUp, public testing::WithParamInterface<const char*> {};

TEST_P(MidiFailure, IsReportedAndAudioPlaysOn)
{
    AddCard("E2E Busy");
    InstallProbe("default");
    WriteSetting("device", "asio", std::to_string(DriversBefore() + 1).c_str());
    WriteSetting("device", "midiin", "1");
    WriteMidiScript(kNoteScript);
    SetEnvironmentVariableA(GetParam(), "1");
    Launch(false);
    SetEnvironmentVariableA(GetParam(), nullptr);
    AnswerStopMessage("MIDI IN port failed");
    ASSERT_TRUE(CaptionBecomes("Zumbrel - Program 0"));
    ASSERT_TRUE(Renders());
    EXPECT_EQ(CloseProgram(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Causes, MidiFailure,
                         testing::Values("ZUMBREL_E2E_MIDI_OPEN_FAILS",
                                         "ZUMBREL_E2E_MIDI_EVENT_FAILS"));

} // namespace
} // namespace e2e

namespace e2e {

// Options shows the settings dialog; Cancel applies nothing now, OK runs the bring-up again:
// the tempo written meanwhile reaches the instrument, whose transport, on the same driver and
// rate, plays on with the new slope and without a jump.
TEST_F(BringUp, OptionsDialogAppliesTheSettingsOnlyOnOk)
{
    AddCard("E2E Options");
    InstallProbe("default");
    WriteSetting("device", "asio", std::to_string(DriversBefore() + 1).c_str());
    Launch();
    ASSERT_TRUE(WaitForRecord([](const std::vector<ProbeRecord>& records) { return HasKind(records, "process"); }));
    WriteSetting("device", "tempo", "150");
    const auto blocks = [&] { return Log().Records("process"); };

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
    Sleep(kQuietMs);
    EXPECT_EQ(blocks().back().real("tempo"), 120.0);

    dialog = openOptions();
    ASSERT_NE(dialog, nullptr);
    uiharness::ClickButton(dialog, IDOK);
    ASSERT_TRUE(closed(dialog));
    ASSERT_TRUE(WaitForRecord([&](const std::vector<ProbeRecord>&) {
        return blocks().back().real("tempo") == 150.0;
    }));
    EXPECT_EQ(CloseProgram(), 0u);
    const std::vector<ProbeRecord> all = blocks();
    for (std::size_t i = 1; i < all.size(); ++i) {
        const ProbeRecord& before = all[i - 1];
        const double frames = static_cast<double>(before.number("frames"));
        ASSERT_EQ(all[i].real("pos"), before.real("pos") + frames) << "block " << i;
        ASSERT_NEAR(all[i].real("ppq"),
                    before.real("ppq") + frames * before.real("tempo") / (60.0 * before.real("rate")),
                    1e-6)
            << "block " << i;
    }
}

} // namespace e2e

namespace e2e {

// Choosing another driver in the settings and confirming moves the audio to it: the first
// card stops for good, the new one renders, and the choice is stored.
TEST_F(BringUp, OptionsMovesTheAudioToTheNewlyChosenDriver)
{
    const std::string first = AddCard("E2E First");
    const std::string second = AddCard("E2E Second");
    Drivers().setText(first, "StatsFile", FileIn("first.txt"));
    Drivers().setText(second, "StatsFile", FileIn("second.txt"));
    InstallProbe("default");
    WriteSetting("device", "asio", std::to_string(DriversBefore() + 1).c_str());
    Launch();
    ASSERT_TRUE(Renders());

    PostMessageA(Frame(), WM_COMMAND, ID_OPTIONS, 0);
    HWND dialog = Program().WaitForWindow(kDialogClass, "ASIO & MIDI Settings", kWaitMs);
    ASSERT_NE(dialog, nullptr);
    // The popup's command for the second card's entry (entry 0 is "none"), then OK.
    const int secondEntry = DriversBefore() + 2;
    PostMessageA(GetDlgItem(dialog, IDC_DRIVER_SELECTOR), WM_COMMAND,
                 MAKEWPARAM(CSelectorModel::kFirstCommand + secondEntry, 0), 0);
    uiharness::ClickButton(dialog, IDOK);
    ASSERT_TRUE(uiharness::WaitUntil([&] { return !IsWindow(dialog); }, kWaitMs));

    // The first card writes its statistics when it stops.
    std::map<std::string, double> firstStats;
    ASSERT_TRUE(uiharness::WaitUntil([&] {
        firstStats = readStats(FileIn("first.txt"));
        return firstStats.count("stops") != 0;
    }, kWaitMs));
    EXPECT_EQ(ReadSetting("device", "asio"), std::to_string(secondEntry));
    const std::size_t rendersAtSwitch = Log().Records("process").size();
    EXPECT_TRUE(WaitForRecord([&](const std::vector<ProbeRecord>&) {
        return Log().Records("process").size() > rendersAtSwitch + 10;
    }));
    EXPECT_EQ(CloseProgram(), 0u);

    const std::map<std::string, double> firstAfter = readStats(FileIn("first.txt"));
    EXPECT_GT(firstStats["blocks"], 0.0);
    EXPECT_EQ(firstAfter.at("blocks"), firstStats["blocks"]);
    EXPECT_EQ(firstAfter.at("starts"), 1.0);
    const std::map<std::string, double> secondStats = readStats(FileIn("second.txt"));
    ASSERT_EQ(secondStats.count("blocks"), 1u);
    EXPECT_GT(secondStats.at("blocks"), 0.0);
    EXPECT_EQ(secondStats.at("starts"), 1.0);
}

} // namespace e2e
