// The program menu's commands as the user sends them: choosing a program, stepping at both
// ends, plug-ins with no and with many programs; the caption follows on the next paint.
#include "E2eSupport.h"

namespace e2e {
namespace {

constexpr UINT kProgramCommand = 200;
constexpr UINT kPrevious = 990;
constexpr UINT kNext = 991;

class Programs : public E2eTest {
protected:
    void Start(const char* variant, const char* firstCaption = "Zumbrel - Program 0")
    {
        InstallProbe(variant);
        Launch();
        ASSERT_TRUE(CaptionBecomes(firstCaption));
    }
    std::size_t ProgramChanges() const { return Dispatches(kOpSetProgram).size(); }
};

TEST_F(Programs, ChoosingAndSteppingShowTheProgramInTheCaption)
{
    Start("named", "Zumbrel - Piano");  // five programs, the first four named
    Command(kProgramCommand + 2);
    EXPECT_TRUE(CaptionBecomes("Zumbrel - Strings"));
    Command(kNext);
    EXPECT_TRUE(CaptionBecomes("Zumbrel - Organ"));
    Command(kNext);
    EXPECT_TRUE(CaptionBecomes("Zumbrel - Program 4"));
    Command(kPrevious);
    EXPECT_TRUE(CaptionBecomes("Zumbrel - Organ"));
    const std::vector<ProbeRecord> changes = Dispatches(kOpSetProgram);
    ASSERT_EQ(changes.size(), 5u);
    EXPECT_EQ(changes[1].number("value"), 2);
    EXPECT_EQ(changes[2].number("value"), 3);
    EXPECT_EQ(changes[3].number("value"), 4);
    EXPECT_EQ(changes[4].number("value"), 3);
    EXPECT_EQ(CloseProgram(), 0u);
}

TEST_F(Programs, SteppingAtBothEndsDoesNothing)
{
    Start("default");
    Command(kPrevious);
    EXPECT_EQ(ProgramChanges(), 1u);
    Command(kProgramCommand + 4);
    ASSERT_TRUE(CaptionBecomes("Zumbrel - Program 4"));
    Command(kNext);
    EXPECT_EQ(ProgramChanges(), 2u);
    EXPECT_EQ(uiharness::WindowText(Frame()), "Zumbrel - Program 4");
    // A command beyond the plug-in's programs selects nothing.
    Command(kProgramCommand + 5);
    EXPECT_EQ(ProgramChanges(), 2u);
    EXPECT_EQ(CloseProgram(), 0u);
}

TEST_F(Programs, PluginWithoutProgramsStillNamesProgramZero)
{
    Start("programs0");
    Command(kNext);
    Command(kPrevious);
    Command(kProgramCommand);
    EXPECT_EQ(ProgramChanges(), 1u);
    EXPECT_EQ(CloseProgram(), 0u);
}

TEST_F(Programs, NextStepsBeyondTheMenusSelectableProgramsUpToTheLast)
{
    Start("programs128");
    Command(kProgramCommand + 79);
    ASSERT_TRUE(CaptionBecomes("Zumbrel - Program 79"));
    for (int i = 80; i <= 127; ++i) {
        Command(kNext);
    }
    EXPECT_TRUE(CaptionBecomes("Zumbrel - Program 127"));
    Command(kNext);
    EXPECT_EQ(Dispatches(kOpSetProgram).back().number("value"), 127);
    EXPECT_EQ(ProgramChanges(), 2u + 48u);
    EXPECT_EQ(CloseProgram(), 0u);
}

} // namespace
} // namespace e2e
