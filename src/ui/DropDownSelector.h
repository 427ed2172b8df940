#pragma once
// CDropDownSelector: the selected item of a short list as text on a black field with a raised
// frame and a down-arrow image at the right; a click on the arrow opens a popup menu of all
// items with a check mark at the current one, and choosing an entry selects it.
//
// A push button underneath whose drawing and mouse handling are replaced completely: the
// button never draws itself and never sends its own click notifications. The list and the
// selection live in CSelectorModel, the positions of field, text and arrow in
// SelectorGeometry. Every selection, a repeat of the current one included, tells the parent
// with WM_COMMAND (code 0, lParam 0). All drawing goes to an off-screen image copied in one
// piece. The first paint makes the window 2 pixels wider than created and as high as the arrow
// image plus the frame (17 pixels with the shipped strip).
//
// While the pointer is over the control it shows the lighter arrow and holds the mouse
// capture, so that leaving is seen; opening the menu or losing the capture ends that state.

#include "toolkit/Button.h"
#include "ui/SelectorModel.h"

class CDropDownSelector : public toolkit::CButton {
public:
    static constexpr int kFontHeight = 14;
    static constexpr COLORREF kLightEdge = RGB(148, 160, 156);
    static constexpr COLORREF kDarkEdge = RGB(88, 100, 96);
    static constexpr COLORREF kTextColour = RGB(200, 212, 208);
    static constexpr COLORREF kFieldColour = RGB(0, 0, 0);

    // Creates pens and font and attaches bitmap 130 of the program's own module.
    CDropDownSelector();
    ~CDropDownSelector() override;

    // A child button window with an empty caption at `rect` (client coordinates of `parent`).
    bool Create(const RECT& rect, HWND parent, UINT id);

    // Replaces the arrow strip; returns the byte count of the metrics read (0 when none).
    int AttachBitmap(HINSTANCE module, UINT bitmapId);

    // 1 to 29 texts; any other count leaves the old list. Never notifies.
    void SetItems(const char* const* texts, int count);
    // An index within the list selects, notifies and repaints; any other is ignored.
    void SetSelection(int index);
    int GetSelection() const { return m_model.GetSelection(); }

protected:
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    SelectorGeometry Geometry() const;
    void Paint(HDC target);
    void DrawFrame(HDC dc, const SelectorGeometry& g) const;
    void SizeToStrip();
    void OnMouseMove(POINT point);
    void OnLeftButtonDown(POINT point);
    void ShowPopup(const SelectorGeometry& g);
    void EndHover();
    void Notify() const;
    void Repaint() const;

    CSelectorModel m_model;
    HBITMAP m_arrows = nullptr;
    BITMAP m_arrowMetrics{};
    HFONT m_font = nullptr;
    HPEN m_lightPen = nullptr;
    HPEN m_darkPen = nullptr;
    int m_arrowOffset = 0; // 0: the dim arrow; half the strip: the lighter one
    int m_width = 0;       // fixed at the first paint
    bool m_hovering = false;
    bool m_sizePending = true;
};
