// Windows audio under Wine, into the private sound server's null sink (float 32, 48000 Hz,
// stereo): the device list, the shared stream's tone as captured, exclusive mode refused, and
// a sink that disappears and comes back.
#include "audio/WasapiDevice.h"
#include "audio/WasapiFormat.h"
#include "SoundServer.h"
#include "StreamProbe.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cmath>

namespace {

constexpr double kGain = 0.9;  // the output stage's

class WasapiDevice : public testing::Test {
protected:
    void SetUp() override
    {
        if (!m_server.Available())
            GTEST_SKIP() << "no sound server (scripts/sound-server.sh)";
        m_probe.output = RenderProbe::Output::Sine;
        m_probe.sampleRate = 48000.0;
        m_probe.frequency = 1000.0;
        m_probe.amplitude = 0.5;
        m_device.SetRequestHandler([](void* flag) { static_cast<std::atomic<int>*>(flag)->fetch_add(1); },
                                   &m_requests);
    }

    std::int32_t Find(const std::string& key)
    {
        bool standIn = false;
        return m_device.FindDevice(key, standIn);
    }

    // Plays the probe's sine for `ms` through device `index`; the capture of that time.
    std::vector<float> Play(std::int32_t index, DWORD ms)
    {
        const std::uint64_t mark = m_server.CaptureMark();
        EXPECT_TRUE(m_device.Open(index, &probeRender, &m_probe)) << m_device.FailureText();
        EXPECT_TRUE(m_device.Start()) << m_device.FailureText();
        Sleep(ms);
        m_device.Close();
        Sleep(300);  // the recorder's own latency
        return m_server.CaptureSince(mark);
    }

    // The probe's sine, scaled by the output stage, whole and without a gap or a jump.
    static void ExpectCleanSine(const std::vector<float>& capture, double seconds)
    {
        ::ExpectCleanSine(capture, 1000.0, 0.5 * kGain, seconds);
    }

    CSoundServer m_server;
    CWasapiDevice m_device;
    RenderProbe m_probe;
    std::atomic<int> m_requests{0};
};

// The default device first, the sink by its name, then the same again in exclusive mode; a
// key that is gone stands in the default device of its mode.
TEST_F(WasapiDevice, ListsTheDefaultDeviceTheEndpointsAndTheirExclusiveVariants)
{
    ASSERT_EQ(m_device.DeviceCount() % 2, 0);
    ASSERT_GE(m_device.DeviceCount(), 4);
    const std::int32_t half = m_device.DeviceCount() / 2;
    EXPECT_EQ(m_device.DeviceName(0), "Windows Audio (default device)");
    EXPECT_EQ(m_device.DeviceKey(0), "default");
    EXPECT_EQ(m_device.DeviceName(half), "Windows Audio (default device) (exclusive)");
    EXPECT_EQ(m_device.DeviceKey(half), "default;exclusive");
    for (std::int32_t i = 1; i < half; ++i) {
        EXPECT_FALSE(m_device.DeviceName(i).empty());
        EXPECT_EQ(m_device.DeviceKey(half + i), m_device.DeviceKey(i) + ";exclusive");
        EXPECT_EQ(Find(m_device.DeviceKey(i)), i);
    }
    struct Case {
        const char* key;
        std::int32_t index;
        bool standIn;
    };
    for (const Case& c : {Case{"", 0, false}, Case{"default", 0, false},
                          Case{"{gone}", 0, true}, Case{"{gone};exclusive", half, true}}) {
        bool standIn = false;
        EXPECT_EQ(m_device.FindDevice(c.key, standIn), c.index) << c.key;
        EXPECT_EQ(standIn, c.standIn) << c.key;
    }
    EXPECT_EQ(m_device.DeviceName(m_device.DeviceCount()), "");
}

// Shared mode plays the sink's mix format and rate; both played outputs arrive whole.
TEST_F(WasapiDevice, TheDefaultDevicePlaysTheToneWithoutGaps)
{
    const std::vector<float> capture = Play(0, 3000);
    EXPECT_FALSE(m_device.Exclusive());
    ExpectCleanSine(capture, 2.5);
    EXPECT_EQ(m_requests.load(), 0);
}

TEST_F(WasapiDevice, TellsTheMixRateThePeriodAndTheLatency)
{
    ASSERT_TRUE(m_device.Open(0, &probeRender, &m_probe)) << m_device.FailureText();
    EXPECT_EQ(m_device.Rate(), 48000.0);
    EXPECT_EQ(m_device.Format().channels, 2);
    EXPECT_EQ(m_device.Format().sampleType, ASIOSTFloat32LSB);
    EXPECT_GT(m_device.PeriodSeconds(), 0.0);
    EXPECT_GE(m_device.OutputLatency(), m_device.BufferFrames() / 48000.0);
    EXPECT_TRUE(m_device.SetRate(48000.0));
    EXPECT_FALSE(m_device.SetRate(44100.0)) << "shared mode plays the mix rate only";
    EXPECT_EQ(m_device.Rate(), 48000.0);
    EXPECT_TRUE(m_device.OpenNote().empty());
}

// The sound server refuses exclusive mode: the device plays shared and says so.
TEST_F(WasapiDevice, RefusedExclusiveModePlaysSharedAndSaysSo)
{
    const std::vector<float> capture = Play(Find("default;exclusive"), 1500);
    EXPECT_FALSE(m_device.Exclusive());
    EXPECT_NE(m_device.OpenNote().find("playing shared"), std::string::npos) << m_device.OpenNote();
    ExpectCleanSine(capture, 1.0);
}

// The sink unloaded while playing and loaded again: the device, opened afresh when it asks
// (as its owner does), plays again.
TEST_F(WasapiDevice, PlaysAgainAfterTheSinkCameBack)
{
    ASSERT_TRUE(m_device.Open(0, &probeRender, &m_probe));
    ASSERT_TRUE(m_device.Start());
    Sleep(500);
    ASSERT_TRUE(m_server.UnloadSink());
    Sleep(500);
    ASSERT_TRUE(m_server.LoadSink());
    Sleep(500);
    if (m_requests.load() > 0) {
        m_device.Close();
        m_device.RefreshDevices();
        ASSERT_TRUE(m_device.Open(0, &probeRender, &m_probe)) << m_device.FailureText();
        ASSERT_TRUE(m_device.Start());
    }
    // Heard again, whole, once the recorder runs again with the sink.
    std::string why = "not heard";
    for (int attempt = 0; attempt < 6 && !why.empty(); ++attempt) {
        const std::uint64_t mark = m_server.CaptureMark();
        Sleep(1500);
        IsCleanSine(m_server.CaptureSince(mark), 1000.0, 0.5 * kGain, 1.2, why);
    }
    EXPECT_TRUE(why.empty()) << why;
    m_device.Close();
}

// The endpoint formats the block writes, and the ones it refuses rather than play noise.
TEST(WasapiFormat, MixFormatsTheBlockWritesOrRefuses)
{
    struct Case {
        const char* name;
        WORD tag;
        WORD bits;
        WORD validBits;
        bool floatSubtype;
        WORD blockAlign;  // 0: channels * bits / 8
        ASIOSampleType type;
        std::int32_t channels;  // 0: refused
    };
    const Case cases[] = {
        {"float extensible", WAVE_FORMAT_EXTENSIBLE, 32, 32, true, 0, ASIOSTFloat32LSB, 2},
        {"24 in 32 extensible", WAVE_FORMAT_EXTENSIBLE, 32, 24, false, 0, ASIOSTInt32LSB, 2},
        {"packed 24", WAVE_FORMAT_PCM, 24, 24, false, 0, ASIOSTInt24LSB, 2},
        {"16", WAVE_FORMAT_PCM, 16, 16, false, 0, ASIOSTInt16LSB, 2},
        {"float tag", WAVE_FORMAT_IEEE_FLOAT, 32, 32, true, 0, ASIOSTFloat32LSB, 2},
        {"8 bit", WAVE_FORMAT_PCM, 8, 8, false, 0, 0, 0},
        {"64-bit float", WAVE_FORMAT_IEEE_FLOAT, 64, 64, true, 0, 0, 0},
        {"block size lies", WAVE_FORMAT_PCM, 16, 16, false, 6, 0, 0},
        {"unknown tag", 0x0055, 16, 16, false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        WAVEFORMATEXTENSIBLE format = ExclusiveFormat(2, 48000, c.bits, c.floatSubtype);
        format.Format.wFormatTag = c.tag;
        format.Samples.wValidBitsPerSample = c.validBits;
        if (c.blockAlign != 0)
            format.Format.nBlockAlign = c.blockAlign;
        const InterleavedFormat layout = FormatOf(&format.Format);
        EXPECT_EQ(layout.channels, c.channels) << c.name;
        if (c.channels != 0) {
            EXPECT_EQ(layout.sampleType, c.type) << c.name;
        }
    }
    EXPECT_EQ(FormatOf(nullptr).channels, 0);
}

}  // namespace
