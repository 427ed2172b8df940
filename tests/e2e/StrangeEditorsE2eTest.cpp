// Editors that behave in ways the host must follow: one that resizes itself, asking from its
// window's thread or from the audio thread, gets a frame that fits it exactly, never larger
// than the work area; one that faults while drawing is replaced.
#include "E2eSupport.h"

#include "resource.h"

#include <fstream>

namespace e2e {
namespace {

class StrangeEditor : public E2eTest {
protected:
    void StartResizing()
    {
        m_sizeFile = FileIn("size.txt");
        SetEnvironmentVariableA("ZUMBREL_PROBE_SIZE_FILE", m_sizeFile.c_str());
        AddCard("E2E Editor");
        InstallProbe("default");
        WriteSetting("device", "asio", std::to_string(DriversBefore() + 1).c_str());
        Launch();
        SetEnvironmentVariableA("ZUMBREL_PROBE_SIZE_FILE", nullptr);
    }
    void TearDown() override
    {
        for (const char* variable : {"ZUMBREL_PROBE_SIZE_FILE", "ZUMBREL_PROBE_FAULT", "ZUMBREL_PROBE_FAULT_IN"})
            SetEnvironmentVariableA(variable, nullptr);
        E2eTest::TearDown();
    }
    // The editor asks for `width` x `height` from `thread` ("idle" or "process").
    void Ask(int width, int height, const char* thread) const
    {
        std::ofstream(m_sizeFile) << width << ' ' << height << ' ' << thread << '\n';
    }
    SIZE View() const
    {
        RECT view{};
        GetClientRect(GetDlgItem(Frame(), IDW_PANE_FIRST), &view);
        return {view.right, view.bottom};
    }
    bool ViewBecomes(LONG width, LONG height) const
    {
        return uiharness::WaitUntil(
            [&] { return View().cx == width && View().cy == height; }, kWaitMs);
    }
    std::string m_sizeFile;
};

TEST_F(StrangeEditor, FrameFollowsAnEditorThatResizesItself)
{
    StartResizing();
    ASSERT_TRUE(CaptionBecomes("Zumbrel - Program 0"));
    Ask(640, 480, "idle");
    EXPECT_TRUE(ViewBecomes(640, 480)) << View().cx << " x " << View().cy;
    Ask(320, 200, "process");
    EXPECT_TRUE(ViewBecomes(320, 200)) << View().cx << " x " << View().cy;

    // Larger than the screen: the frame takes the work area and no more.
    Ask(6000, 5000, "idle");
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const auto fills = [&] {
        RECT frame{};
        GetWindowRect(Frame(), &frame);
        return frame.left >= work.left && frame.top >= work.top && frame.right <= work.right &&
               frame.bottom <= work.bottom && frame.right - frame.left == work.right - work.left;
    };
    EXPECT_TRUE(uiharness::WaitUntil(fills, kWaitMs));
    // Sizes that are no size are refused and change nothing.
    Ask(-5, 300, "idle");
    ASSERT_TRUE(WaitForRecord(
        [&](const std::vector<ProbeRecord>&) { return Log().Records("size").size() == 4; }));
    Ask(320, 200, "idle");
    EXPECT_TRUE(ViewBecomes(320, 200));
    EXPECT_EQ(CloseProgram(), 0u);

    const std::vector<ProbeRecord> asked = Log().Records("size");
    ASSERT_EQ(asked.size(), 5u);
    for (const ProbeRecord& request : asked) {
        EXPECT_EQ(request.number("cando"), 1);
        EXPECT_EQ(request.number("answer"), request.number("width") > 0 ? 1 : 0);
    }
}

// An editor whose paint handler faults is found, closed and replaced by the generic editor,
// with one message; the sound and the processor figure go on.
TEST_F(StrangeEditor, AnEditorThatFaultsWhileDrawingIsReplaced)
{
    SetEnvironmentVariableA("ZUMBREL_PROBE_FAULT", "access");
    SetEnvironmentVariableA("ZUMBREL_PROBE_FAULT_IN", "paint");
    AddCard("E2E Painter");
    InstallProbe("default");
    WriteSetting("device", "asio", std::to_string(DriversBefore() + 1).c_str());
    Launch(false);
    SetEnvironmentVariableA("ZUMBREL_PROBE_FAULT", nullptr);
    SetEnvironmentVariableA("ZUMBREL_PROBE_FAULT_IN", nullptr);
    HWND box = WaitForMessageBox("The instrument's editor stopped working while drawing", true);
    ASSERT_NE(box, nullptr);
    EXPECT_GT(Log().Records("paint").size(), 100u);
    uiharness::ClickButton(box, IDOK);
    WaitForFrame();
    EXPECT_NE(uiharness::FindDescendant(Frame(), "msctls_trackbar32"), nullptr) << "no generic editor";
    const std::size_t blocks = Log().Records("process").size();
    EXPECT_TRUE(WaitForRecord(
        [&](const std::vector<ProbeRecord>&) { return Log().Records("process").size() > blocks + 20; }));
    const uiharness::CRemoteStatusBar bar(Program().Process(), GetDlgItem(Frame(), IDW_STATUS_BAR));
    EXPECT_TRUE(uiharness::WaitUntil([&] { return bar.PaneText(1).rfind("CPU:", 0) == 0; }, kWaitMs));
    const std::size_t paints = Log().Records("paint").size();
    Sleep(300);
    EXPECT_EQ(Log().Records("paint").size(), paints) << "the broken editor still paints";
    EXPECT_FALSE(AnyMessageBox());
    EXPECT_EQ(CloseProgram(), 0u);
}

}  // namespace
}  // namespace e2e
