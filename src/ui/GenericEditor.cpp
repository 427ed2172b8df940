#include "ui/GenericEditor.h"

#include <commctrl.h>

#include <algorithm>

namespace {
constexpr char kClassName[] = "ZumbrelGenericEditor";
constexpr UINT_PTR kRefreshTimer = 1;
constexpr int kFirstControlId = 100; // slot k: name, slider, value from 100 + 3k
constexpr int kControlsPerSlot = 3;
constexpr int kEmptyNameId = 90;
constexpr int kEmptyTextId = 91;
constexpr int kLineStep = 10;  // arrow keys: 1 % of the range
constexpr int kPageStep = 100; // Page Up/Down: 10 %
constexpr DWORD kTextStyle =
    WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_ENDELLIPSIS;
constexpr DWORD kSliderStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | TBS_HORZ | TBS_NOTICKS;

// The font of message boxes, as the system's own dialogs use; the stock GUI font without it.
HFONT MessageFont()
{
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        if (HFONT font = CreateFontIndirectA(&metrics.lfMessageFont))
            return font;
    }
    return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

int TextHeightOf(HFONT font)
{
    HDC dc = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, font);
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, previous);
    ReleaseDC(nullptr, dc);
    return metrics.tmHeight;
}

void Place(HWND window, const ui::Box& box)
{
    SetWindowPos(window, nullptr, box.x, box.y, box.width, box.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}
} // namespace

// A row's trackbar with three keys of the editor: the wheel scrolls the rows instead of moving
// the slider, Tab moves to the next parameter's slider, and focus tells which slot is current.
class CGenericEditor::CRowSlider : public toolkit::CWnd {
public:
    CRowSlider(CGenericEditor& editor, int slot) : m_editor(editor), m_slot(slot) {}
    bool Attach(HWND window) { return SubclassWindow(window); }

protected:
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        switch (msg) {
        case WM_GETDLGCODE:
            // A dialog's own Tab handling would stop at the shown rows.
            result = DLGC_WANTARROWS | DLGC_WANTTAB;
            return true;
        case WM_KEYDOWN:
            if (wParam != VK_TAB)
                return false;
            m_editor.TabFrom(m_slot, GetKeyState(VK_SHIFT) >= 0);
            return true;
        case WM_CHAR:
            return wParam == '\t'; // handled at the key press; no beep
        case WM_MOUSEWHEEL:
            result = SendMessageA(m_editor.GetSafeHwnd(), msg, wParam, lParam);
            return true;
        case WM_SETFOCUS:
            m_editor.m_focusSlot = m_slot;
            return false;
        default:
            return false;
        }
    }

private:
    CGenericEditor& m_editor;
    int m_slot;
};

struct CGenericEditor::Slot {
    Slot(CGenericEditor& editor, int slot) : slider(editor, slot) {}
    ~Slot()
    {
        ::DestroyWindow(name);
        ::DestroyWindow(value);
    }
    HWND name = nullptr;
    HWND value = nullptr;
    CRowSlider slider;
    int position = -1; // what the slider shows; -1 before the first read
    std::string nameText;
    std::string valueText;
};

CGenericEditor::CGenericEditor(IParameterAccess& access)
    : m_access(access),
      m_font(MessageFont()),
      m_ownsFont(m_font != GetStockObject(DEFAULT_GUI_FONT)),
      m_layout(TextHeightOf(m_font))
{
}

CGenericEditor::~CGenericEditor()
{
    // The window goes first: its children must not paint with a deleted font.
    if (m_hWnd != nullptr)
        DestroyWindow();
    m_slots.clear();
    if (m_ownsFont)
        DeleteObject(m_font);
}

SIZE CGenericEditor::PreferredSize()
{
    const ui::Extent size = m_layout.PreferredSize(m_access.Count());
    return SIZE{size.width, size.height};
}

bool CGenericEditor::Create(HWND parent, const RECT& rect, UINT id)
{
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    if (!RegisterClass(instance, kClassName, nullptr, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)))
        return false;
    const HWND window = CreateWindowExA(
        WS_EX_CONTROLPARENT, kClassName, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, rect.left,
        rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
        reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), instance, this);
    if (window == nullptr)
        return false;
    Rebuild();
    SetTimer(m_hWnd, kRefreshTimer, kRefreshMs, nullptr);
    return true;
}

void CGenericEditor::Refresh()
{
    if (m_hWnd == nullptr)
        return;
    if (std::max(0, m_access.Count()) != m_count)
        Rebuild();
    else
        ShowRows();
}

void CGenericEditor::RefreshParameter(int index)
{
    if (index >= m_first && index - m_first < ShownRowCount())
        ShowRow(index - m_first);
}

CGenericEditor::RowWindows CGenericEditor::RowOf(int index) const
{
    if (index < m_first || index - m_first >= ShownRowCount())
        return {};
    const Slot& slot = *m_slots[static_cast<size_t>(index - m_first)];
    return {slot.name, slot.slider.GetSafeHwnd(), slot.value};
}

void CGenericEditor::Rebuild()
{
    m_count = std::max(0, m_access.Count());
    const std::string instrument = ui::InstrumentText(m_access.InstrumentName());
    SetWindowTextA(m_hWnd, instrument.c_str());
    ShowEmptyText(m_count == 0);
    if (m_emptyName != nullptr)
        SetWindowTextA(m_emptyName, instrument.c_str());
    for (auto& slot : m_slots)
        slot->position = -1; // other parameters now: read every row afresh
    Layout();
}

void CGenericEditor::Layout()
{
    if (m_inLayout)
        return; // the scroll bar appearing resizes the client area; the outer call places all
    m_inLayout = true;
    RECT client{};
    GetClientRect(m_hWnd, &client);
    SetSlotCount(std::min(m_count, m_layout.RowsThatFit(client.bottom)));
    m_first = ui::ClampFirstRow(m_first, m_count, ShownRowCount());
    UpdateScrollBar();
    GetClientRect(m_hWnd, &client);
    for (int k = 0; k < ShownRowCount(); ++k) {
        const Slot& slot = *m_slots[static_cast<size_t>(k)];
        const ui::RowBoxes row = m_layout.Row(k, client.right);
        Place(slot.name, row.name);
        Place(slot.slider.GetSafeHwnd(), row.slider);
        Place(slot.value, row.value);
    }
    if (m_emptyName != nullptr) {
        Place(m_emptyName, m_layout.EmptyLine(0, client.right));
        Place(m_emptyText, m_layout.EmptyLine(1, client.right));
    }
    m_inLayout = false;
    ShowRows();
}

HWND CGenericEditor::CreateChild(const char* className, DWORD style, int id)
{
    const HWND window = CreateWindowExA(0, className, "", style, 0, 0, 0, 0, m_hWnd,
                                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                        GetModuleHandleA(nullptr), nullptr);
    SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
    return window;
}

void CGenericEditor::SetSlotCount(int count)
{
    if (count < ShownRowCount() && Dragging())
        return; // the window under the mouse stays until the drag ends
    while (ShownRowCount() > count)
        m_slots.pop_back();
    while (ShownRowCount() < count) {
        const int k = ShownRowCount();
        const int id = kFirstControlId + kControlsPerSlot * k;
        auto slot = std::make_unique<Slot>(*this, k);
        slot->name = CreateChild(WC_STATICA, kTextStyle, id);
        const HWND slider = CreateChild(TRACKBAR_CLASSA, kSliderStyle, id + 1);
        SendMessageA(slider, TBM_SETRANGEMIN, FALSE, 0);
        SendMessageA(slider, TBM_SETRANGEMAX, FALSE, ui::kPositions);
        SendMessageA(slider, TBM_SETLINESIZE, 0, kLineStep);
        SendMessageA(slider, TBM_SETPAGESIZE, 0, kPageStep);
        slot->slider.Attach(slider);
        slot->value = CreateChild(WC_STATICA, kTextStyle, id + 2);
        m_slots.push_back(std::move(slot));
    }
}

void CGenericEditor::ShowEmptyText(bool show)
{
    if (show && m_emptyName == nullptr) {
        m_emptyName = CreateChild(WC_STATICA, kTextStyle, kEmptyNameId);
        m_emptyText = CreateChild(WC_STATICA, kTextStyle, kEmptyTextId);
        SetWindowTextA(m_emptyText, ui::kNoParametersText);
    } else if (!show && m_emptyName != nullptr) {
        ::DestroyWindow(m_emptyName);
        ::DestroyWindow(m_emptyText);
        m_emptyName = m_emptyText = nullptr;
    }
}

// The bar shows only while there are more rows than fit; its page is the shown rows.
void CGenericEditor::UpdateScrollBar()
{
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMax = m_count > ShownRowCount() ? m_count - 1 : 0;
    info.nPage = m_count > ShownRowCount() ? static_cast<UINT>(ShownRowCount()) : 0;
    info.nPos = m_first;
    SetScrollInfo(m_hWnd, SB_VERT, &info, TRUE);
}

void CGenericEditor::ShowRows()
{
    for (int k = 0; k < ShownRowCount(); ++k)
        ShowRow(k);
}

void CGenericEditor::ShowRow(int k)
{
    Slot& slot = *m_slots[static_cast<size_t>(k)];
    const int index = m_first + k;
    SetText(slot.name, slot.nameText, ui::NameText(m_access.Name(index), index));
    ShowValueText(k);
    const int position = ui::PositionFromValue(m_access.Value(index));
    const HWND slider = slot.slider.GetSafeHwnd();
    if (position != slot.position && GetCapture() != slider) {
        slot.position = position;
        SendMessageA(slider, TBM_SETPOS, TRUE, position);
    }
}

void CGenericEditor::ShowValueText(int k)
{
    Slot& slot = *m_slots[static_cast<size_t>(k)];
    const int index = m_first + k;
    SetText(slot.value, slot.valueText,
            ui::ValueText(m_access.Display(index), m_access.Label(index)));
}

void CGenericEditor::SetText(HWND window, std::string& shown, const std::string& text)
{
    if (text == shown)
        return;
    shown = text;
    SetWindowTextA(window, text.c_str());
}

void CGenericEditor::OnSlider(HWND slider)
{
    for (int k = 0; k < ShownRowCount(); ++k) {
        Slot& slot = *m_slots[static_cast<size_t>(k)];
        if (slot.slider.GetSafeHwnd() != slider)
            continue;
        const int position = static_cast<int>(SendMessageA(slider, TBM_GETPOS, 0, 0));
        if (position == slot.position)
            return;
        slot.position = position;
        m_access.SetValue(m_first + k, ui::ValueFromPosition(position));
        ShowValueText(k);
        return;
    }
}

void CGenericEditor::OnScroll(int code)
{
    const int page = std::max(1, ShownRowCount());
    switch (code) {
    case SB_LINEUP: ScrollTo(m_first - 1); break;
    case SB_LINEDOWN: ScrollTo(m_first + 1); break;
    case SB_PAGEUP: ScrollTo(m_first - page); break;
    case SB_PAGEDOWN: ScrollTo(m_first + page); break;
    case SB_TOP: ScrollTo(0); break;
    case SB_BOTTOM: ScrollTo(m_count); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
        // The 32-bit track position; the message carries only 16 bits.
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_TRACKPOS;
        GetScrollInfo(m_hWnd, SB_VERT, &info);
        ScrollTo(info.nTrackPos);
        break;
    }
    default: break;
    }
}

bool CGenericEditor::OnWheel(int delta)
{
    if (m_count <= ShownRowCount())
        return false; // nothing to scroll: the parent may
    UINT lines = 3;
    SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    const int perNotch = lines == WHEEL_PAGESCROLL ? ShownRowCount()
                                                   : static_cast<int>(std::min<UINT>(lines, 100));
    ScrollTo(m_first + ui::WheelRows(m_wheelPending, delta, perNotch));
    return true;
}

void CGenericEditor::ScrollTo(int first)
{
    first = ui::ClampFirstRow(first, m_count, ShownRowCount());
    if (first == m_first || Dragging())
        return;
    m_first = first;
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_POS;
    info.nPos = m_first;
    SetScrollInfo(m_hWnd, SB_VERT, &info, TRUE);
    ShowRows();
}

void CGenericEditor::TabFrom(int k, bool forward)
{
    const int row = ui::NextTabRow(m_first + k, m_count, forward);
    ScrollTo(ui::FirstRowShowing(row, m_first, m_count, ShownRowCount()));
    if (const HWND slider = RowOf(row).slider)
        SetFocus(slider);
}

bool CGenericEditor::Dragging() const
{
    const HWND captured = GetCapture();
    for (const auto& slot : m_slots) {
        if (captured != nullptr && slot->slider.GetSafeHwnd() == captured)
            return true;
    }
    return false;
}

// The editor's message table: slider and scroll-bar notifications, the wheel, the refresh
// timer, focus handed on to the current slider, and the dialog colours for the texts.
bool CGenericEditor::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    result = 0;
    switch (msg) {
    case WM_SIZE:
        Layout();
        return true;
    case WM_HSCROLL:
        OnSlider(reinterpret_cast<HWND>(lParam));
        return true;
    case WM_VSCROLL:
        OnScroll(LOWORD(wParam));
        return true;
    case WM_MOUSEWHEEL:
        return OnWheel(GET_WHEEL_DELTA_WPARAM(wParam));
    case WM_TIMER:
        if (wParam == kRefreshTimer && IsWindowVisible(m_hWnd))
            Refresh();
        return true;
    case WM_SETFOCUS:
        if (!m_slots.empty())
            SetFocus(RowOf(m_first + std::min(m_focusSlot, ShownRowCount() - 1)).slider);
        return true;
    case WM_CTLCOLORSTATIC: {
        const HDC dc = reinterpret_cast<HDC>(wParam);
        const bool hint = reinterpret_cast<HWND>(lParam) == m_emptyText;
        SetTextColor(dc, GetSysColor(hint ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        return true;
    }
    case WM_DESTROY:
        KillTimer(m_hWnd, kRefreshTimer);
        m_slots.clear();
        m_emptyName = m_emptyText = nullptr; // children go with this window
        return true;
    default:
        return CWnd::OnMessage(msg, wParam, lParam, result);
    }
}
