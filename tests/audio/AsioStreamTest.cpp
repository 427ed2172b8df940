// The stream opened on simulated cards: negotiation at open, the callbacks and processing
// threads, the message table and the driver's requests, closing and re-opening. Each test
// registers its own cards below a private key; the card's clock runs as fast as the stream
// answers.
#include "audio/AsioStream.h"

#include "SimDrivers.h"
#include "StreamProbe.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <utility>

namespace {

constexpr std::int32_t kFrames = 256;

// One card named "Card" with a statistics file; configure it before building the stream.
struct StreamSetup {
    CSimDrivers drivers;
    std::string stats = tempFilePath("sim-stats", ".txt");
    StreamSetup()
    {
        drivers.add("Card");
        set("StatsFile", stats);
    }
    ~StreamSetup() { DeleteFileA(stats.c_str()); }
    void set(const char* value, DWORD number) { drivers.setNumber("Card", value, number); }
    void set(const char* value, const std::string& text) { drivers.setText("Card", value, text); }
};

TEST(AsioStreamOpen, BufferInfosHoldInputsThenOutputs)
{
    StreamSetup setup;
    CAsioStream stream(setup.drivers.root());
    RenderProbe probe;
    ASSERT_EQ(stream.openStream(0, probeRender, &probe), 1);
    ASSERT_EQ(stream.inputCount(), 2);
    ASSERT_EQ(stream.outputCount(), 2);
    EXPECT_EQ(stream.bufferFrames(), kFrames);
    const ASIOBufferInfo* infos = stream.openedBuffers();
    const ASIOBool inputFlags[] = {ASIOTrue, ASIOTrue, ASIOFalse, ASIOFalse};
    const AsioLong numbers[] = {0, 1, 0, 1};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(infos[k].isInput, inputFlags[k]) << k;
        EXPECT_EQ(infos[k].channelNum, numbers[k]) << k;
        EXPECT_NE(infos[k].buffers[0], nullptr);
        EXPECT_NE(infos[k].buffers[1], nullptr);
        EXPECT_EQ(stream.openedChannels()[k].isInput, inputFlags[k]);
        EXPECT_EQ(stream.openedChannels()[k].type, ASIOSTInt32LSB);
    }
    EXPECT_STREQ(stream.openedDriverInfo().name, "Card");
    EXPECT_TRUE(stream.closeStream());
    const auto stats = readStats(setup.stats);
    EXPECT_EQ(stats.at("channels"), 4);
    EXPECT_EQ(stats.at("frames"), kFrames);
    EXPECT_EQ(stats.at("outputReady"), 1);  // the one call at open
}

struct RateParam {
    DWORD driverRate;
    double openedRate;
};

class AsioStreamOpenRate : public testing::TestWithParam<RateParam> {};

TEST_P(AsioStreamOpenRate, RateOutsideTheKeptRangeBecomes44100)
{
    StreamSetup setup;
    setup.set("SampleRate", GetParam().driverRate);
    CAsioStream stream(setup.drivers.root());
    RenderProbe probe;
    ASSERT_EQ(stream.openStream(0, probeRender, &probe), 1);
    EXPECT_EQ(stream.currentSampleRate(), GetParam().openedRate);
    EXPECT_TRUE(stream.closeStream());
    const bool kept = GetParam().driverRate == GetParam().openedRate;
    EXPECT_EQ(readStats(setup.stats).at("setSampleRateCalls"), kept ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(Rates, AsioStreamOpenRate,
                         testing::Values(RateParam{0, 44100.0}, RateParam{48000, 48000.0},
                                         RateParam{96000, 96000.0}, RateParam{192000, 44100.0}),
                         [](const testing::TestParamInfo<RateParam>& info) {
                             return "Driver" + std::to_string(info.param.driverRate);
                         });

TEST(AsioStreamOpen, DriverWithout44100FailsWhenItsRateIsOutOfRange)
{
    StreamSetup setup;
    setup.set("SampleRate", 192000);
    setup.set("SampleRates", std::string("96000,192000"));
    CAsioStream stream(setup.drivers.root());
    RenderProbe probe;
    EXPECT_EQ(stream.openStream(0, probeRender, &probe), 0);
}

TEST(AsioStreamOpen, FailingGetSampleRateSkipsRateAndOutputReady)
{
    StreamSetup setup;
    setup.set("FailGetSampleRate", 1);
    CAsioStream stream(setup.drivers.root());
    RenderProbe probe;
    ASSERT_EQ(stream.openStream(0, probeRender, &probe), 1);
    EXPECT_EQ(stream.currentSampleRate(), 0.0);
    EXPECT_TRUE(stream.closeStream());
    const auto stats = readStats(setup.stats);
    EXPECT_EQ(stats.at("outputReady"), 0);
    EXPECT_EQ(stats.at("setSampleRateCalls"), 0);
}

TEST(AsioStreamOpen, IndexOutsideTheTableFailsWithoutTouchingTheDriver)
{
    StreamSetup setup;
    CAsioStream stream(setup.drivers.root());
    RenderProbe probe;
    EXPECT_EQ(stream.openStream(stream.driverCount(), probeRender, &probe), 0);
    EXPECT_EQ(stream.openStream(-1, probeRender, &probe), 0);
    EXPECT_EQ(stream.driverLoader().currentDriverIndex(), -1);
    EXPECT_EQ(stream.driverNameAt(stream.driverCount()), "No ASIO Drivers");
    EXPECT_EQ(stream.driverNameAt(0), "Card");
}

TEST(AsioStreamOpen, FailingInitDropsTheDriverAndFailsTheOpen)
{
    StreamSetup setup;
    setup.set("FailInit", 1);
    setup.set("InitError", std::string("The card is unplugged"));
    CAsioStream stream(setup.drivers.root());
    RenderProbe probe;
    EXPECT_EQ(stream.openStream(0, probeRender, &probe), 0);
    EXPECT_STREQ(stream.openedDriverInfo().errorMessage, "The card is unplugged");
    EXPECT_STREQ(stream.openedDriverInfo().name, "No ASIO Driver");
    EXPECT_EQ(stream.driverLoader().calls().current(), nullptr);
    EXPECT_FALSE(stream.startStream());
}

struct ChannelParam {
    DWORD inputs, outputs;
    std::int32_t openedInputs, openedOutputs;
};

class AsioStreamOpenChannels : public testing::TestWithParam<ChannelParam> {};

// Only as many channels as the stream's tables hold are opened, and they all run.
TEST_P(AsioStreamOpenChannels, OpensWhatFitsAndRuns)
{
    const ChannelParam p = GetParam();
    StreamSetup setup;
    setup.set("Inputs", p.inputs);
    setup.set("Outputs", p.outputs);
    setup.set("BlockLimit", 3);
    CAsioStream stream(setup.drivers.root());
    RenderProbe probe;
    ASSERT_EQ(stream.openStream(0, probeRender, &probe), 1);
    EXPECT_EQ(stream.inputCount(), p.openedInputs);
    EXPECT_EQ(stream.outputCount(), p.openedOutputs);
    ASSERT_TRUE(stream.startStream());
    const auto stats = waitForStat(setup.stats, "answered", 3);
    EXPECT_EQ(stats.at("answered"), 3);
    EXPECT_EQ(probe.inputChannels, p.openedInputs);
    EXPECT_EQ(probe.outputChannels, p.openedOutputs);
    EXPECT_TRUE(stream.stopStream());
    EXPECT_TRUE(stream.closeStream());
    EXPECT_EQ(readStats(setup.stats).at("channels"), p.openedInputs + p.openedOutputs);
}

INSTANTIATE_TEST_SUITE_P(Counts, AsioStreamOpenChannels,
                         testing::Values(ChannelParam{0, 2, 0, 2}, ChannelParam{8, 1, 8, 1},
                                         ChannelParam{40, 2, 32, 2}, ChannelParam{2, 40, 2, 32},
                                         ChannelParam{40, 40, 32, 32}),
                         [](const testing::TestParamInfo<ChannelParam>& info) {
                             return "In" + std::to_string(info.param.inputs) + "Out"
                                    + std::to_string(info.param.outputs);
                         });

// The name table has 32 slots: further drivers are left out of it and not counted.
TEST(AsioStreamNames, TableKeepsTheFirst32Drivers)
{
    constexpr int kDrivers = 34;
    CSimDrivers drivers;
    for (int i = 0; i < kDrivers; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "Card %02d", i);
        drivers.add(name);
    }
    CAsioStream stream(drivers.root());
    EXPECT_EQ(stream.driverLoader().count(), kDrivers);
    ASSERT_EQ(stream.driverCount(), 32);
    EXPECT_EQ(stream.driverNameAt(0), "Card 00");
    EXPECT_EQ(stream.driverNameAt(31), "Card 31");
    EXPECT_EQ(stream.driverNameAt(32), "No ASIO Drivers");
    EXPECT_EQ(stream.driverNameAt(-1), "No ASIO Drivers");
    RenderProbe probe;
    EXPECT_EQ(stream.openStream(32, probeRender, &probe), 0);
    EXPECT_EQ(stream.openStream(31, probeRender, &probe), 1);
    EXPECT_EQ(stream.driverLoader().currentDriverIndex(), 31);
}

// Channels in formats the stream does not convert (big-endian: silence; DSD: width
// unknown, left alone) still run block after block beside one it writes.
TEST(AsioStreamOpen, UnconvertedFormatsRun)
{
    StreamSetup setup;
    setup.set("Outputs", 3);
    setup.set("SampleTypes", std::to_string(ASIOSTInt24MSB) + "," + std::to_string(ASIOSTDSDInt8LSB1)
                                 + "," + std::to_string(ASIOSTInt24MSB) + ","
                                 + std::to_string(ASIOSTDSDInt8LSB1) + ","
                                 + std::to_string(ASIOSTInt16LSB));
    setup.set("Signal", 1);
    setup.set("BlockLimit", 3);
    CAsioStream stream(setup.drivers.root());
    RenderProbe probe;
    probe.output = RenderProbe::Output::Sine;
    ASSERT_EQ(stream.openStream(0, probeRender, &probe), 1);
    EXPECT_EQ(stream.openedChannels()[1].type, ASIOSTDSDInt8LSB1);
    ASSERT_TRUE(stream.startStream());
    EXPECT_EQ(waitForStat(setup.stats, "answered", 3)["answered"], 3);
    for (int call = 0; call < 3; ++call)
        EXPECT_EQ(probe.firstInputs[call], 0.0f);
}

TEST(AsioStreamOpen, CloseBeforeAnyOpenReportsFalse)
{
    StreamSetup setup;
    CAsioStream stream(setup.drivers.root());
    EXPECT_FALSE(stream.closeStream());
    EXPECT_FALSE(stream.isRunning());
}

struct SwitchParam {
    bool direct;
    bool timeInfo;
};

class AsioStreamSwitch : public testing::TestWithParam<SwitchParam> {};

// Direct processing renders on the driver's thread, deferred processing on the worker;
// either way every block is rendered once, positions start at -frames and step by frames.
TEST_P(AsioStreamSwitch, BlocksAreRenderedOnTheRightThreadInOrder)
{
    constexpr int kBlocks = 6;
    StreamSetup setup;
    setup.set("DirectProcess", GetParam().direct);
    setup.set("TimeInfo", GetParam().timeInfo);
    setup.set("BlockLimit", kBlocks);
    CAsioStream stream(setup.drivers.root());
    RenderProbe probe;
    ASSERT_EQ(stream.openStream(0, probeRender, &probe), 1);
    ASSERT_TRUE(stream.startStream());
    auto stats = waitForStat(setup.stats, "answered", kBlocks);
    ASSERT_EQ(stats["answered"], kBlocks);
    ASSERT_EQ(probe.calls.load(), kBlocks);
    const auto clock = static_cast<unsigned long>(stats["clockThread"]);
    for (int b = 0; b < kBlocks; ++b) {
        EXPECT_EQ(probe.positions[b], (b - 1) * kFrames) << b;
        if (GetParam().direct) {
            EXPECT_EQ(probe.threads[b], clock);
        } else {
            EXPECT_NE(probe.threads[b], clock);
        }
        EXPECT_NE(probe.threads[b], GetCurrentThreadId());
    }
    EXPECT_EQ(stats["timeInfoSwitches"], GetParam().timeInfo ? kBlocks : 0);
    EXPECT_EQ(stats["plainSwitches"], GetParam().timeInfo ? 0 : kBlocks);
    if (!GetParam().timeInfo) {
        EXPECT_GE(stats["samplePositionCalls"], kBlocks);  // bufferSwitch reads the position
    }
    EXPECT_EQ(stats["outputReady"], kBlocks + 1);
    EXPECT_TRUE(stream.stopStream());
    EXPECT_FALSE(stream.isRunning());
}

INSTANTIATE_TEST_SUITE_P(Modes, AsioStreamSwitch,
                         testing::Values(SwitchParam{true, true}, SwitchParam{true, false},
                                         SwitchParam{false, true}, SwitchParam{false, false}),
                         [](const testing::TestParamInfo<SwitchParam>& info) {
                             return std::string(info.param.direct ? "Direct" : "Deferred")
                                    + (info.param.timeInfo ? "TimeInfo" : "Plain");
                         });

class AsioStreamOutsideRun : public testing::TestWithParam<bool> {};

// A driver that switches from inside start and goes on after stop: those blocks are left
// alone, with no outputReady.
TEST_P(AsioStreamOutsideRun, SwitchesBeforeStartAndAfterStopTouchNothing)
{
    StreamSetup setup;
    setup.set("DirectProcess", GetParam());
    setup.set("SwitchesInStart", 2);
    setup.set("Rogue", 1);
    setup.set("BlockLimit", 3);
    CAsioStream stream(setup.drivers.root());
    RenderProbe probe;
    probe.output = RenderProbe::Output::Sine;
    ASSERT_EQ(stream.openStream(0, probeRender, &probe), 1);
    ASSERT_TRUE(stream.startStream());
    waitForStat(setup.stats, "answered", 3);
    ASSERT_TRUE(stream.stopStream());
    Sleep(100);  // rogue switches after stop
    EXPECT_TRUE(stream.closeStream());
    const auto stats = readStats(setup.stats);
    EXPECT_GE(stats.at("rogueSwitches"), 3);
    EXPECT_EQ(stats.at("touchedOutsideRun"), 0);
    EXPECT_EQ(stats.at("answered"), 3);
    EXPECT_EQ(stats.at("outputReady"), 3 + 1);
    EXPECT_EQ(probe.calls.load(), 3);
}

INSTANTIATE_TEST_SUITE_P(Modes, AsioStreamOutsideRun, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Direct" : "Deferred");
                         });

struct MessageParam {
    AsioLong selector;
    AsioLong value;
    AsioLong result;
};

class AsioStreamMessage : public testing::TestWithParam<MessageParam> {};

TEST_P(AsioStreamMessage, AnswersAsTabled)
{
    const MessageParam p = GetParam();
    EXPECT_EQ(CAsioStream::asioMessage(p.selector, p.value, nullptr, nullptr), p.result);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AsioStreamMessage,
    testing::Values(MessageParam{kAsioSelectorSupported, kAsioEngineVersion, 1},
                    MessageParam{kAsioSelectorSupported, kAsioResetRequest, 1},
                    MessageParam{kAsioSelectorSupported, kAsioBufferSizeChange, 1},
                    MessageParam{kAsioSelectorSupported, kAsioResyncRequest, 1},
                    MessageParam{kAsioSelectorSupported, kAsioLatenciesChanged, 1},
                    MessageParam{kAsioSelectorSupported, kAsioSupportsTimeInfo, 1},
                    MessageParam{kAsioSelectorSupported, kAsioSupportsTimeCode, 0},
                    MessageParam{kAsioSelectorSupported, 99, 0},
                    MessageParam{kAsioEngineVersion, 0, 2},
                    MessageParam{kAsioResetRequest, 0, 1},
                    MessageParam{kAsioBufferSizeChange, 512, 1},
                    MessageParam{kAsioResyncRequest, 0, 1},
                    MessageParam{kAsioLatenciesChanged, 0, 1},
                    MessageParam{kAsioSupportsTimeInfo, 0, 1},
                    MessageParam{kAsioSupportsTimeCode, 0, 0}, MessageParam{9, 0, 0},
                    MessageParam{0, 0, 0}, MessageParam{-1, 7, 0}),
    [](const testing::TestParamInfo<MessageParam>& info) {
        return "Selector" + std::to_string(info.param.selector < 0 ? 1000 : info.param.selector)
               + "Value" + std::to_string(info.param.value);
    });

void countRequest(void* calls)
{
    static_cast<std::atomic<int>*>(calls)->fetch_add(1);
}

struct RequestParam {
    AsioLong selector;
    DWORD after, every;  // blocks of the run before the first message, between the next ones
    bool handler;
    int requests;
};

class AsioStreamDriverRequest : public testing::TestWithParam<RequestParam> {};

// Each request reaches the owner's handler once and is answered 1; the driver is not
// stopped by it and the stream plays on until its owner brings it up again.
TEST_P(AsioStreamDriverRequest, ReachesTheHandlerOnceAndPlaysOn)
{
    const RequestParam p = GetParam();
    StreamSetup setup;
    setup.set("MessageSelector", static_cast<DWORD>(p.selector));
    setup.set("MessageAfterBlocks", p.after);
    setup.set("MessageEveryBlocks", p.every);
    setup.set("BlockLimit", 6);
    CAsioStream stream(setup.drivers.root());
    std::atomic<int> calls{0};
    if (p.handler)
        stream.setDriverRequestHandler(countRequest, &calls);
    RenderProbe probe;
    ASSERT_EQ(stream.openStream(0, probeRender, &probe), 1);
    ASSERT_TRUE(stream.startStream());
    const auto stats = waitForStat(setup.stats, "answered", 6);
    EXPECT_EQ(stats.at("answered"), 6);
    EXPECT_EQ(stats.at("messages"), p.requests);
    EXPECT_EQ(stats.at("lastMessageAnswer"), 1);
    EXPECT_EQ(stats.at("stops"), 0);
    EXPECT_EQ(stream.driverRequests(), p.requests);
    EXPECT_EQ(calls.load(), p.handler ? p.requests : 0);
}

INSTANTIATE_TEST_SUITE_P(Requests, AsioStreamDriverRequest,
                         testing::Values(RequestParam{kAsioResetRequest, 2, 0, true, 1},
                                         RequestParam{kAsioBufferSizeChange, 2, 0, true, 1},
                                         RequestParam{kAsioResyncRequest, 3, 0, true, 1},
                                         RequestParam{kAsioResetRequest, 0, 2, true, 3},
                                         RequestParam{kAsioResetRequest, 2, 0, false, 1}));

// A rate the driver reports of its own accord is a request to be opened afresh; the rate in
// force and an unknown one (0: clock lost) are not.
TEST(AsioStreamDriverRate, OnlyAnotherKnownRateIsARequest)
{
    StreamSetup setup;
    CAsioStream stream(setup.drivers.root());
    std::atomic<int> calls{0};
    stream.setDriverRequestHandler(countRequest, &calls);
    RenderProbe probe;
    ASSERT_EQ(stream.openStream(0, probeRender, &probe), 1);
    ASSERT_TRUE(stream.changeSampleRate(48000.0f));
    for (const double rate : {48000.0, 48000.2, 0.0, -1.0})
        CAsioStream::sampleRateDidChange(rate);
    EXPECT_EQ(calls.load(), 0);
    CAsioStream::sampleRateDidChange(44100.0);
    EXPECT_EQ(calls.load(), 1);
}

class AsioStreamTwoSwitchers : public testing::TestWithParam<bool> {};

// The card's second thread switches while a block of the first is still being processed:
// that switch is skipped and counted, and every block is rendered and answered once.
TEST_P(AsioStreamTwoSwitchers, SecondSwitchIsSkipped)
{
    StreamSetup setup;
    setup.set("SwitchThreads", 2);
    setup.set("TimeInfo", GetParam());
    setup.set("BlockLimit", 6);
    CAsioStream stream(setup.drivers.root());
    RenderProbe probe;
    ASSERT_EQ(stream.openStream(0, probeRender, &probe), 1);
    ASSERT_TRUE(stream.startStream());
    const auto stats = waitForStat(setup.stats, "answered", 6);
    EXPECT_EQ(stats.at("maxInside"), 2);
    EXPECT_EQ(stats.at("twinSwitches"), 6);
    EXPECT_EQ(stream.skippedSwitches(), 6);
    EXPECT_EQ(probe.calls.load(), 6);
    EXPECT_EQ(stats.at("outputReady"), 6 + 1);
}

INSTANTIATE_TEST_SUITE_P(TimeInfo, AsioStreamTwoSwitchers, testing::Bool());

struct ClosePathParam {
    const char* value;  // card setting, with `number`
    DWORD number;
    const char* steps;  // o open (x: failing), s start, t stop, c close; then destruction
    int starts, stops, creates, disposes;
};

class AsioStreamClosePath : public testing::TestWithParam<ClosePathParam> {};

// The driver sees one stop (only after a start), then one disposeBuffers (only of created
// buffers), then its release, however often the owner stops and closes; a failing open
// leaves the same behind.
TEST_P(AsioStreamClosePath, EachDriverCallHappensOnceInOrder)
{
    const ClosePathParam p = GetParam();
    StreamSetup setup;
    setup.set(p.value, p.number);
    {
        CAsioStream stream(setup.drivers.root());
        RenderProbe probe;
        bool open = false;  // only the first close of an open stream disposes
        for (const char* step = p.steps; *step; ++step) {
            switch (*step) {
            case 'o':
            case 'x':
                open = *step == 'o';
                ASSERT_EQ(stream.openStream(0, probeRender, &probe), open ? 1 : 0);
                EXPECT_EQ(stream.driverLoader().currentDriverIndex(), open ? 0 : -1);
                break;
            case 's':
                ASSERT_TRUE(stream.startStream());
                break;
            case 't':
                EXPECT_TRUE(stream.stopStream());
                break;
            default:
                EXPECT_EQ(stream.closeStream(), std::exchange(open, false));
            }
        }
    }
    const auto stats = readStats(setup.stats);
    EXPECT_EQ(stats.at("starts"), p.starts);
    EXPECT_EQ(stats.at("stops"), p.stops);
    EXPECT_EQ(stats.at("createBuffersCalls"), p.creates);
    EXPECT_EQ(stats.at("disposeBuffersCalls"), p.disposes);
    EXPECT_EQ(stats.at("disposeWhileStarted"), 0);  // stopped before
    EXPECT_EQ(stats.at("released"), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, AsioStreamClosePath,
    testing::Values(ClosePathParam{"BlockLimit", 2, "osc", 1, 1, 1, 1},
                    ClosePathParam{"BlockLimit", 2, "ostcc", 1, 1, 1, 1},
                    ClosePathParam{"BlockLimit", 2, "ott", 0, 0, 1, 1},
                    ClosePathParam{"FailInit", 1, "xc", 0, 0, 0, 0},
                    ClosePathParam{"FailGetBufferSize", 1, "xc", 0, 0, 0, 0},
                    ClosePathParam{"PreferredSize", 0, "xc", 0, 0, 0, 0},
                    ClosePathParam{"FailGetChannels", 1, "xc", 0, 0, 0, 0},
                    ClosePathParam{"Outputs", 0, "xc", 0, 0, 0, 0},
                    ClosePathParam{"FailCreateBuffers", 1, "xc", 0, 0, 1, 0},
                    ClosePathParam{"SampleType", ASIOSTInt24MSB, "xc", 0, 0, 1, 1},
                    ClosePathParam{"SampleType", ASIOSTDSDInt8LSB1, "xc", 0, 0, 1, 1}));

struct RateChangeParam {
    DWORD failSetSampleRate;  // 1: the driver answers an error, 2: success, the rate stays
    float rate;
    double rateAfter;  // changed when it is `rate`
    int setSampleRateCalls;
};

class AsioStreamRateChange : public testing::TestWithParam<RateChangeParam> {};

// A change counts only when the driver then reports the new rate; the stream always holds
// the rate the driver reports.
TEST_P(AsioStreamRateChange, ReportsWhatTheDriverRunsAt)
{
    const RateChangeParam p = GetParam();
    StreamSetup setup;
    setup.set("FailSetSampleRate", p.failSetSampleRate);
    CAsioStream stream(setup.drivers.root());
    RenderProbe probe;
    ASSERT_EQ(stream.openStream(0, probeRender, &probe), 1);
    EXPECT_EQ(stream.changeSampleRate(p.rate), p.rateAfter == p.rate);
    EXPECT_EQ(stream.currentSampleRate(), p.rateAfter);
    EXPECT_TRUE(stream.closeStream());
    EXPECT_EQ(readStats(setup.stats).at("setSampleRateCalls"), p.setSampleRateCalls);
}

INSTANTIATE_TEST_SUITE_P(Drivers, AsioStreamRateChange,
                         testing::Values(RateChangeParam{0, 48000.0f, 48000.0, 1},
                                         RateChangeParam{1, 48000.0f, 44100.0, 1},
                                         RateChangeParam{2, 96000.0f, 44100.0, 1},
                                         RateChangeParam{0, 12345.0f, 44100.0, 0}));

TEST(AsioStreamReopen, ReopenWithAnotherDriverReleasesTheFirst)
{
    StreamSetup setup;
    setup.set("BlockLimit", 2);
    setup.drivers.add("Second");
    const std::string secondStats = tempFilePath("sim-stats", ".txt");
    setup.drivers.setText("Second", "StatsFile", secondStats);
    setup.drivers.setNumber("Second", "DirectProcess", 0);
    setup.drivers.setNumber("Second", "BlockLimit", 4);
    CAsioStream stream(setup.drivers.root());
    ASSERT_EQ(stream.driverCount(), 2);
    RenderProbe first, second;
    ASSERT_EQ(stream.openStream(0, probeRender, &first), 1);
    ASSERT_TRUE(stream.startStream());
    waitForStat(setup.stats, "answered", 2);
    ASSERT_TRUE(stream.stopStream());
    ASSERT_TRUE(stream.closeStream());

    ASSERT_EQ(stream.openStream(1, probeRender, &second), 1);
    EXPECT_EQ(stream.driverLoader().findEntry(0)->driver, nullptr);
    EXPECT_NE(stream.driverLoader().findEntry(1)->driver, nullptr);
    ASSERT_TRUE(stream.startStream());
    const auto stats = waitForStat(secondStats, "answered", 4);
    EXPECT_EQ(stats.at("answered"), 4);  // deferred switches served by the new worker
    EXPECT_EQ(second.calls.load(), 4);
    EXPECT_EQ(first.calls.load(), 2);
    EXPECT_TRUE(stream.closeStream());
    DeleteFileA(secondStats.c_str());
}

}  // namespace
