// The instrument session with no window at all: the probe instrument played through a
// simulated card registered below a private key, driven as the view drives it, with what the
// user would be shown recorded instead of shown.
#include "SimDrivers.h"
#include "audio/AsioStream.h"
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

    // A session with the probe open, running, its state kept in m_keptBank.
    void Start()
    {
        m_session.reset();
        auto stream = std::make_unique<CAsioStream>(m_drivers.root());
        m_stream = stream.get();
        m_session = std::make_unique<host::CInstrumentSession>(m_reports, std::move(stream));
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

}  // namespace
