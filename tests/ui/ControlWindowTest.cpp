// The two controls as windows under a plain parent: what they paint, how they size themselves,
// what the parent hears, and how they take the mouse.
#include "WindowProbe.h"
#include "resource.h"
#include "ui/DigitDisplay.h"
#include "ui/DropDownSelector.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using uitest::Picture;

constexpr int kCellWidth = 10;
constexpr int kCellHeight = 15;
constexpr int kBlankCell = 0;
constexpr int kMinusCell = 11;
int DigitCell(int d) { return d + 1; }

struct Notification {
    WORD id;
    WORD code;
    LPARAM lParam;
};

std::vector<Notification> g_heard;

LRESULT CALLBACK ParentProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_COMMAND) {
        g_heard.push_back({LOWORD(wParam), HIWORD(wParam), lParam});
        return 0;
    }
    return DefWindowProcA(window, msg, wParam, lParam);
}

class Controls : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSA wc{};
        wc.lpfnWndProc = &ParentProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
        wc.lpszClassName = "ZumbrelControlParent";
        RegisterClassA(&wc);
        parent = CreateWindowExA(0, wc.lpszClassName, "controls", WS_POPUP | WS_VISIBLE, 50, 50,
                                 400, 200, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(parent, nullptr);
        g_heard.clear();
    }
    void TearDown() override { DestroyWindow(parent); }

    static SIZE SizeOf(HWND window)
    {
        RECT r{};
        GetWindowRect(window, &r);
        return SIZE{r.right - r.left, r.bottom - r.top};
    }
    static void Flush()
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }

    HWND parent = nullptr;
};

// ---- digit display ----

class Digits : public Controls {
protected:
    void SetUp() override
    {
        Controls::SetUp();
        ASSERT_TRUE(display.Create(RECT{100, 90, 999, 999}, parent, IDC_TEMPO_DISPLAY));
        window = display.GetSafeHwnd();
        display.SetDigitCount(3);
        display.SetMaximum(999);
        display.SetMinimum(-999);
        UpdateWindow(window);
        g_heard.clear();
    }
    // The strip cell each of the three shown cells was copied from, or -1.
    std::vector<int> ShownCells() const
    {
        const Picture shown = uitest::PrintClient(window);
        std::vector<int> cells;
        for (int k = 0; k < 3; ++k) {
            int found = -1;
            for (int cell = 0; cell < CDigitDisplay::kStripCells && found < 0; ++cell) {
                if (uitest::SameBlock(shown, k * kCellWidth, 0, strip, cell * kCellWidth, 0,
                                      kCellWidth, kCellHeight))
                    found = cell;
            }
            cells.push_back(found);
        }
        return cells;
    }

    CDigitDisplay display{0, 0, 16};
    HWND window = nullptr;
    Picture strip = uitest::LoadBitmapPicture(IDB_DIGITS);
};

TEST_F(Digits, TheFirstPaintSizesTheWindowToItsCells)
{
    const SIZE size = SizeOf(window);
    EXPECT_EQ(size.cx, 3 * kCellWidth);
    EXPECT_EQ(size.cy, kCellHeight);
    RECT r{};
    GetWindowRect(window, &r);
    POINT at{r.left, r.top};
    ScreenToClient(parent, &at);
    EXPECT_EQ(at.x, 100);
    EXPECT_EQ(at.y, 90);
}

TEST_F(Digits, PaintsStripCellsWithTheUnitsAtTheRight)
{
    ASSERT_EQ(strip.width, 120);
    EXPECT_EQ(ShownCells(), (std::vector<int>{kBlankCell, kBlankCell, kBlankCell}))
        << "nothing but blank cells before the first value";
    const struct { int value; std::vector<int> cells; } cases[] = {
        {0, {kBlankCell, kBlankCell, DigitCell(0)}},
        {140, {DigitCell(1), DigitCell(4), DigitCell(0)}},
        {-5, {kBlankCell, kMinusCell, DigitCell(5)}},
        {-45, {kMinusCell, DigitCell(4), DigitCell(5)}},
    };
    for (const auto& c : cases) {
        display.SetValue(c.value);
        EXPECT_EQ(ShownCells(), c.cells) << c.value;
    }
}

TEST_F(Digits, EveryValueRequestNotifiesTheParentWithTheControlsWindow)
{
    display.SetValue(42);
    display.SetValue(5000); // refused
    ASSERT_EQ(g_heard.size(), 2u);
    for (const Notification& n : g_heard) {
        EXPECT_EQ(n.id, IDC_TEMPO_DISPLAY);
        EXPECT_EQ(n.code, 0);
        EXPECT_EQ(n.lParam, reinterpret_cast<LPARAM>(window));
    }
    EXPECT_EQ(display.GetValue(), 42);
    EXPECT_EQ(ShownCells(), (std::vector<int>{kBlankCell, DigitCell(4), DigitCell(2)}));
}

TEST_F(Digits, DraggingStepsOncePerMoveWithExactlyTheLeftButton)
{
    display.SetMinimum(1);
    display.SetValue(120);
    display.m_bLocked = false;
    g_heard.clear();

    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 100));
    EXPECT_EQ(GetCapture(), window) << "the press captures the mouse";
    for (int y = 99; y >= 80; --y)
        SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5, y));
    EXPECT_EQ(display.GetValue(), 140);
    EXPECT_EQ(g_heard.size(), 40u) << "one from the value request and one per move";

    SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, MAKELPARAM(5, 10));
    SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON | MK_CONTROL, MAKELPARAM(5, 0));
    SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON | MK_RBUTTON, MAKELPARAM(5, -10));
    EXPECT_EQ(display.GetValue(), 140);

    SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5, 200)); // far down: one step
    EXPECT_EQ(display.GetValue(), 139);
    SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(5, 200));
    EXPECT_NE(GetCapture(), window) << "the release gives the mouse back";

    display.m_bLocked = true;
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 100));
    SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5, 50));
    SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(5, 50));
    EXPECT_EQ(display.GetValue(), 139);
}

TEST_F(Controls, ADigitStripThatCannotBeLoadedDrawsNothing)
{
    CDigitDisplay display(0, 0, 999);
    EXPECT_EQ(display.AttachBitmap(GetModuleHandleA(nullptr), 4242, 12), 0);
    ASSERT_TRUE(display.Create(RECT{10, 10, 60, 40}, parent, 900));
    display.SetDigitCount(3);
    display.SetValue(7);
    UpdateWindow(display.GetSafeHwnd());
    EXPECT_EQ(SizeOf(display.GetSafeHwnd()).cx, 0);

    // A strip with no cells: no division by zero, nothing drawn.
    CDigitDisplay noCells(0, 0, 999);
    EXPECT_GT(noCells.AttachBitmap(GetModuleHandleA(nullptr), IDB_DIGITS, 0), 0);
    ASSERT_TRUE(noCells.Create(RECT{10, 50, 60, 80}, parent, 901));
    noCells.SetValue(7);
    UpdateWindow(noCells.GetSafeHwnd());
    EXPECT_EQ(SizeOf(noCells.GetSafeHwnd()).cx, 0);
}

// ---- drop-down selector ----

class Selector : public Controls {
protected:
    void SetUp() override
    {
        Controls::SetUp();
        ASSERT_TRUE(selector.Create(RECT{100, 42, 200, 999}, parent, IDC_RATE_SELECTOR));
        window = selector.GetSafeHwnd();
        selector.SetItems(kRates, 2);
        UpdateWindow(window);
        g_heard.clear();
    }
    Picture Shown() const { return uitest::PrintClient(window); }

    const char* const kRates[2] = {"44100HZ", "48000HZ"};
    CDropDownSelector selector;
    HWND window = nullptr;
    Picture arrows = uitest::LoadBitmapPicture(IDB_ARROWS);
};

TEST_F(Selector, TheFirstPaintMakesItTwoPixelsWiderAndSeventeenHigh)
{
    const SIZE size = SizeOf(window);
    EXPECT_EQ(size.cx, 102);
    EXPECT_EQ(size.cy, 17);
}

TEST_F(Selector, NoSelectionShowsBlackFieldRaisedFrameAndDimArrow)
{
    const Picture shown = Shown();
    const unsigned light = uitest::Rgb(CDropDownSelector::kLightEdge);
    const unsigned dark = uitest::Rgb(CDropDownSelector::kDarkEdge);
    ASSERT_EQ(shown.width, 102);
    EXPECT_EQ(shown.At(0, 0), light);
    EXPECT_EQ(shown.At(50, 0), light);
    EXPECT_EQ(shown.At(101, 0), light) << "the top edge runs to the right end";
    EXPECT_EQ(shown.At(0, 8), light);
    EXPECT_EQ(shown.At(0, 16), dark) << "the dark bottom line starts at the left edge";
    EXPECT_EQ(shown.At(50, 16), dark);
    EXPECT_EQ(shown.At(101, 8), dark);
    EXPECT_EQ(shown.At(101, 16), dark);
    for (int x = 1; x < 90; ++x)
        for (int y = 1; y < 16; ++y)
            ASSERT_EQ(shown.At(x, y), 0u) << x << "," << y;
    EXPECT_TRUE(uitest::SameBlock(shown, 102 - 11 - 1, 1, arrows, 0, 0, 11, 15))
        << "the dim arrow at the right end";
}

TEST_F(Selector, TheSelectedTextShowsInTheTextColour)
{
    selector.SetSelection(1);
    const Picture shown = Shown();
    const unsigned text = uitest::Rgb(CDropDownSelector::kTextColour);
    int lit = 0;
    for (int x = 5; x < 90; ++x)
        for (int y = 1; y < 16; ++y)
            lit += shown.At(x, y) == text;
    EXPECT_GT(lit, 20);
    EXPECT_EQ(shown.At(1, 8), 0u) << "left of the text stays black";
}

TEST_F(Selector, OnlyIndicesWithinTheListSelectAndNotify)
{
    selector.SetSelection(2);
    selector.SetSelection(-1);
    EXPECT_TRUE(g_heard.empty());
    EXPECT_EQ(selector.GetSelection(), -1);
    selector.SetSelection(1);
    selector.SetSelection(1);
    ASSERT_EQ(g_heard.size(), 2u);
    EXPECT_EQ(g_heard[0].id, IDC_RATE_SELECTOR);
    EXPECT_EQ(g_heard[0].code, 0);
    EXPECT_EQ(g_heard[0].lParam, 0);
}

TEST_F(Selector, AShorterListNeverLeavesTheSelectionPastItsEnd)
{
    const char* drivers[3] = {"none", "A", "B"};
    selector.SetItems(drivers, 3);
    selector.SetSelection(2);
    selector.SetItems(kRates, 2);
    EXPECT_EQ(selector.GetSelection(), -1);
    const Picture shown = Shown();
    EXPECT_EQ(shown.At(20, 8), 0u) << "no text without a selection";
}

TEST_F(Selector, HoverShowsTheLighterArrowAndLeavingRestoresTheDimOne)
{
    SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(20, 5));
    EXPECT_EQ(GetCapture(), window);
    EXPECT_TRUE(uitest::SameBlock(Shown(), 90, 1, arrows, 11, 0, 11, 15));
    SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(30, 6)); // still inside
    EXPECT_EQ(GetCapture(), window);
    SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(-3, 6));
    EXPECT_NE(GetCapture(), window);
    EXPECT_TRUE(uitest::SameBlock(Shown(), 90, 1, arrows, 0, 0, 11, 15));

    SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(20, 5));
    SetCapture(parent); // someone else takes the mouse
    EXPECT_TRUE(uitest::SameBlock(Shown(), 90, 1, arrows, 0, 0, 11, 15));
    ReleaseCapture();
}

TEST_F(Selector, TheArrowOpensAPopupUnderTheControlWithTheCurrentEntryChecked)
{
    selector.SetSelection(1);
    g_heard.clear();
    const uitest::PopupSeen seen = uitest::PressAndInspectPopup(window, 91, 8);
    ASSERT_TRUE(seen.opened);
    EXPECT_EQ(seen.texts, (std::vector<std::string>{"44100HZ", "48000HZ"}));
    EXPECT_EQ(seen.ids, (std::vector<UINT>{300, 301}));
    EXPECT_EQ(seen.checked, 1);
    EXPECT_EQ(seen.checkedCount, 1);
    RECT control{};
    GetWindowRect(window, &control);
    EXPECT_EQ(seen.screenRect.left, control.left);
    EXPECT_EQ(seen.screenRect.top, control.top + 17);
    Flush();
    EXPECT_TRUE(g_heard.empty()) << "a menu closed without a choice selects nothing";
    EXPECT_EQ(selector.GetSelection(), 1);
}

TEST_F(Selector, ClicksLeftOfTheArrowAndDoubleClicksOpenNothing)
{
    EXPECT_FALSE(uitest::PressAndInspectPopup(window, 90, 8).opened)
        << "the arrow image's first column does not count";
    EXPECT_FALSE(uitest::PressAndInspectPopup(window, 10, 8).opened);
    SendMessageA(window, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(95, 8));
    EXPECT_TRUE(g_heard.empty()) << "the button sends no click of its own";
}

TEST_F(Selector, AChosenEntrySelectsAndNotifiesEvenWhenAlreadyChecked)
{
    SendMessageA(window, WM_COMMAND, 301, 0);
    EXPECT_EQ(selector.GetSelection(), 1);
    SendMessageA(window, WM_COMMAND, 301, 0);
    ASSERT_EQ(g_heard.size(), 2u);
    EXPECT_EQ(g_heard[1].id, IDC_RATE_SELECTOR);
    EXPECT_EQ(g_heard[1].lParam, 0);
    SendMessageA(window, WM_COMMAND, 305, 0); // beyond the list
    EXPECT_EQ(selector.GetSelection(), -1);
    EXPECT_EQ(Shown().At(20, 8), 0u);
}

TEST_F(Controls, ASelectorWithoutItsArrowStripDrawsNothing)
{
    CDropDownSelector selector;
    EXPECT_EQ(selector.AttachBitmap(GetModuleHandleA(nullptr), 4242), 0);
    ASSERT_TRUE(selector.Create(RECT{10, 10, 110, 40}, parent, 902));
    const char* one[1] = {"x"};
    selector.SetItems(one, 1);
    selector.SetSelection(0);
    UpdateWindow(selector.GetSafeHwnd());
    EXPECT_FALSE(uitest::PressAndInspectPopup(selector.GetSafeHwnd(), 200, 5).opened);
    const Picture shown = uitest::PrintClient(selector.GetSafeHwnd());
    EXPECT_EQ(shown.At(5, 5), uitest::kUnpainted);
}

} // namespace
