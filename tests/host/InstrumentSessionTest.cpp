// The instrument session with no window at all: the probe instrument played through a
// simulated card registered below a private key, driven as the view drives it, with what the
// user would be shown recorded instead of shown.
#include "SimDrivers.h"
#include "SoundServer.h"
#include "audio/AsioStream.h"
#include "audio/WasapiDevice.h"
#include "host/InstrumentSession.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kCode48000 = 1;

std::string WindowsPath(std::string path)
{
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    for (char& c : path)
        c = c == '/' ? '\\' : c;
    return path;
}

struct RecordedReports : host::ISessionReports {
    std::vector<std::string> stops;
    std::vector<std::string> statuses;
    std::atomic<int> reopenRequests{0};
    void ShowStop(const std::string& text) override { stops.push_back(text); }
    void ShowStatus(const std::string& text) override { statuses.push_back(text); }
    void RequestReopen() override { reopenRequests.fetch_add(1); }
};

class InstrumentSession : public testing::Test {
protected:
    void SetUp() override
    {
        m_card = "Session Card " + uniqueSuffix();
        m_drivers.add(m_card);
        m_settingsPath = tempFilePath("session", "ini");
        m_keptBank = tempFilePath("session", "fxb");
    }
    void TearDown() override
    {
        m_session.reset();
        DeleteFileA(m_settingsPath.c_str());
        DeleteFileA(m_keptBank.c_str());
    }

    // A session with the probe open, running, its state kept in m_keptBank; with Windows
    // audio beside the card when `windows`.
    void Start(bool windows = false)
    {
        m_session.reset();
        auto stream = std::make_unique<CAsioStream>(m_drivers.root());
        m_stream = stream.get();
        auto system = windows ? std::make_unique<CWasapiDevice>() : nullptr;
        m_windows = system.get();
        m_session = std::make_unique<host::CInstrumentSession>(m_reports, std::move(stream),
                                                               std::move(system));
        ASSERT_EQ(m_session->OpenInstrument(WindowsPath(PROBE_DLL)),
                  host::CInstrumentSession::Opening::Opened);
        m_session->UseSettingsFile(m_settingsPath);
        m_session->StartRunning(m_keptBank);
    }
    DeviceSettings Card(int rateCode = kCode48000) const
    {
        DeviceSettings settings;
        settings.driver = 1;
        settings.sampleRateCode = rateCode;
        return settings;
    }
    // Whether blocks keep finishing: a few more within two seconds.
    bool Plays() const
    {
        const std::uint32_t start = m_stream->CompletedBlocks();
        for (int i = 0; i < 200 && m_stream->CompletedBlocks() - start < 4; ++i)
            Sleep(10);
        return m_stream->CompletedBlocks() - start >= 4;
    }

    CSimDrivers m_drivers;
    std::string m_card;
    std::string m_settingsPath;
    std::string m_keptBank;
    RecordedReports m_reports;
    CAsioStream* m_stream = nullptr;
    CWasapiDevice* m_windows = nullptr;
    std::unique_ptr<host::CInstrumentSession> m_session;
};

// The whole life: the card plays at the chosen rate and the instrument is told that rate,
// "none" closes it, a second apply opens it again, and shutting down keeps the state.
TEST_F(InstrumentSession, PlaysAtTheChosenRateUntilShutDown)
{
    Start();
    m_session->PublishDeviceChoices();
    EXPECT_EQ(ReadDriverList(m_session->Settings(), 2)[0], "none");
    m_session->ApplySettings(Card());
    ASSERT_TRUE(Plays());
    EXPECT_EQ(m_stream->Rate(), 48000.0);
    EXPECT_EQ(m_session->Plugin().TimeInfo().sampleRate, 48000.0);
    EXPECT_TRUE(m_session->HasControlPanel());

    m_session->ApplySettings(DeviceSettings{});
    EXPECT_FALSE(m_stream->IsOpen());
    m_session->ApplySettings(Card());
    EXPECT_TRUE(Plays());

    m_session->ShutDown();
    EXPECT_FALSE(m_stream->IsOpen());
    EXPECT_FALSE(m_session->Plugin().IsLoaded());
    EXPECT_NE(GetFileAttributesA(m_keptBank.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(m_reports.stops.empty());
}

// What a failing card leaves: the user's message and the rate stored for the next start.
TEST_F(InstrumentSession, FailingCardsAreReportedAndTheirRateStored)
{
    struct Case {
        const char* value;
        DWORD number;
        bool plays;
        const char* stop;  // the message shown, or null
        int storedCode;
    };
    const Case cases[] = {
        {"FailInit", 1, false, "ASIO failed", kCode48000},
        {"FailCreateBuffers", 1, false, "ASIO failed", kCode48000},
        {"FailSetSampleRate", 1, true, nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        m_reports.stops.clear();
        m_drivers.setNumber(m_card, c.value, c.number);
        Start();
        WriteSampleRateCode(m_session->Settings(), kCode48000);
        m_session->ApplySettings(Card());
        EXPECT_EQ(m_stream->IsRunning() && Plays(), c.plays);
        ASSERT_EQ(m_reports.stops.size(), c.stop ? 1u : 0u);
        if (c.stop) {
            EXPECT_EQ(m_reports.stops[0].rfind(c.stop, 0), 0u) << m_reports.stops[0];
        }
        EXPECT_EQ(m_session->ReadSettings().sampleRateCode, c.storedCode);
        m_drivers.setNumber(m_card, c.value, 0);
    }
}

// A driver asking to be opened afresh reaches the owner once, from its own thread; the
// re-open on the session's thread plays again.
TEST_F(InstrumentSession, DriverRequestLeadsToOneReopen)
{
    m_drivers.setNumber(m_card, "MessageAfterBlocks", 4);
    Start();
    m_session->ApplySettings(Card());
    for (int i = 0; i < 200 && m_reports.reopenRequests.load() == 0; ++i)
        Sleep(10);
    ASSERT_EQ(m_reports.reopenRequests.load(), 1);
    m_session->ReopenAudio();
    EXPECT_TRUE(Plays());
    EXPECT_TRUE(m_reports.stops.empty());
}

// The card's latency, in the status bar after it opened.
TEST_F(InstrumentSession, TheStatusBarTellsTheOpenDevicesLatency)
{
    Start();
    m_session->ApplySettings(Card());
    ASSERT_TRUE(Plays());
    ASSERT_FALSE(m_reports.statuses.empty());
    EXPECT_EQ(m_reports.statuses.back().rfind(m_card + ": 48000 Hz, 5.3 ms period", 0), 0u)
        << m_reports.statuses.back();
}

// Windows audio beside the card, into the tests' sound server (48000 Hz mix).
class WindowsAudioSession : public InstrumentSession {
protected:
    void SetUp() override
    {
        if (!CSoundServer().Available())
            GTEST_SKIP() << "no sound server (scripts/sound-server.sh)";
        InstrumentSession::SetUp();
        Start(true);
    }
    // Blocks finishing on the Windows device.
    bool WindowsPlays() const
    {
        const std::uint32_t start = m_windows->CompletedBlocks();
        for (int i = 0; i < 200 && m_windows->CompletedBlocks() - start < 4; ++i)
            Sleep(10);
        return m_windows->CompletedBlocks() - start >= 4;
    }
    std::string LastStatus() const
    {
        return m_reports.statuses.empty() ? std::string() : m_reports.statuses.back();
    }
};

// The list: "none", the drivers, then the Windows devices, default first.
TEST_F(WindowsAudioSession, ChoicesListTheWindowsDevicesAfterTheDrivers)
{
    const std::vector<DeviceChoice> choices = m_session->DeviceChoices();
    ASSERT_GE(choices.size(), 3u + m_stream->DeviceCount());
    EXPECT_EQ(choices[0].name, "none");
    const std::size_t first = 1 + static_cast<std::size_t>(m_stream->DeviceCount());
    for (std::size_t i = 1; i < first; ++i)
        EXPECT_EQ(choices[i].driver, static_cast<int>(i));
    EXPECT_EQ(choices[first].name, "Windows Audio (default device)");
    EXPECT_EQ(choices[first].windowsDevice, "default");
    EXPECT_EQ(choices[first].driver, 0);
}

// Without any choice in the file the default device plays, at the mix rate, whose code is
// stored; the choice stays open (nothing is written for it). An explicit "none" is silent.
TEST_F(WindowsAudioSession, AFirstStartPlaysTheDefaultDeviceAndNoneStaysSilent)
{
    const DeviceSettings first = m_session->ReadSettings();
    ASSERT_FALSE(first.deviceChosen);
    m_session->ApplySettings(first);
    ASSERT_TRUE(WindowsPlays());
    EXPECT_EQ(m_session->Plugin().TimeInfo().sampleRate, 48000.0);
    EXPECT_EQ(m_session->ReadSettings().sampleRateCode, kCode48000);
    EXPECT_FALSE(m_session->ReadSettings().deviceChosen);
    EXPECT_EQ(LastStatus().rfind("Windows Audio (default device): 48000 Hz, ", 0), 0u) << LastStatus();
    EXPECT_FALSE(m_session->HasControlPanel());

    WriteDeviceChoice(m_session->Settings(), 0, "");
    m_session->ApplySettings(m_session->ReadSettings());
    EXPECT_FALSE(m_windows->IsOpen());
    EXPECT_FALSE(m_stream->IsOpen());
    EXPECT_TRUE(m_reports.stops.empty());
}

// What plays for a stored choice the device cannot honour, and what the status bar says.
TEST_F(WindowsAudioSession, AGoneDeviceOrARefusedModePlaysTheDefaultDeviceAndSaysSo)
{
    struct Case {
        const char* key;
        const char* note;
    };
    for (const Case& c : {Case{"{0.0.0.00000000}.{gone}", "The chosen Windows audio device is not there"},
                          Case{"{gone};exclusive", "The chosen Windows audio device is not there"},
                          Case{"default;exclusive", "Exclusive mode was refused"}}) {
        SCOPED_TRACE(c.key);
        DeviceSettings settings;
        settings.windowsDevice = c.key;
        m_session->ApplySettings(settings);
        EXPECT_TRUE(WindowsPlays());
        EXPECT_NE(LastStatus().find(c.note), std::string::npos) << LastStatus();
        EXPECT_NE(LastStatus().find("48000 Hz"), std::string::npos) << LastStatus();
    }
    EXPECT_TRUE(m_reports.stops.empty());
}

// A device's request to be opened afresh: the default device is looked up again and plays.
TEST_F(WindowsAudioSession, AReopenPlaysTheDefaultDeviceAgain)
{
    m_session->ApplySettings(m_session->ReadSettings());
    ASSERT_TRUE(WindowsPlays());
    m_session->ReopenAudio();
    EXPECT_TRUE(WindowsPlays());
    EXPECT_TRUE(m_reports.stops.empty());
}

}  // namespace
