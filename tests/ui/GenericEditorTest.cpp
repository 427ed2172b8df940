// The generic editor as a window under a plain parent, over a fake instrument: what its rows
// show, what moving a slider does, refreshing, sizing, scrolling and the Tab key.
#include "ui/GenericEditor.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <map>

namespace {

struct FakeInstrument : IParameterAccess {
    explicit FakeInstrument(int count) : values(count, 0.5f), names(count), labels(count, "dB")
    {
        for (int i = 0; i < count; ++i)
            names[i] = "P" + std::to_string(i);
    }
    int Count() override { return static_cast<int>(values.size()); }
    std::string Name(int i) override { return ++nameReads, names[i]; }
    std::string Display(int i) override
    {
        char text[32];
        std::snprintf(text, sizeof text, "%.3f", values[i]);
        return text;
    }
    std::string Label(int i) override { return labels[i]; }
    float Value(int i) override { return values[i]; }
    void SetValue(int i, float v) override { values[i] = v, set.emplace_back(i, v); }
    std::string InstrumentName() override { return instrument; }

    std::vector<float> values;
    std::vector<std::string> names, labels;
    std::string instrument = "Fake";
    std::vector<std::pair<int, float>> set;
    int nameReads = 0;
};

std::string Text(HWND window)
{
    char text[512] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}
int Position(HWND slider) { return static_cast<int>(SendMessageA(slider, TBM_GETPOS, 0, 0)); }

// Counts the texts and slider positions set on each window, as a measure of what repaints.
std::map<HWND, int> g_changes;
LRESULT CALLBACK CountChanges(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && (sent->message == WM_SETTEXT || sent->message == TBM_SETPOS))
        ++g_changes[sent->hwnd];
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

struct Editor : ::testing::Test {
    void Open(FakeInstrument& instrument)
    {
        parent = CreateWindowExA(0, WC_STATICA, "", WS_POPUP | WS_VISIBLE, 40, 40, 600, 600,
                                 nullptr, nullptr, nullptr, nullptr);
        editor = std::make_unique<CGenericEditor>(instrument);
        const SIZE size = editor->PreferredSize();
        ASSERT_TRUE(editor->Create(parent, RECT{0, 0, size.cx, size.cy}, 7));
    }
    void TearDown() override
    {
        editor.reset();
        DestroyWindow(parent);
    }
    HWND Slider(int i) const { return editor->RowOf(i).slider; }
    void Key(int i, WPARAM key) const { SendMessageA(Slider(i), WM_KEYDOWN, key, 0); }

    HWND parent = nullptr;
    std::unique_ptr<CGenericEditor> editor;
};

} // namespace

TEST_F(Editor, RowsShowNameSliderAndValueWithUnitEvenForHostileStrings)
{
    FakeInstrument fake(5);
    fake.names = {"Cutoff", std::string(5000, 'N'), "", "a\x01\x1b\n\tb", "Gain"};
    fake.labels = {"Hz", "dB", "\x7f", std::string(300, 'L'), ""};
    fake.values[4] = 0.25f;
    fake.instrument = "\x02Tarvolin\x03";
    Open(fake);
    const struct { const char* name; const char* value; int position; } rows[] = {
        {"Cutoff", "0.500 Hz", 500}, {nullptr, "0.500 dB", 500}, {"Parameter 3", "0.500", 500},
        {"a b", nullptr, 500},       {"Gain", "0.250", 250},
    };
    for (int i = 0; i < 5; ++i) {
        const CGenericEditor::RowWindows row = editor->RowOf(i);
        for (HWND text : {row.name, row.value}) {
            const std::string shown = Text(text);
            EXPECT_LE(shown.size(), ui::kMaxShownChars) << i;
            for (char c : shown)
                EXPECT_GE(static_cast<unsigned char>(c), 0x20) << i;
        }
        if (rows[i].name != nullptr) {
            EXPECT_EQ(Text(row.name), rows[i].name);
        }
        if (rows[i].value != nullptr) {
            EXPECT_EQ(Text(row.value), rows[i].value);
        }
        EXPECT_EQ(Position(row.slider), rows[i].position);
        EXPECT_TRUE(GetWindowLongA(row.slider, GWL_STYLE) & WS_TABSTOP);
    }
    EXPECT_EQ(Text(editor->GetSafeHwnd()), "Tarvolin");
}

TEST_F(Editor, SliderKeysSetTheParameterAndShowItsNewText)
{
    FakeInstrument fake(2);
    Open(fake);
    const struct { WPARAM key; int position; } steps[] = {
        {VK_RIGHT, 510}, {VK_LEFT, 500}, {VK_NEXT, 600}, {VK_END, 1000}, {VK_HOME, 0},
    };
    for (const auto& s : steps) {
        Key(1, s.key);
        ASSERT_FALSE(fake.set.empty());
        EXPECT_EQ(fake.set.back(), std::make_pair(1, s.position / 1000.0f)) << s.key;
        EXPECT_EQ(Text(editor->RowOf(1).value), fake.Display(1) + " dB");
    }
    EXPECT_EQ(fake.values[0], 0.5f) << "the other row is untouched";
}

TEST_F(Editor, ADraggedSliderSetsValuesAndIsNotMovedByARefresh)
{
    FakeInstrument fake(1);
    Open(fake);
    const HWND slider = Slider(0);
    RECT thumb{};
    SendMessageA(slider, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    const int x = (thumb.left + thumb.right) / 2, y = (thumb.top + thumb.bottom) / 2;
    SendMessageA(slider, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageA(slider, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + 40, y));
    ASSERT_FALSE(fake.set.empty());
    const float dragged = fake.set.back().second;
    EXPECT_GT(dragged, 0.5f);
    fake.values[0] = 0.1f; // the plug-in changes it meanwhile
    editor->Refresh();
    EXPECT_EQ(Position(slider), ui::PositionFromValue(dragged));
    SendMessageA(slider, WM_LBUTTONUP, 0, MAKELPARAM(x + 40, y));
    fake.values[0] = 0.1f;
    editor->Refresh();
    EXPECT_EQ(Position(slider), 100);
}

TEST_F(Editor, RefreshChangesOnlyWhatTheInstrumentChanged)
{
    FakeInstrument fake(3);
    Open(fake);
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, &CountChanges, nullptr, GetCurrentThreadId());
    g_changes.clear();
    fake.values[1] = 0.75f;
    fake.labels[2] = "%";
    editor->Refresh();
    EXPECT_EQ(Position(Slider(1)), 750);
    EXPECT_EQ(Text(editor->RowOf(1).value), "0.750 dB");
    EXPECT_EQ(Text(editor->RowOf(2).value), "0.500 %");
    const std::map<HWND, int> expected{
        {Slider(1), 1}, {editor->RowOf(1).value, 1}, {editor->RowOf(2).value, 1}};
    EXPECT_EQ(g_changes, expected);

    g_changes.clear();
    fake.values = {0.2f, 0.2f, 0.2f};
    editor->RefreshParameter(2);
    EXPECT_EQ(g_changes.size(), 2u) << "the slider and value of the one row";
    UnhookWindowsHookEx(hook);
}

TEST_F(Editor, SizeFollowsTheParameterCountAndManyParametersOpenQuickly)
{
    const struct { int count; int shown; bool scrolls; } cases[] = {
        {1, 1, false}, {16, 16, false}, {17, 16, true}, {2000, 16, true},
    };
    for (const auto& c : cases) {
        FakeInstrument fake(c.count);
        const auto start = std::chrono::steady_clock::now();
        Open(fake);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        EXPECT_EQ(editor->PreferredSize().cx, ui::GenericEditorLayout::kWidth);
        EXPECT_EQ(editor->ShownRowCount(), c.shown) << c.count;
        EXPECT_EQ((GetWindowLongA(editor->GetSafeHwnd(), GWL_STYLE) & WS_VSCROLL) != 0, c.scrolls);
        EXPECT_LE(fake.nameReads, 2 * c.shown) << "only shown rows are read";
        TearDown();
    }
}

TEST_F(Editor, AnInstrumentWithoutParametersSaysSoUntilItHasSome)
{
    FakeInstrument fake(0);
    fake.instrument = "";
    Open(fake);
    const SIZE size = editor->PreferredSize();
    EXPECT_LT(size.cx, ui::GenericEditorLayout::kWidth);
    std::vector<std::string> texts;
    for (HWND c = GetWindow(editor->GetSafeHwnd(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        texts.push_back(Text(c));
    EXPECT_EQ(texts, (std::vector<std::string>{"Instrument", "no parameters"}));

    fake = FakeInstrument(2);
    SetWindowPos(editor->GetSafeHwnd(), nullptr, 0, 0, 420, 200, SWP_NOMOVE | SWP_NOZORDER);
    editor->Refresh();
    EXPECT_EQ(editor->ShownRowCount(), 2);
    EXPECT_EQ(Text(editor->RowOf(1).name), "P1");
}

TEST_F(Editor, ScrollBarAndWheelShowLaterRows)
{
    FakeInstrument fake(100);
    fake.values[99] = 0.9f;
    Open(fake);
    UINT lines = 3;
    SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    const HWND window = editor->GetSafeHwnd();
    const auto wheel = [&](HWND target, int delta) {
        SendMessageA(target, WM_MOUSEWHEEL, MAKEWPARAM(0, delta), 0);
    };
    const struct { std::function<void()> act; int first; } steps[] = {
        {[&] { SendMessageA(window, WM_VSCROLL, SB_LINEDOWN, 0); }, 1},
        {[&] { SendMessageA(window, WM_VSCROLL, SB_PAGEDOWN, 0); }, 17},
        {[&] { SendMessageA(window, WM_VSCROLL, SB_BOTTOM, 0); }, 84},
        {[&] { SendMessageA(window, WM_VSCROLL, SB_TOP, 0); }, 0},
        {[&] { wheel(window, -120); }, static_cast<int>(lines)},
        {[&] { wheel(Slider(5), -240); }, static_cast<int>(3 * lines)},
        {[&] { wheel(window, 120); }, static_cast<int>(2 * lines)},
    };
    for (const auto& s : steps) {
        s.act();
        EXPECT_EQ(editor->FirstShownRow(), s.first);
        EXPECT_EQ(GetScrollPos(window, SB_VERT), s.first);
        EXPECT_EQ(Text(editor->RowOf(s.first).name), "P" + std::to_string(s.first));
    }
    SendMessageA(window, WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_EQ(Position(Slider(99)), 900);
    EXPECT_EQ(editor->RowOf(0).slider, nullptr) << "rows scrolled away have no windows";
}

TEST_F(Editor, TabWalksThroughEveryParameterScrollingAndWrapping)
{
    FakeInstrument fake(20);
    Open(fake);
    EXPECT_TRUE(SendMessageA(Slider(0), WM_GETDLGCODE, VK_TAB, 0) & DLGC_WANTTAB);
    BYTE keys[256] = {};
    const struct { int from; bool shift; int to; int first; } steps[] = {
        {0, false, 1, 0}, {15, false, 16, 1}, {16, false, 17, 2}, {2, true, 1, 1},
        {1, true, 0, 0},  {0, true, 19, 4},   {19, false, 0, 0},
    };
    for (const auto& s : steps) {
        SetFocus(Slider(s.from));
        keys[VK_SHIFT] = s.shift ? 0x80 : 0;
        SetKeyboardState(keys);
        Key(s.from, VK_TAB);
        EXPECT_EQ(editor->FirstShownRow(), s.first) << s.from;
        EXPECT_EQ(GetFocus(), Slider(s.to)) << s.from;
    }
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
    EXPECT_TRUE(fake.set.empty()) << "Tab never moves a slider";
}
