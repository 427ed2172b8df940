// Start-up and shutdown of the whole program: the frame around the editor, the driver list in
// the settings file, a missing instrument, the working directory, a second initial update and
// a clean exit.
#include "E2eSupport.h"

#include "resource.h"

#include <windows.h>

#include <algorithm>
#include <fstream>

namespace e2e {
namespace {

constexpr UINT kFileNew = 0xE100;

SIZE OuterSize(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

class Startup : public E2eTest {};

TEST_F(Startup, FrameIsSizedAroundTheEditorAndCentred)
{
    InstallProbe("default");
    Launch();
    ASSERT_TRUE(CaptionBecomes("Zumbrel - Program 0"));
    // The view between the menu bar and the status bar is exactly the editor's 400 x 300.
    RECT view{};
    GetClientRect(GetDlgItem(Frame(), IDW_PANE_FIRST), &view);
    EXPECT_EQ(view.right, 400);
    EXPECT_EQ(view.bottom, 300);
    RECT frame{};
    GetWindowRect(Frame(), &frame);
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR((frame.left + frame.right) / 2.0, (work.left + work.right) / 2.0, 1.0);
    EXPECT_NEAR((frame.top + frame.bottom) / 2.0, (work.top + work.bottom) / 2.0, 1.0);
    // The plug-in was opened in the fixed order, then its editor inside the view.
    std::vector<long long> opcodes = Log().Opcodes();
    const std::vector<long long> expected{kOpMainsChanged, kOpOpen, kOpSetBlockSize,
                                          kOpSetSampleRate, kOpMainsChanged, kOpEditOpen,
                                          kOpEditGetRect};
    ASSERT_GE(opcodes.size(), expected.size());
    EXPECT_EQ(std::vector<long long>(opcodes.begin(), opcodes.begin() + 7), expected);
    EXPECT_EQ(CloseProgram(), 0u);
}

// Without an editor the frame takes the generic editor's size: never a frame made from an
// unset rectangle.
TEST_F(Startup, PluginWithoutEditorGetsAFrameOfSensibleSize)
{
    InstallProbe("no_editor");
    Launch();
    ASSERT_TRUE(CaptionBecomes("Zumbrel - Program 0"));
    const SIZE size = OuterSize(Frame());
    EXPECT_GT(size.cx, 200);
    EXPECT_GT(size.cy, 100);
    EXPECT_LT(size.cx, 1000);
    EXPECT_LT(size.cy, 700);
    EXPECT_EQ(CloseProgram(), 0u);
}

class DriverList : public E2eTest, public testing::WithParamInterface<int> {};

TEST_P(DriverList, SettingsFileListsNoneThenEveryDriver)
{
    const int added = GetParam();
    std::vector<std::string> names;
    for (int i = 0; i < added; ++i) {
        names.push_back(AddCard("E2E List"));
    }
    InstallProbe("default");
    Launch();
    ASSERT_TRUE(CaptionBecomes("Zumbrel - Program 0"));
    const int total = DriversBefore() + added;
    ASSERT_TRUE(uiharness::WaitUntil(
        [&] { return ReadSetting("list", "num") == std::to_string(total + 1); }, kWaitMs))
        << ReadSetting("list", "num");
    EXPECT_EQ(ReadSetting("list", "0"), "none");
    std::vector<std::string> listed;
    for (int i = 1; i <= total; ++i) {
        listed.push_back(ReadSetting("list", std::to_string(i).c_str()));
    }
    for (const std::string& name : names) {
        EXPECT_NE(std::find(listed.begin(), listed.end(), name), listed.end()) << name;
    }
    EXPECT_EQ(ReadSetting("list", std::to_string(total + 1).c_str()), "<missing>");
    EXPECT_EQ(CloseProgram(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Installed, DriverList, testing::Values(0, 1, 3));

TEST_F(Startup, MissingLibraryIsReportedAndEndsTheProgramWithoutTouchingTheSettings)
{
    const std::string before = "[device]\r\nasio=1\r\n";
    std::ofstream(SettingsPath(), std::ios::binary) << before;
    Launch(false);
    HWND box = WaitForMessageBox("Can not find VSTi");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(uiharness::WindowText(box), "Zumbrel");
    uiharness::ClickButton(box, IDOK);
    // Nothing else appears after the message: no frame, not even for a moment.
    bool frameShown = false;
    EXPECT_TRUE(uiharness::WaitUntil(
        [&] {
            frameShown |= !uiharness::TopLevelWindows(Program().ProcessId(), kFrameClass).empty();
            return !Program().IsRunning();
        },
        kWaitMs));
    EXPECT_FALSE(frameShown);
    EXPECT_EQ(Program().WaitForExit(kWaitMs), 0u);
    EXPECT_EQ(ReadFileText(SettingsPath()), before);
    EXPECT_TRUE(Log().Records().empty());
}

TEST_F(Startup, UsesTheWorkingDirectoryForLibraryAndSettings)
{
    InstallProbe("default");
    Launch();
    ASSERT_TRUE(CaptionBecomes("Zumbrel - Program 0"));
    EXPECT_TRUE(uiharness::WaitUntil([&] { return FileExists(SettingsPath()); }, kWaitMs));
    EXPECT_EQ(CloseProgram(), 0u);
}

// New gives the view its initial update again: the running instrument is kept, not reloaded,
// and the caption comes back.
TEST_F(Startup, SecondInitialUpdateKeepsTheInstrument)
{
    AddCard("E2E Renew");
    WriteSetting("device", "asio", std::to_string(DriversBefore() + 1).c_str());
    InstallProbe("default");
    Launch();
    ASSERT_TRUE(CaptionBecomes("Zumbrel - Program 0"));
    const auto renders = [&] { return Log().Records("process").size(); };
    ASSERT_TRUE(uiharness::WaitUntil([&] { return renders() > 0; }, kWaitMs));
    Command(kFileNew);
    ASSERT_TRUE(CaptionBecomes("Zumbrel - Program 0"));
    const std::size_t before = renders();
    EXPECT_TRUE(uiharness::WaitUntil([&] { return renders() > before; }, kWaitMs))
        << "the stream stopped rendering";
    EXPECT_EQ(Dispatches(kOpOpen).size(), 1u);
    EXPECT_EQ(Dispatches(kOpSetProgram).size(), 1u);
    EXPECT_EQ(Dispatches(kOpMainsChanged).size(), 2u);
    EXPECT_EQ(CloseProgram(), 0u);
    EXPECT_EQ(Dispatches(kOpClose).size(), 1u);
}

// Start-up does not grow with the program count: only the listed programs' names are asked
// for, and stepping reaches the programs beyond the list.
TEST_F(Startup, HundredThousandProgramsAskOnlyForTheListedNames)
{
    constexpr long long kOpGetProgramNameIndexed = 29;
    constexpr UINT kNextProgram = 991;
    constexpr int kListed = 128;
    InstallProbe("programs100000");
    Launch();
    ASSERT_TRUE(CaptionBecomes("Zumbrel - Program 0"));
    EXPECT_EQ(Dispatches(kOpGetProgramNameIndexed).size(), static_cast<std::size_t>(kListed));
    for (int i = 0; i < kListed + 2; ++i)
        Command(kNextProgram);
    EXPECT_TRUE(CaptionBecomes("Zumbrel - Program 130"));
    EXPECT_EQ(CloseProgram(), 0u);
}

} // namespace
} // namespace e2e
