#pragma once
// CGenericEditor: the editor of an instrument that has none of its own. One row per parameter:
// its name, a standard horizontal trackbar (positions 0..1000 for values 0..1) and the value as
// the plug-in prints it followed by its unit ("-6.0 dB"). Moving a slider, by mouse or keys,
// sets the parameter and shows its new text at once.
//
// Windows exist only for the rows that fit; scrolling (scroll bar, mouse wheel, Tab at the last
// row) hands those windows other parameters, so a plug-in with thousands of parameters opens as
// fast as one with a few and only the shown rows are ever read. Tab and Shift+Tab move through
// all parameters, wrapping at the ends; the wheel scrolls the rows, also over a slider.
//
// Refresh reads the shown rows again and changes only the texts and positions that differ, so
// nothing is repainted that did not change; the slider the mouse is dragging keeps its
// position. The window refreshes itself every kRefreshMs while visible; the host calls Refresh
// when the program changes and RefreshParameter when the plug-in reports a changed value.
//
// An instrument without parameters shows its name (or "Instrument") and "no parameters".
// Everything runs on the user-interface thread, the calls to IParameterAccess included.

#include "toolkit/Wnd.h"
#include "ui/GenericEditorAccess.h"
#include "ui/GenericEditorLayout.h"

#include <memory>
#include <string>
#include <vector>

class CGenericEditor : public toolkit::CWnd {
public:
    static constexpr UINT kRefreshMs = 200;

    explicit CGenericEditor(IParameterAccess& access);
    ~CGenericEditor() override;

    // The window size for the instrument's current parameter count: GenericEditorLayout::kWidth
    // wide, up to kMaxShownRows rows high (a scroll bar reaches the others); small for none.
    SIZE PreferredSize();
    // Creates the editor as the child `id` of `parent` at `rect` (client coordinates of
    // `parent`), visible, and starts its refresh timer.
    bool Create(HWND parent, const RECT& rect, UINT id);

    // Reads the parameter count and the shown rows again and updates what changed.
    void Refresh();
    // Reads the row of parameter `index` again when it is shown.
    void RefreshParameter(int index);

    // The windows showing parameter `index`; all null when its row is not shown.
    struct RowWindows {
        HWND name = nullptr;
        HWND slider = nullptr;
        HWND value = nullptr;
    };
    RowWindows RowOf(int index) const;
    int FirstShownRow() const { return m_first; }
    int ShownRowCount() const { return static_cast<int>(m_slots.size()); }

protected:
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    class CRowSlider;
    struct Slot;

    // The parameter count or the instrument changed: rows or the empty text anew.
    void Rebuild();
    // Matches the slots and the scroll bar to the client area and places every window.
    void Layout();
    void SetSlotCount(int count);
    void ShowEmptyText(bool show);
    void UpdateScrollBar();
    void ShowRows();
    void ShowRow(int slot);
    void ShowValueText(int slot);
    void SetText(HWND window, std::string& shown, const std::string& text);

    void OnSlider(HWND slider);
    void OnScroll(int code);
    bool OnWheel(int delta);
    void ScrollTo(int first);
    void TabFrom(int slot, bool forward);
    bool Dragging() const;
    HWND CreateChild(const char* className, DWORD style, int id);

    IParameterAccess& m_access;
    HFONT m_font;     // the system's message font
    bool m_ownsFont;  // false: the stock GUI font stands in
    ui::GenericEditorLayout m_layout;
    std::vector<std::unique_ptr<Slot>> m_slots;
    HWND m_emptyName = nullptr;
    HWND m_emptyText = nullptr;
    int m_count = 0;
    int m_first = 0;
    int m_focusSlot = 0;
    int m_wheelPending = 0;
    bool m_inLayout = false;
};
