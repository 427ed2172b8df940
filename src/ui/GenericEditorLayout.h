#pragma once
// The generic parameter editor apart from any window: where its rows and their three parts lie,
// how big it wants to be, how scrolling and the Tab key move through the rows, how a value maps
// to a slider position, and how the plug-in's strings are cleaned before they are shown.
// Portable: no operating-system headers.
//
// The editor shows one row per parameter (name, slider, value and unit) but has windows only
// for the rows that fit: the row in slot k shows parameter firstRow + k.

#include <cstddef>
#include <string>

namespace ui {

struct Box {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Box& o) const
    {
        return x == o.x && y == o.y && width == o.width && height == o.height;
    }
};

struct RowBoxes {
    Box name;
    Box slider;
    Box value;
};

struct Extent {
    int width = 0;
    int height = 0;
    bool operator==(const Extent& o) const { return width == o.width && height == o.height; }
};

class GenericEditorLayout {
public:
    static constexpr int kWidth = 420;       // the editor's width, a scroll bar included
    static constexpr int kEmptyWidth = 240;  // the editor of an instrument without parameters
    static constexpr int kMaxShownRows = 16; // more rows than this scroll
    static constexpr int kMargin = 8;
    static constexpr int kGap = 6;
    static constexpr int kNameWidth = 120;
    static constexpr int kValueWidth = 104;
    static constexpr int kMinRowHeight = 26; // a slider's thumb and focus frame fit

    // For a font whose lines are `textHeight` pixels high.
    explicit GenericEditorLayout(int textHeight);

    int TextHeight() const { return m_textHeight; }
    int RowHeight() const { return m_rowHeight; }

    // The editor's size for `count` parameters: kWidth wide and high enough for up to
    // kMaxShownRows rows (a scroll bar shows the others); small for none.
    Extent PreferredSize(int count) const;
    // Whole rows that fit in a client area `clientHeight` pixels high.
    int RowsThatFit(int clientHeight) const;
    // The three parts of the row in `slot`, in a client area `clientWidth` pixels wide.
    RowBoxes Row(int slot, int clientWidth) const;
    // Line 0 (the instrument's name) and line 1 ("no parameters") of the empty editor.
    Box EmptyLine(int line, int clientWidth) const;

private:
    int m_textHeight;
    int m_rowHeight;
};

// Slider positions 0..kPositions stand for values 0..1.
constexpr int kPositions = 1000;
// The nearest position; values outside 0..1 are held at the ends, anything else (NaN) is 0.
int PositionFromValue(float value);
float ValueFromPosition(int position);

// The first shown row held so that `shown` rows from it stay within `count` rows.
int ClampFirstRow(int first, int count, int shown);
// The first shown row that shows `row` with as little movement as possible.
int FirstRowShowing(int row, int first, int count, int shown);
// Rows to scroll down (negative: up) for a wheel movement of `delta` (positive: away from the
// user) at `linesPerNotch` rows per notch of 120. `pending` keeps the remainder of fine-grained
// wheels in 1/120 of a row between calls.
int WheelRows(int& pending, int delta, int linesPerNotch);
// The row Tab (forward) or Shift+Tab moves to from `row`; it wraps around at both ends.
int NextTabRow(int row, int count, bool forward);

// Longest text shown for a name, a value or the instrument; longer texts end in "...".
constexpr std::size_t kMaxShownChars = 64;
// `text` up to an embedded zero, control characters turned into spaces, runs of spaces made
// one, outer spaces removed, and at most `maxChars` characters.
std::string CleanText(const std::string& text, std::size_t maxChars = kMaxShownChars);
// The cleaned name, or "Parameter n" (counted from 1) when none is left.
std::string NameText(const std::string& name, int index);
// The value as the plug-in prints it followed by its unit: "-6.0 dB".
std::string ValueText(const std::string& display, const std::string& label);
// The cleaned instrument name, or "Instrument".
std::string InstrumentText(const std::string& name);
constexpr char kNoParametersText[] = "no parameters";

} // namespace ui
