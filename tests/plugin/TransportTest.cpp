// The transport the plug-in reads: position, rate, tempo, bars and flags per block, a tempo
// change that bends the position without a jump, and a restart from 0.
#include "plugin/Transport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr std::int32_t kPlaying = kVstTransportPlaying | kVstNanosValid | kVstPpqPosValid
                                  | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;

struct Motion {
    double rate;
    double tempo;
    std::int32_t frames;
};

class TransportMotion : public testing::TestWithParam<Motion> {};

TEST_P(TransportMotion, EveryBlockStartsWhereTheLastEnded)
{
    const Motion m = GetParam();
    CTransport transport;
    transport.SetSampleRate(m.rate);
    transport.SetTempo(m.tempo);
    constexpr int kBlocks = 2000;
    for (int block = 0; block < kBlocks; ++block) {
        const VstTimeInfo& info = transport.BeginBlock(m.frames, 1000.0 * block);
        const double pos = static_cast<double>(block) * m.frames;
        const double ppq = pos * m.tempo / (60.0 * m.rate);
        ASSERT_EQ(info.samplePos, pos);
        ASSERT_NEAR(info.ppqPos, ppq, 1e-9 * (1.0 + ppq));
        ASSERT_EQ(info.barStartPos, 4.0 * std::floor(info.ppqPos / 4.0));
        ASSERT_EQ(info.sampleRate, m.rate);
        ASSERT_EQ(info.tempo, m.tempo);
        ASSERT_EQ(info.nanoSeconds, 1000.0 * block);
        ASSERT_EQ(info.flags, block == 0 ? kPlaying | kVstTransportChanged : kPlaying);
        ASSERT_EQ(&info, transport.Current()) << "the block's record is the one published";
    }
    EXPECT_EQ(transport.Current()->timeSigNumerator, 4);
    EXPECT_EQ(transport.Current()->timeSigDenominator, 4);
}

INSTANTIATE_TEST_SUITE_P(RatesAndTempos, TransportMotion,
                         testing::Values(Motion{44100.0, 120.0, 64}, Motion{48000.0, 120.0, 256},
                                         Motion{96000.0, 93.5, 32}, Motion{48000.0, 240.0, 4096},
                                         Motion{22050.0, 60.0, 1}));

TEST(Transport, ATempoChangeBendsThePositionWithoutAJump)
{
    CTransport transport;
    transport.SetSampleRate(48000.0);
    transport.SetTempo(120.0);
    transport.BeginBlock(48000, 0.0);  // one second at 120: two quarter notes
    transport.SetTempo(60.0);
    EXPECT_DOUBLE_EQ(transport.BeginBlock(48000, 0.0).ppqPos, 2.0);
    EXPECT_DOUBLE_EQ(transport.BeginBlock(48000, 0.0).ppqPos, 3.0);
    // Not a positive number: the tempo stays.
    for (double bad : {0.0, -90.0, std::nan(""), static_cast<double>(INFINITY)})
        transport.SetTempo(bad);
    EXPECT_EQ(transport.BeginBlock(1, 0.0).tempo, 60.0);
}

TEST(Transport, ARestartBeginsAtZeroAndSaysTheTransportChanged)
{
    CTransport transport;
    transport.SetSampleRate(44100.0);
    for (int i = 0; i < 10; ++i)
        transport.BeginBlock(512, 0.0);
    transport.Restart();
    const VstTimeInfo& info = transport.BeginBlock(512, 0.0);
    EXPECT_EQ(info.samplePos, 0.0);
    EXPECT_EQ(info.ppqPos, 0.0);
    EXPECT_NE(info.flags & kVstTransportChanged, 0);
    EXPECT_EQ(transport.BeginBlock(512, 0.0).samplePos, 512.0);
}

// A plug-in that keeps the record it got during a block (or reads it from another thread)
// finds it unchanged while the following blocks are written.
TEST(Transport, ARecordStaysAsItIsWhileTheNextBlocksAreWritten)
{
    CTransport transport;
    transport.SetSampleRate(44100.0);
    const VstTimeInfo* kept = &transport.BeginBlock(100, 0.0);
    const VstTimeInfo copy = *kept;
    transport.BeginBlock(100, 0.0);
    transport.BeginBlock(100, 0.0);
    EXPECT_EQ(kept->samplePos, copy.samplePos);
    EXPECT_EQ(transport.Current()->samplePos, 200.0);
}

} // namespace
