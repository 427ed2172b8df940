#pragma once
// CDigitDisplay: a signed integer shown as a row of liquid-crystal digit cells cut from one
// bitmap strip; dragging the mouse up or down over it steps the value (one step per move event).
//
// A push button underneath whose drawing and mouse handling are replaced completely: it never
// draws itself and never sends its own click notifications. What is shown and how a drag
// changes the value lives in CDigitModel; this class paints the model's cells and tells the
// parent of every value request and every drag event (WM_COMMAND, code 0, this window as
// lParam), as the model decides.
//
// Use: construct, Create the window, then SetDigitCount, bounds, m_bLocked = false, SetValue.
// The first paint after AttachBitmap sizes the window to exactly its cells.

#include "toolkit/Button.h"
#include "ui/DigitModel.h"

#include <cstdint>

class CDigitDisplay : public toolkit::CButton {
public:
    static constexpr int kStripCells = 12; // blank, 0..9, minus

    // Attaches bitmap 133 of the program's own module; nothing shows until the first SetValue.
    CDigitDisplay(std::int32_t initialValue, std::int32_t minimum, std::int32_t maximum);
    ~CDigitDisplay() override;

    // A child button window with an empty caption at `rect` (client coordinates of `parent`).
    bool Create(const RECT& rect, HWND parent, UINT id);

    // Replaces the strip; returns the byte count of the metrics read (0 when none could be).
    int AttachBitmap(HINSTANCE module, UINT bitmapId, int cellCount);

    // Notifies the parent first, even for a refused value; a value within bounds is shown.
    void SetValue(std::int32_t value);
    std::int32_t GetValue() const { return m_model.GetValue(); }
    // Counts of 100 or more are ignored. The width follows only before the first paint.
    void SetDigitCount(int count);
    void SetMaximum(std::int32_t n) { m_model.SetMaximum(n); }
    void SetMinimum(std::int32_t n) { m_model.SetMinimum(n); }

private:
    CDigitModel m_model;

public:
    bool& m_bLocked = m_model.m_bLocked;             // set: dragging never changes the value
    bool& m_bLeadingZeros = m_model.m_bLeadingZeros; // set: empty positions show 0

protected:
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    // The width of one cell, 0 without a usable strip (then nothing is drawn).
    int CellWidth() const;
    void Paint(HDC target);
    void SizeToCells();
    void Notify();
    void Repaint() const;

    HBITMAP m_bitmap = nullptr;
    BITMAP m_metrics{};
    int m_cellCount = 0;
    bool m_sizePending = false;
};
