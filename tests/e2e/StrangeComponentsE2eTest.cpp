// Misbehaving instruments and drivers, one group each: what reaches the card when the
// plug-in's output blows up, which thread the editor's slow idle call takes, and driver keys
// longer than most hosts expect.
#include "E2eSupport.h"
#include "WavFile.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace e2e {
namespace {

constexpr long long kOpEditIdle = 19;

class StrangeInstrument : public E2eTest {
protected:
    // A real-time card recording floats and writing its statistics.
    std::string AddRecordingCard()
    {
        const std::string card = AddCard("E2E Strange");
        m_wavPath = FileIn("out.wav");
        m_statsPath = FileIn("stats.txt");
        Drivers().setText(card, "WavFile", m_wavPath);
        Drivers().setNumber(card, "WavFormat", 0);
        Drivers().setText(card, "StatsFile", m_statsPath);
        return card;
    }
    // The probe playing through the last card added.
    void StartOnTheCard()
    {
        InstallProbe("default");
        WriteSetting("device", "asio", std::to_string(DriversBefore() + 1).c_str());
        Launch();
    }
    // The probe with `variable` set to `value` in its environment, on a recording card.
    void StartWith(const char* variable, const char* value)
    {
        SetEnvironmentVariableA(variable, value);
        m_variable = variable;
        AddRecordingCard();
        StartOnTheCard();
        SetEnvironmentVariableA(variable, nullptr);
    }
    void TearDown() override
    {
        if (m_variable != nullptr)
            SetEnvironmentVariableA(m_variable, nullptr);
        E2eTest::TearDown();
    }
    bool Renders(std::size_t blocks) const
    {
        return WaitForRecord([&](const std::vector<ProbeRecord>&) {
            return Log().Records("process").size() >= blocks;
        });
    }
    // The card's statistics as numbers.
    std::map<std::string, long long> Stats() const
    {
        std::map<std::string, long long> stats;
        std::istringstream lines(ReadFileText(m_statsPath));
        for (std::string line; std::getline(lines, line);) {
            const std::size_t equals = line.find('=');
            if (equals != std::string::npos)
                stats[line.substr(0, equals)] = std::atoll(line.c_str() + equals + 1);
        }
        return stats;
    }

    const char* m_variable = nullptr;
    std::string m_wavPath;
    std::string m_statsPath;
};

class BlownUpOutput : public StrangeInstrument, public testing::WithParamInterface<const char*> {};

// Infinities and NaN from the plug-in reach the card as silence, never as full scale.
TEST_P(BlownUpOutput, ReachesTheCardAsSilence)
{
    StartWith("ZUMBREL_PROBE_OUTPUT", GetParam());
    ASSERT_TRUE(Renders(20));
    EXPECT_EQ(CloseProgram(), 0u);
    WavFile wav;
    ASSERT_TRUE(readWav(m_wavPath, wav));
    ASSERT_EQ(wav.format, 3);
    ASSERT_GT(wav.frames(), 0u);
    std::size_t loud = 0;
    for (std::size_t frame = 0; frame < wav.frames(); ++frame) {
        for (int channel = 0; channel < 2; ++channel) {
            float value = 1.0f;
            std::memcpy(&value, wav.sample(frame, channel), sizeof value);
            loud += value != 0.0f;
        }
    }
    EXPECT_EQ(loud, 0u) << "of " << wav.frames() << " frames";
}

INSTANTIATE_TEST_SUITE_P(Values, BlownUpOutput, testing::Values("inf", "-inf", "nan"));

// An editor whose idle call takes 150 ms gets it on the window's thread, a few times a second,
// and costs the audio not one block.
TEST_F(StrangeInstrument, SlowEditorIdleRunsOnTheWindowsThreadAndCostsNoAudio)
{
    StartWith("ZUMBREL_PROBE_IDLE_MS", "150");
    ASSERT_TRUE(WaitForRecord([](const std::vector<ProbeRecord>& records) {
        int idles = 0;
        for (const ProbeRecord& record : records)
            idles += record.kind == "dispatch" && record.number("op") == kOpEditIdle;
        return idles >= 5;
    }));
    EXPECT_EQ(CloseProgram(), 0u);
    std::set<std::string> audioThreads;
    std::set<std::string> idleThreads;
    for (const ProbeRecord& record : Log().Records("process"))
        audioThreads.insert(record.at("tid"));
    for (const ProbeRecord& record : Dispatches(kOpEditIdle))
        idleThreads.insert(record.at("tid"));
    const std::set<std::string> windowThread = {Dispatches(kOpEditOpen).at(0).at("tid")};
    EXPECT_EQ(idleThreads, windowThread);
    ASSERT_FALSE(audioThreads.empty());
    EXPECT_EQ(audioThreads.count(*windowThread.begin()), 0u);
    const auto stats = Stats();
    EXPECT_GT(stats.at("blocks"), 0);
    EXPECT_EQ(stats.at("missed"), 0);
}

// Two threads switching at once: the plug-in is never rendered twice at the same time, and
// every driver call of the close path happens once, in order.
TEST_F(StrangeInstrument, TwoSwitchingThreadsNeverRenderAtOnceAndTheCloseIsClean)
{
    const std::string card = AddRecordingCard();
    Drivers().setNumber(card, "SwitchThreads", 2);
    StartOnTheCard();
    ASSERT_TRUE(Renders(50));
    EXPECT_EQ(CloseProgram(), 0u);
    for (const ProbeRecord& record : Log().Records("process"))
        ASSERT_EQ(record.number("inside"), 1) << "rendered twice at once";
    const auto stats = Stats();
    EXPECT_GT(stats.at("twinSwitches"), 0) << "the second thread never switched";
    EXPECT_EQ(stats.at("maxInside"), 2) << "the driver was inside the program twice at once";
    EXPECT_EQ(stats.at("stops"), 1);
    EXPECT_EQ(stats.at("disposeBuffersCalls"), 1);
    EXPECT_EQ(stats.at("disposeWhileStarted"), 0);
    EXPECT_EQ(stats.at("released"), 1);
}

// A driver asking to be opened afresh (reset, new buffer size, resync) is opened afresh and
// plays on; one that keeps asking is switched off after five re-opens and the user is told.
class DriverRequest : public StrangeInstrument, public testing::WithParamInterface<int> {};

TEST_P(DriverRequest, ReopensThenStopsADriverThatKeepsAsking)
{
    constexpr int kBlocksPerOpen = 40;
    constexpr int kReopens = 5;
    const std::string card = AddRecordingCard();
    Drivers().setNumber(card, "MessageSelector", static_cast<DWORD>(GetParam()));
    Drivers().setNumber(card, "MessageAfterBlocks", kBlocksPerOpen);
    StartOnTheCard();
    HWND box = WaitForMessageBox(
        "ASIO failed\n\nThe driver keeps asking to be restarted, so its audio was switched off. "
        "Choose a driver again in Options.");
    ASSERT_NE(box, nullptr);
    EXPECT_GE(Log().Records("process").size(), static_cast<std::size_t>(kReopens * kBlocksPerOpen))
        << "the audio did not come back after a request";
    uiharness::ClickButton(box, IDOK);
    ASSERT_TRUE(CaptionBecomes("Zumbrel - Program 0"));
    const std::size_t blocks = Log().Records("process").size();
    Sleep(300);
    EXPECT_EQ(Log().Records("process").size(), blocks) << "still playing after the limit";
    EXPECT_EQ(Dispatches(kOpOpen).size(), 1u) << "the plug-in is not opened again";
    EXPECT_EQ(CloseProgram(), 0u);
}

std::string SelectorName(const testing::TestParamInfo<int>& info)
{
    static const char* const names[] = {"Reset", "BufferSizeChange", "Resync"};
    return names[info.param - 3];
}

INSTANTIATE_TEST_SUITE_P(Selectors, DriverRequest, testing::Values(3, 4, 5), SelectorName);

// The position of `name` among the machine's driver keys, counting from 1, as a host that
// reads every key sees them; 0 when it is not there.
int DriverNumberOf(const std::string& name)
{
    HKEY asio = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\ASIO", 0, KEY_READ, &asio) != ERROR_SUCCESS)
        return 0;
    int found = 0;
    char key[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof key;
        if (RegEnumKeyExA(asio, i, key, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        if (name == key) {
            found = static_cast<int>(i) + 1;
            break;
        }
    }
    RegCloseKey(asio);
    return found;
}

// Key names go up to 255 characters (210 here: Wine refuses longer ones through the ANSI
// registry calls the test uses): long ones before a driver hide nothing (the list may
// show them cut), and that driver plays when chosen.
TEST_F(StrangeInstrument, LongDriverKeysHideNoDriver)
{
    std::vector<std::string> names;
    for (std::size_t length : {130u, 170u, 210u}) {
        const std::string stem = "E2E Long " + std::to_string(length) + " ";
        names.push_back(AddCard(stem + std::string(length - stem.size(), 'x')));
    }
    const std::string after = AddCard("E2E Long z");
    names.push_back(after);
    const int number = DriverNumberOf(after);
    ASSERT_GT(number, 0);
    InstallProbe("default");
    WriteSetting("device", "asio", std::to_string(number).c_str());
    Launch();
    ASSERT_TRUE(Renders(1));
    const int total = DriversBefore() + static_cast<int>(names.size());
    ASSERT_TRUE(uiharness::WaitUntil(
        [&] { return ReadSetting("list", "num") == std::to_string(total + 1); }, kWaitMs));
    std::set<std::string> listed;
    for (int i = 1; i <= total; ++i)
        listed.insert(ReadSetting("list", std::to_string(i).c_str()));
    // The list may show a long name cut, ending in "...".
    const auto shown = [&](const std::string& name) {
        for (const std::string& entry : listed) {
            const std::size_t dots = entry.rfind("...");
            if (entry == name || (dots != std::string::npos && dots + 3 == entry.size() &&
                                  dots > 0 && name.compare(0, dots, entry, 0, dots) == 0))
                return true;
        }
        return false;
    };
    for (const std::string& name : names)
        EXPECT_TRUE(shown(name)) << name.size() << " characters";
    EXPECT_EQ(CloseProgram(), 0u);
}

} // namespace
} // namespace e2e
