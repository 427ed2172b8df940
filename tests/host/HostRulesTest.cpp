// The instrument view's portable rules: library and bank paths, rate codes, message split,
// title and program stepping.
#include "host/HostRules.h"
#include "host/PaintStormWatch.h"
#include "host/ReopenLimit.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

TEST(StateFiles, BankBesideTheSettingsAndProgramByExtension)
{
    EXPECT_EQ(host::AutosaveBankPath("C:\\run\\", "Z:\\a.b\\Piano.EXE"), "C:\\run\\Piano.fxb");
    for (const char* name : {"Strings.fxp", "C:\\A\\STRINGS.FXP", ".fxp"})
        EXPECT_TRUE(host::IsProgramFileName(name)) << name;
    for (const char* name : {"Strings.fxb", "Strings.fxp.bak", "fxp", "", "C:\\x.fxp\\song"})
        EXPECT_FALSE(host::IsProgramFileName(name)) << name;
}

TEST(TextField, EditAndRichEditControlsAreTextFieldsEditorsAreNot)
{
    for (const char* name : {"Edit", "EDIT", "edit", "RichEdit", "RichEdit20A", "RICHEDIT50W"})
        EXPECT_TRUE(host::IsTextFieldClass(name)) << name;
    for (const char* name : {"PluginEditor", "JUCE_Editor_1", "VSTGUI Editor", "Editor", "",
                             "ZumbrelEditEdit", "Static", "REdit"})
        EXPECT_FALSE(host::IsTextFieldClass(name)) << name;
}

TEST(PaintStorm, OnlyAStormWithinOneSecondCounts)
{
    host::CPaintStormWatch busy;
    for (int i = 1; i < host::CPaintStormWatch::kStormPaints; ++i)
        ASSERT_FALSE(busy.CountUnvalidated(5000 + i)) << i;
    EXPECT_TRUE(busy.CountUnvalidated(5999));
    // As many paints spread over more than a second: an editor that draws a lot, no storm.
    host::CPaintStormWatch drawing;
    for (int i = 0; i < 3 * host::CPaintStormWatch::kStormPaints; ++i)
        ASSERT_FALSE(drawing.CountUnvalidated(static_cast<std::uint64_t>(i) * 3)) << i;
}

TEST(SampleRateCode, KnownCodesAskForTheirRatesOthersForNone)
{
    EXPECT_EQ(host::SampleRateForCode(0), 44100);
    EXPECT_EQ(host::SampleRateForCode(1), 48000);
    EXPECT_EQ(host::SampleRateForCode(2), 96000);
    EXPECT_EQ(host::SampleRateForCode(3), 0);
    EXPECT_EQ(host::SampleRateForCode(5), 0);
    EXPECT_EQ(host::SampleRateForCode(-1), 0);
    // And back: a rate without a code is stored as 44100's.
    const std::pair<double, int> rates[] = {{44100.0, 0}, {48000.0, 1}, {96000.0, 2},
                                            {88200.0, 0}, {0.0, 0}, {47999.5, 0}};
    for (const auto& [rate, code] : rates)
        EXPECT_EQ(host::CodeForSampleRate(rate), code) << rate;
}

TEST(DeviceLatency, NameRatePeriodAndLatencyWithUnknownFiguresLeftOut)
{
    EXPECT_EQ(host::DeviceLatencyText("Speakers", 48000.0, 0.01, 0.0301),
              "Speakers: 48000 Hz, 10.0 ms period, 30.1 ms output latency");
    EXPECT_EQ(host::DeviceLatencyText("Card", 44100.0, 256 / 44100.0, 0.0),
              "Card: 44100 Hz, 5.8 ms period");
    EXPECT_EQ(host::DeviceLatencyText("Card", 96000.0, 0.0, 0.002), "Card: 96000 Hz, 2.0 ms output latency");
}

TEST(ShortMessageSplit, StatusAndDataBytesComeFromTheLowThreeBytes)
{
    const host::ShortMessage note = host::SplitShortMessage(0x00403C90u);
    EXPECT_EQ(note.status, 0x90);
    EXPECT_EQ(note.data1, 60);
    EXPECT_EQ(note.data2, 64);
    const host::ShortMessage topByte = host::SplitShortMessage(0xFF7F01B3u);
    EXPECT_EQ(topByte.status, 0xB3);
    EXPECT_EQ(topByte.data1, 0x01);
    EXPECT_EQ(topByte.data2, 0x7F);
}

TEST(ProgramTitle, IsTheApplicationNameThenTheProgramsName)
{
    EXPECT_EQ(host::ProgramTitle("Piano"), "Zumbrel - Piano");
    EXPECT_EQ(host::ProgramTitle(""), "Zumbrel - ");
    EXPECT_EQ(host::ProgramTitle(nullptr), "Zumbrel - ");
}

TEST(ProgramStep, StopsAtBothEnds)
{
    EXPECT_EQ(host::PreviousProgram(0), -1);
    EXPECT_EQ(host::PreviousProgram(-3), -1);
    EXPECT_EQ(host::PreviousProgram(5), 4);
    EXPECT_EQ(host::NextProgram(5, 128), 6);
    EXPECT_EQ(host::NextProgram(126, 128), 127);
    EXPECT_EQ(host::NextProgram(127, 128), -1);
    EXPECT_EQ(host::NextProgram(0, 1), -1);
    EXPECT_EQ(host::NextProgram(0, 0), -1);
}

} // namespace

// A driver that keeps asking to be opened afresh gets five re-opens in ten seconds, then
// none until the oldest falls out of the window; the clock may wrap meanwhile.
TEST(ReopenLimit, FiveInTenSecondsThenNoneUntilTheOldestIsOld)
{
    struct Step {
        std::uint32_t atMs;
        bool allowed;
    };
    const std::uint32_t start = 0xFFFFF000u;  // wraps 4 s in
    const Step steps[] = {{0, true},     {100, true},   {200, true},  {300, true},
                          {400, true},   {500, false},  {9999, false}, {10000, true},
                          {10050, false}, {10100, true}, {30000, true}};
    host::CReopenLimit limit;
    for (const Step& step : steps)
        EXPECT_EQ(limit.Allow(start + step.atMs), step.allowed) << step.atMs;
    limit.Reset();
    for (int i = 0; i < host::CReopenLimit::kReopens; ++i)
        EXPECT_TRUE(limit.Allow(start + 30001));
}

TEST(MorePrograms, TheLastItemCountsWhatTheSteppingReaches)
{
    EXPECT_EQ(host::MoreProgramsText(1), "1 more program: << and >> reach it");
    EXPECT_EQ(host::MoreProgramsText(99872), "99872 more programs: << and >> reach them");
}
