// Instruments and drivers that fault or hang, run in the real program: what the user is told,
// that the program lives on (or ends cleanly where it must), that the settings file is left
// exactly as it was, and that it always exits with code 0.
#include "E2eSupport.h"

#include "resource.h"

namespace e2e {
namespace {

constexpr char kSwitchedOff[] = "The instrument stopped working and was switched off.\n\n";
constexpr char kWhileOpening[] = "The instrument stopped working while it was being opened.\n\n";
constexpr char kEditor[] = "The instrument's editor stopped working while it was being opened.\n\n";

struct InstrumentFault {
    const char* name;
    const char* kind;     // ZUMBREL_PROBE_FAULT
    const char* call;     // ZUMBREL_PROBE_FAULT_IN
    const char* value;    // ZUMBREL_PROBE_FAULT_VALUE
    const char* message;  // the start of the one message shown; null: none
    bool runs;            // the program keeps running after it
};

const InstrumentFault kInstrumentFaults[] = {
    {"AccessInProcess", "access", "process", "", kSwitchedOff, true},
    {"RaiseInProcess", "raise", "process", "0xE06D7363", kSwitchedOff, true},
    {"StackOverflowInProcess", "stack", "process", "", kSwitchedOff, true},
    {"DivideInEffOpen", "divide", "effOpen", "", kWhileOpening, false},
    {"AccessInEntry", "access", "entry", "", kWhileOpening, false},
    {"IllegalInEditOpen", "illegal", "effEditOpen", "", kEditor, true},
    {"AccessInEditIdle", "access", "effEditIdle", "", kSwitchedOff, true},
    {"AccessInClose", "access", "effClose", "", nullptr, true},
    {"HandledInProcess", "handled", "process", "", nullptr, true},
};

void PrintTo(const InstrumentFault& c, std::ostream* os)
{
    *os << c.name;
}

class Faults : public E2eTest, public testing::WithParamInterface<InstrumentFault> {
protected:
    void TearDown() override
    {
        for (const char* variable :
             {"ZUMBREL_PROBE_FAULT", "ZUMBREL_PROBE_FAULT_IN", "ZUMBREL_PROBE_FAULT_VALUE"})
            SetEnvironmentVariableA(variable, nullptr);
        E2eTest::TearDown();
    }
    void StartFaulting(const char* kind, const char* call, const char* value)
    {
        SetEnvironmentVariableA("ZUMBREL_PROBE_FAULT", kind);
        SetEnvironmentVariableA("ZUMBREL_PROBE_FAULT_IN", call);
        SetEnvironmentVariableA("ZUMBREL_PROBE_FAULT_VALUE", *value != '\0' ? value : nullptr);
        AddCard("E2E Faults");
        InstallProbe("default");
        WriteSetting("device", "asio", std::to_string(DriversBefore() + 1).c_str());
        WriteSetting("device", "samplerate", "0");  // as the start writes it back
        m_settings = ReadFileText(SettingsPath());
        Launch(false);
    }
    std::size_t Blocks() const { return Log().Records("process").size(); }
    bool BlocksGoOn() const
    {
        const std::size_t before = Blocks();
        return WaitForRecord(
            [&](const std::vector<ProbeRecord>&) { return Blocks() > before + 10; });
    }
    std::string StatusText()
    {
        return uiharness::CRemoteStatusBar(Program().Process(), GetDlgItem(Frame(), IDW_STATUS_BAR))
            .PaneText(0);
    }
    // The settings, except the driver list the program publishes at every start.
    std::string DeviceSettings(const std::string& text) const
    {
        return text.substr(0, text.find("[list]"));
    }

    std::string m_settings;
};

TEST_P(Faults, AreContainedAndToldOnce)
{
    const InstrumentFault& c = GetParam();
    StartFaulting(c.kind, c.call, c.value);
    if (c.message != nullptr) {
        HWND box = WaitForMessageBox(c.message, true);
        ASSERT_NE(box, nullptr) << "no message";
        uiharness::ClickButton(box, IDOK);
    }
    if (!c.runs) {
        EXPECT_EQ(Program().WaitForExit(kWaitMs), 0u);
        EXPECT_EQ(DeviceSettings(ReadFileText(SettingsPath())), DeviceSettings(m_settings));
        return;
    }
    WaitForFrame();
    if (c.message != kSwitchedOff) {
        EXPECT_TRUE(BlocksGoOn()) << "the instrument stopped playing";
    }
    Sleep(300);
    EXPECT_FALSE(AnyMessageBox()) << "more than one message";
    EXPECT_EQ(CloseProgram(), 0u);
    EXPECT_EQ(DeviceSettings(ReadFileText(SettingsPath())), DeviceSettings(m_settings));
}

INSTANTIATE_TEST_SUITE_P(Instrument, Faults, testing::ValuesIn(kInstrumentFaults),
                         [](const testing::TestParamInfo<InstrumentFault>& info) {
                             return info.param.name;
                         });

// A block that stays inside the instrument shows in the status bar; one that comes back clears
// it, and one that never does still lets the program close.
TEST_F(Faults, StuckAudioIsShownAndNeverBlocksTheClose)
{
    StartFaulting("stall", "process", "3000");
    WaitForFrame();
    EXPECT_TRUE(uiharness::WaitUntil(
        [&] { return StatusText().find("has not answered") != std::string::npos; }, kWaitMs));
    EXPECT_TRUE(uiharness::WaitUntil([&] { return StatusText() == "Ready"; }, kWaitMs))
        << StatusText();
    EXPECT_TRUE(BlocksGoOn());
    EXPECT_EQ(CloseProgram(), 0u);
    TearDown();
    SetUp();

    StartFaulting("hang", "process", "");
    WaitForFrame();
    EXPECT_TRUE(uiharness::WaitUntil(
        [&] { return StatusText().find("has not answered") != std::string::npos; }, kWaitMs));
    EXPECT_FALSE(AnyMessageBox());
    PostMessageA(Frame(), WM_CLOSE, 0, 0);
    EXPECT_EQ(Program().WaitForExit(10000), 0u);
}

// A driver that faults inside its own calls is switched off like a failing one.
TEST_F(Faults, DriverFaultsAreReportedAsAsioFailures)
{
    for (const char* setting : {"FaultCreateBuffers", "FaultStart"}) {
        const std::string card = AddCard(std::string("E2E ") + setting);
        Drivers().setNumber(card, setting, std::string(setting) == "FaultStart" ? 2 : 1);
        InstallProbe("default");
        WriteSetting("device", "asio", std::to_string(DriversBefore() + 1).c_str());
        Launch(false);
        HWND box = WaitForMessageBox("ASIO failed\n\n", true);
        ASSERT_NE(box, nullptr) << setting;
        EXPECT_NE(uiharness::DialogItemText(box, 0xFFFF).find("zumbrel_sim_asio"),
                  std::string::npos)
            << uiharness::DialogItemText(box, 0xFFFF);
        uiharness::ClickButton(box, IDOK);
        WaitForFrame();
        EXPECT_EQ(CloseProgram(), 0u);
        TearDown();
        SetUp();
    }
}

}  // namespace
}  // namespace e2e
