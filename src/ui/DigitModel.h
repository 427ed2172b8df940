#pragma once
// What the digit display shows and how it reacts to input, apart from any window: the value,
// its bounds, the digit store (units at position 0) and the drag rule. The window class paints
// the cells this model names and forwards the mouse to it. Portable: no operating-system headers.

#include <cstdint>
#include <functional>

class CDigitModel {
public:
    static constexpr int kPositions = 100;     // decimal positions in the digit store
    static constexpr int kMinusSign = 10;      // store entry for the minus sign
    static constexpr int kEmpty = 999;         // store entry for an empty position
    static constexpr int kBlankCell = 0;       // strip cell with every segment unlit

    CDigitModel(std::int32_t initialValue, std::int32_t minimum, std::int32_t maximum);

    // Called before every value request is examined (so also for refused values) and after
    // every drag event: the parent hears of each, as the dialog expects.
    std::function<void()> onNotify;

    bool m_bLocked = true;          // while set, dragging never changes the value
    bool m_bLeadingZeros = false;   // empty positions show 0 instead of a blank cell

    // Notifies, then takes the value if it lies within the bounds. True when it was taken.
    bool SetValue(std::int32_t value);
    std::int32_t GetValue() const { return value; }
    void SetMinimum(std::int32_t n) { minimum = n; }
    void SetMaximum(std::int32_t n) { maximum = n; }

    // Counts of 100 or more are ignored; zero or less shows no cell.
    void SetDigitCount(int count);
    int shownDigits() const { return shown; }

    // The strip cell drawn in the k-th shown cell from the left.
    int cellAt(int k) const;

    // Left button pressed at height y: the next move is measured from there.
    void press(int y) { lastY = y; }
    // One mouse-move event: when unlocked and exactly the left button is held, one step up or
    // down (none for a level move), then a notification. Otherwise nothing happens.
    void move(int y, bool onlyLeftButton);

private:
    std::int32_t value;
    std::int32_t minimum;
    std::int32_t maximum;
    int shown = 2;
    int digits[kPositions];
    int lastY = 0;
    std::int32_t step = 1;
};
