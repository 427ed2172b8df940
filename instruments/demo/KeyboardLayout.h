#pragma once
// Geometry of the editor's on-screen keyboard: which note lies under a point, and where each
// key is drawn. Black keys lie over the white ones and win where they overlap.

namespace demo {

struct KeyRect {
    int left, top, right, bottom;
};

class KeyboardLayout {
public:
    static constexpr int kFirstNote = 48;   // C3
    static constexpr int kLastNote = 84;    // C6
    static constexpr int kWhiteWidth = 26;
    static constexpr int kBlackWidth = 16;

    constexpr KeyboardLayout(int left, int top, int height) : x0(left), y0(top), h(height) {}

    static bool isBlack(int note)
    {
        const int pc = ((note % 12) + 12) % 12;
        return pc == 1 || pc == 3 || pc == 6 || pc == 8 || pc == 10;
    }
    static int whiteKeyCount() { return whiteIndex(kLastNote) + 1; }
    int width() const { return whiteKeyCount() * kWhiteWidth; }
    int blackHeight() const { return h * 3 / 5; }

    KeyRect rect(int note) const
    {
        if (isBlack(note)) {
            const int edge = x0 + (whiteIndex(note - 1) + 1) * kWhiteWidth;
            return {edge - kBlackWidth / 2, y0, edge + kBlackWidth / 2, y0 + blackHeight()};
        }
        const int left = x0 + whiteIndex(note) * kWhiteWidth;
        return {left, y0, left + kWhiteWidth, y0 + h};
    }

    // The note under (x, y), or -1 off the keyboard.
    int noteAt(int x, int y) const
    {
        if (x < x0 || x >= x0 + width() || y < y0 || y >= y0 + h)
            return -1;
        for (int note = kFirstNote; note <= kLastNote; ++note)
            if (isBlack(note) && contains(rect(note), x, y))
                return note;
        for (int note = kFirstNote; note <= kLastNote; ++note)
            if (!isBlack(note) && contains(rect(note), x, y))
                return note;
        return -1;
    }

    // Velocity from how far down the key was struck: gentle at the top, full at the bottom.
    int velocityAt(int note, int y) const
    {
        const KeyRect r = rect(note);
        const int span = r.bottom - r.top;
        const int depth = span > 0 ? (y - r.top) * 87 / span : 0;
        return depth < 0 ? 40 : (depth > 87 ? 127 : 40 + depth);
    }

private:
    static int whiteIndex(int note)
    {
        static constexpr int whitesBefore[12] = {0, 1, 1, 2, 2, 3, 4, 4, 5, 5, 6, 6};
        const int octave = (note - kFirstNote) / 12;
        return octave * 7 + whitesBefore[(note - kFirstNote) % 12];
    }
    static bool contains(const KeyRect& r, int x, int y)
    {
        return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
    }

    int x0, y0, h;
};

// The keyboard as the editor draws it in its window (600 x 300), below the parameter sliders:
// a program that plays the editor with the mouse finds the keys from the same place.
constexpr KeyboardLayout editorKeyboard()
{
    return KeyboardLayout(14, 168, 120);
}

}  // namespace demo
