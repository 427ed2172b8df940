#include "ui/DropDownSelector.h"

#include "resource.h"

#include <windowsx.h>

namespace {
constexpr int kFontWeightBold = 700;
constexpr char kFontFace[] = "Tohamo";
constexpr UINT kPopupFlags = TPM_LEFTALIGN | TPM_LEFTBUTTON;
} // namespace

CDropDownSelector::CDropDownSelector()
{
    m_model.onNotify = [this] { Notify(); };
    m_lightPen = CreatePen(PS_SOLID, 1, kLightEdge);
    m_darkPen = CreatePen(PS_SOLID, 1, kDarkEdge);
    m_font = CreateFontA(kFontHeight, 0, 0, 0, kFontWeightBold, FALSE, FALSE, FALSE, 0,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                         kFontFace);
    AttachBitmap(GetModuleHandleA(nullptr), IDB_ARROWS);
}

CDropDownSelector::~CDropDownSelector()
{
    // The window goes first: it must not paint with deleted drawing objects.
    if (m_hWnd != nullptr)
        DestroyWindow();
    for (HGDIOBJ object : {static_cast<HGDIOBJ>(m_arrows), static_cast<HGDIOBJ>(m_font),
                           static_cast<HGDIOBJ>(m_lightPen), static_cast<HGDIOBJ>(m_darkPen)}) {
        if (object != nullptr)
            DeleteObject(object);
    }
}

bool CDropDownSelector::Create(const RECT& rect, HWND parent, UINT id)
{
    return CButton::Create("", WS_CHILD | WS_VISIBLE, rect, parent, id);
}

int CDropDownSelector::AttachBitmap(HINSTANCE module, UINT bitmapId)
{
    if (m_arrows != nullptr)
        DeleteObject(m_arrows);
    m_arrowMetrics = BITMAP{};
    m_arrows = static_cast<HBITMAP>(
        LoadImageA(module, MAKEINTRESOURCEA(bitmapId), IMAGE_BITMAP, 0, 0, 0));
    return m_arrows != nullptr ? GetObjectA(m_arrows, sizeof m_arrowMetrics, &m_arrowMetrics) : 0;
}

void CDropDownSelector::SetItems(const char* const* texts, int count)
{
    m_model.SetItems(texts, count);
}

void CDropDownSelector::SetSelection(int index)
{
    const bool valid = index >= 0 && index < m_model.itemCount();
    m_model.SetSelection(index);
    if (valid)
        Repaint();
}

SelectorGeometry CDropDownSelector::Geometry() const
{
    return SelectorGeometry{m_width, m_arrowMetrics.bmWidth, m_arrowMetrics.bmHeight, kFontHeight};
}

void CDropDownSelector::Notify() const
{
    if (m_hWnd != nullptr)
        SendMessageA(GetParent(m_hWnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(m_hWnd), 0), 0);
}

void CDropDownSelector::Repaint() const
{
    if (m_hWnd != nullptr)
        InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CDropDownSelector::SizeToStrip()
{
    RECT outer{};
    GetWindowRect(m_hWnd, &outer);
    m_width = outer.right - outer.left + 2;
    SetWindowPos(m_hWnd, nullptr, 0, 0, m_width, Geometry().height(),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_sizePending = false;
}

// Light left and top edges, dark bottom and right edges: a raised frame. A line includes its
// start point and excludes its end point.
void CDropDownSelector::DrawFrame(HDC dc, const SelectorGeometry& g) const
{
    const int bottom = g.stripHeight + 1;
    HGDIOBJ previous = SelectObject(dc, m_lightPen);
    MoveToEx(dc, 0, bottom, nullptr);
    LineTo(dc, 0, 0);
    LineTo(dc, g.width, 0);
    SelectObject(dc, m_darkPen);
    MoveToEx(dc, 0, bottom, nullptr);
    LineTo(dc, g.width - 1, bottom);
    LineTo(dc, g.width - 1, 0);
    SelectObject(dc, previous);
}

// Field, text, arrow and frame into an off-screen image, then one copy to `target`. Without
// the arrow strip nothing is drawn (there is no height to draw in); without the font no text.
void CDropDownSelector::Paint(HDC target)
{
    const SelectorGeometry g = Geometry();
    if (m_arrows == nullptr || g.width <= 0 || g.stripHeight <= 0)
        return;
    HDC buffer = CreateCompatibleDC(target);
    HDC arrows = CreateCompatibleDC(target);
    HBITMAP image = CreateCompatibleBitmap(target, g.width, g.height());
    if (buffer != nullptr && arrows != nullptr && image != nullptr) {
        HGDIOBJ previousImage = SelectObject(buffer, image);

        // An opaque fill that leaves the field colour as the text background.
        const RECT field{1, 1, g.width, g.height()};
        SetBkColor(buffer, kFieldColour);
        ExtTextOutA(buffer, 0, 0, ETO_OPAQUE, &field, nullptr, 0, nullptr);

        const std::string* text = m_model.selectedText();
        if (text != nullptr && m_font != nullptr) {
            HGDIOBJ previousFont = SelectObject(buffer, m_font);
            SetTextColor(buffer, kTextColour);
            TextOutA(buffer, g.textX(), g.textY(), text->c_str(), static_cast<int>(text->size()));
            SelectObject(buffer, previousFont);
        }

        HGDIOBJ previousArrows = SelectObject(arrows, m_arrows);
        BitBlt(buffer, g.arrowX(), 1, g.arrowWidth(), g.stripHeight, arrows, m_arrowOffset, 0,
               SRCCOPY);
        SelectObject(arrows, previousArrows);

        DrawFrame(buffer, g);
        BitBlt(target, 0, 0, g.width, g.height(), buffer, 0, 0, SRCCOPY);
        SelectObject(buffer, previousImage);
    }
    if (image != nullptr)
        DeleteObject(image);
    if (arrows != nullptr)
        DeleteDC(arrows);
    if (buffer != nullptr)
        DeleteDC(buffer);
}

void CDropDownSelector::EndHover()
{
    m_hovering = false;
    m_arrowOffset = 0;
    Repaint();
}

void CDropDownSelector::OnMouseMove(POINT point)
{
    if (!m_hovering) {
        m_arrowOffset = Geometry().arrowWidth();
        m_hovering = true;
        Repaint();
        SetCapture(m_hWnd);
        return;
    }
    RECT client{};
    GetClientRect(m_hWnd, &client);
    if (!PtInRect(&client, point)) {
        EndHover();
        if (GetCapture() == m_hWnd)
            ReleaseCapture();
    }
}

// The menu is owned by this control, so a chosen entry comes back as its command 300 + index
// once the menu has closed.
void CDropDownSelector::ShowPopup(const SelectorGeometry& g)
{
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr)
        return;
    for (int i = 0; i < m_model.itemCount(); ++i) {
        const UINT flags = MF_STRING | (i == m_model.GetSelection() ? MF_CHECKED : MF_UNCHECKED);
        AppendMenuA(menu, flags, CSelectorModel::kFirstCommand + i, m_model.itemText(i).c_str());
    }
    POINT at{0, g.popupY()};
    ClientToScreen(m_hWnd, &at);
    TrackPopupMenu(menu, kPopupFlags, at.x, at.y, 0, m_hWnd, nullptr);
    m_hovering = false;
    m_arrowOffset = 0;
    DestroyMenu(menu);
}

void CDropDownSelector::OnLeftButtonDown(POINT point)
{
    // Without the arrow strip there is no arrow to click.
    const SelectorGeometry g = Geometry();
    if (m_arrows != nullptr && g.opensPopup(point.x))
        ShowPopup(g);
    Repaint();
    if (m_hWnd != nullptr)
        InvalidateRect(GetParent(m_hWnd), nullptr, TRUE);
}

// The control's message table: painting, the mouse and the popup's commands are its own; the
// button sees neither the release nor the double click of the left button.
bool CDropDownSelector::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    result = 0;
    switch (msg) {
    case WM_PAINT: {
        if (m_sizePending && m_arrows != nullptr)
            SizeToStrip();
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(m_hWnd, &ps);
        Paint(dc);
        EndPaint(m_hWnd, &ps);
        return true;
    }
    case WM_PRINTCLIENT:
        Paint(reinterpret_cast<HDC>(wParam));
        return true;
    case WM_MOUSEMOVE:
        OnMouseMove(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return true;
    case WM_LBUTTONDOWN:
        OnLeftButtonDown(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return true;
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
        return true;
    case WM_CAPTURECHANGED:
        // Another window took the mouse: the pointer's leaving would go unseen otherwise.
        if (m_hovering && reinterpret_cast<HWND>(lParam) != m_hWnd)
            EndHover();
        return true;
    case WM_COMMAND: {
        const int command = LOWORD(wParam);
        if (HIWORD(wParam) != 0 || command < CSelectorModel::kFirstCommand ||
            command >= CSelectorModel::kFirstCommand + CSelectorModel::kCommandCount)
            return CButton::OnMessage(msg, wParam, lParam, result);
        m_model.choose(command);
        Repaint();
        return true;
    }
    default:
        return CButton::OnMessage(msg, wParam, lParam, result);
    }
}
