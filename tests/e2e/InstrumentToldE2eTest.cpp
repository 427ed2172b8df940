// What the instrument is told, seen from the probe in the real program: an instrument that
// takes a new rate only when switched on plays its 440 Hz tone at 440 Hz at every rate, as the
// rate and block size change only while it is switched off; and the time information runs
// block by block at the rate and the tempo of the settings.
#include "E2eSupport.h"
#include "WavFile.h"
#include "plugin/VstInterface.h"

#include <cmath>
#include <cstring>
#include <string>

namespace e2e {
namespace {

constexpr double kToneHz = 440.0;

class InstrumentTold : public E2eTest {
protected:
    // The probe variant on a card running at `rate`, recording its outputs as floats.
    void Start(const char* variant, const char* rateCode, const char* tempo = nullptr)
    {
        const std::string card = AddCard("E2E Told");
        m_wavPath = FileIn("out.wav");
        Drivers().setText(card, "WavFile", m_wavPath);
        Drivers().setNumber(card, "WavFormat", 0);
        InstallProbe(variant);
        WriteSetting("device", "asio", std::to_string(DriversBefore() + 1).c_str());
        WriteSetting("device", "samplerate", rateCode);
        if (tempo != nullptr)
            WriteSetting("device", "tempo", tempo);
        Launch();
    }
    bool Blocks(std::size_t count) const
    {
        return WaitForRecord(
            [&](const std::vector<ProbeRecord>&) { return Log().Records("process").size() >= count; });
    }
    std::string m_wavPath;
};

// The tone's frequency in the recording: upward zero crossings, interpolated, over all but
// the first blocks.
double MeasuredFrequency(const WavFile& wav)
{
    const auto sample = [&](std::size_t frame) {
        float value = 0.0f;
        std::memcpy(&value, wav.sample(frame, 0), sizeof value);
        return static_cast<double>(value);
    };
    double first = -1.0;
    double last = -1.0;
    int crossings = 0;
    for (std::size_t frame = 4096; frame + 1 < wav.frames(); ++frame) {
        const double a = sample(frame);
        const double b = sample(frame + 1);
        if (a < 0.0 && b >= 0.0) {
            const double at = static_cast<double>(frame) + a / (a - b);
            first = first < 0.0 ? at : first;
            last = at;
            ++crossings;
        }
    }
    return crossings > 1 ? (crossings - 1) * static_cast<double>(wav.sampleRate) / (last - first)
                         : 0.0;
}

struct ToneCase {
    const char* code;
    unsigned long rate;
};

class ToneAtRate : public InstrumentTold, public testing::WithParamInterface<ToneCase> {};

TEST_P(ToneAtRate, SoundsAt440HzAndTheRateChangedWhileSwitchedOff)
{
    Start("tone", GetParam().code);
    ASSERT_TRUE(Blocks(400));
    EXPECT_EQ(CloseProgram(), 0u);

    // Switched off around every rate and block size; the last rate is the card's.
    bool on = false;
    double lastRate = 0.0;
    for (const ProbeRecord& call : Log().Records("dispatch")) {
        const long long op = call.number("op");
        if (op == kOpMainsChanged)
            on = call.number("value") != 0;
        if (op == kOpSetSampleRate || op == kOpSetBlockSize) {
            EXPECT_FALSE(on) << "opcode " << op << " while switched on";
        }
        if (op == kOpSetSampleRate)
            lastRate = call.real("opt");
    }
    EXPECT_EQ(lastRate, static_cast<double>(GetParam().rate));

    WavFile wav;
    ASSERT_TRUE(readWav(m_wavPath, wav));
    ASSERT_EQ(wav.sampleRate, GetParam().rate);
    ASSERT_GT(wav.frames(), GetParam().rate / 4);
    EXPECT_NEAR(MeasuredFrequency(wav), kToneHz, 0.5);
}

INSTANTIATE_TEST_SUITE_P(Rates, ToneAtRate,
                         testing::Values(ToneCase{"0", 44100}, ToneCase{"1", 48000},
                                         ToneCase{"2", 96000}),
                         [](const testing::TestParamInfo<ToneCase>& info) {
                             return std::to_string(info.param.rate);
                         });

// Every block: the card's rate, the file's tempo from the first block on, the position where
// the last block ended, quarter notes at that tempo, 4/4 bars, and the transport playing.
TEST_F(InstrumentTold, TimeInformationRunsAtTheRateAndTempo)
{
    Start("default", "1", "90");
    ASSERT_TRUE(Blocks(50));
    EXPECT_EQ(CloseProgram(), 0u);
    const std::vector<ProbeRecord> blocks = Log().Records("process");
    constexpr long long kPlayingAndValid = kVstTransportPlaying | kVstNanosValid | kVstPpqPosValid
                                           | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;
    double expectedPos = 0.0;
    for (const ProbeRecord& block : blocks) {
        ASSERT_EQ(block.real("rate"), 48000.0);
        ASSERT_EQ(block.real("tempo"), 90.0);
        ASSERT_EQ(block.real("pos"), expectedPos);
        ASSERT_NEAR(block.real("ppq"), expectedPos * 90.0 / (60.0 * 48000.0), 1e-9);
        ASSERT_EQ(block.real("bar"), 4.0 * std::floor(block.real("ppq") / 4.0));
        ASSERT_EQ(block.number("flags") & ~kVstTransportChanged, kPlayingAndValid);
        ASSERT_EQ(block.at("sig"), "4/4");
        expectedPos += static_cast<double>(block.number("frames"));
    }
    EXPECT_NE(blocks.front().number("flags") & kVstTransportChanged, 0);
    EXPECT_LT(blocks.front().real("ns"), blocks.back().real("ns"));
}

}  // namespace
}  // namespace e2e
