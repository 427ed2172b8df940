#pragma once
// Geometry of the editor's parameter sliders: rows in two columns, each a name, a bar whose
// filled part is the value, and the value's text. A press near a bar sets the value under it.

#include "KeyboardLayout.h"
#include "Parameters.h"

namespace demo {

class SliderLayout {
public:
    static constexpr int kColumns = 2;
    static constexpr int kRowHeight = 24;
    static constexpr int kColumnWidth = 286;
    static constexpr int kNameWidth = 62;
    static constexpr int kBarWidth = 140;
    static constexpr int kBarHeight = 12;
    static constexpr int kSlack = 6;  // a press this far outside a bar's ends still takes its end value

    constexpr SliderLayout(int left, int top, int count) : x0(left), y0(top), n(count) {}

    int rows() const { return (n + kColumns - 1) / kColumns; }
    int height() const { return rows() * kRowHeight; }

    // The row of slider `index`; the name lies at its left, the bar and the value text follow.
    KeyRect row(int index) const
    {
        const int left = x0 + (index / rows()) * kColumnWidth;
        const int top = y0 + (index % rows()) * kRowHeight;
        return {left, top, left + kColumnWidth, top + kRowHeight};
    }
    KeyRect bar(int index) const
    {
        const KeyRect r = row(index);
        const int top = r.top + (kRowHeight - kBarHeight) / 2;
        return {r.left + kNameWidth, top, r.left + kNameWidth + kBarWidth, top + kBarHeight};
    }

    // The slider whose bar (with slack at the ends) lies under (x, y), or -1.
    int sliderAt(int x, int y) const
    {
        for (int i = 0; i < n; ++i) {
            const KeyRect r = row(i);
            const KeyRect b = bar(i);
            if (y >= r.top && y < r.bottom && x >= b.left - kSlack && x < b.right + kSlack)
                return i;
        }
        return -1;
    }

    // The value 0..1 at horizontal position x over slider `index`'s bar.
    float valueAt(int index, int x) const
    {
        const KeyRect b = bar(index);
        const float v = static_cast<float>(x - b.left) / static_cast<float>(b.right - b.left - 1);
        return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
    }

private:
    int x0, y0, n;
};

// One slider per parameter, between the editor's title and its keyboard.
constexpr SliderLayout editorSliders()
{
    return SliderLayout(14, 60, kParameterCount);
}

}  // namespace demo
