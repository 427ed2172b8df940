#include "ui/DigitDisplay.h"

#include "resource.h"

#include <windowsx.h>

CDigitDisplay::CDigitDisplay(std::int32_t initialValue, std::int32_t minimum, std::int32_t maximum)
    : m_model(initialValue, minimum, maximum)
{
    m_model.onNotify = [this] { Notify(); };
    AttachBitmap(GetModuleHandleA(nullptr), IDB_DIGITS, kStripCells);
}

CDigitDisplay::~CDigitDisplay()
{
    // The window goes first (base destructor), but it must not paint with a deleted strip.
    if (m_hWnd != nullptr)
        DestroyWindow();
    if (m_bitmap != nullptr)
        DeleteObject(m_bitmap);
}

bool CDigitDisplay::Create(const RECT& rect, HWND parent, UINT id)
{
    return CButton::Create("", WS_CHILD | WS_VISIBLE, rect, parent, id);
}

int CDigitDisplay::AttachBitmap(HINSTANCE module, UINT bitmapId, int cellCount)
{
    if (m_bitmap != nullptr)
        DeleteObject(m_bitmap);
    m_metrics = BITMAP{};
    m_bitmap = static_cast<HBITMAP>(
        LoadImageA(module, MAKEINTRESOURCEA(bitmapId), IMAGE_BITMAP, 0, 0, 0));
    const int read = m_bitmap != nullptr ? GetObjectA(m_bitmap, sizeof m_metrics, &m_metrics) : 0;
    m_sizePending = true;
    m_cellCount = cellCount;
    return read;
}

void CDigitDisplay::SetValue(std::int32_t value)
{
    if (m_model.SetValue(value))
        Repaint();
}

void CDigitDisplay::SetDigitCount(int count)
{
    m_model.SetDigitCount(count);
    Repaint();
}

int CDigitDisplay::CellWidth() const
{
    if (m_bitmap == nullptr || m_cellCount <= 0)
        return 0;
    return m_metrics.bmWidth / m_cellCount;
}

void CDigitDisplay::Notify()
{
    if (m_hWnd == nullptr)
        return;
    const int id = GetDlgCtrlID(m_hWnd);
    SendMessageA(GetParent(m_hWnd), WM_COMMAND, MAKEWPARAM(id, 0), reinterpret_cast<LPARAM>(m_hWnd));
}

void CDigitDisplay::Repaint() const
{
    if (m_hWnd != nullptr)
        InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CDigitDisplay::SizeToCells()
{
    const int cells = m_model.shownDigits() > 0 ? m_model.shownDigits() : 0;
    SetWindowPos(m_hWnd, nullptr, 0, 0, CellWidth() * cells, m_metrics.bmHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_sizePending = false;
}

// Straight copies of strip cells, units digit in the rightmost cell. Nothing else is drawn.
void CDigitDisplay::Paint(HDC target)
{
    const int cellWidth = CellWidth();
    if (cellWidth <= 0)
        return;
    HDC strip = CreateCompatibleDC(target);
    if (strip == nullptr)
        return;
    HGDIOBJ previous = SelectObject(strip, m_bitmap);
    for (int k = 0; k < m_model.shownDigits(); ++k) {
        BitBlt(target, k * cellWidth, 0, cellWidth, m_metrics.bmHeight, strip,
               m_model.cellAt(k) * cellWidth, 0, SRCCOPY);
    }
    SelectObject(strip, previous);
    DeleteDC(strip);
}

// The control's message table: painting and the mouse are its own; the button sees neither.
bool CDigitDisplay::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    result = 0;
    switch (msg) {
    case WM_PAINT: {
        if (m_sizePending)
            SizeToCells();
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(m_hWnd, &ps);
        Paint(dc);
        EndPaint(m_hWnd, &ps);
        return true;
    }
    case WM_PRINTCLIENT:
        Paint(reinterpret_cast<HDC>(wParam));
        return true;
    case WM_LBUTTONDOWN:
        m_model.press(GET_Y_LPARAM(lParam));
        SetCapture(m_hWnd);
        Repaint();
        return true;
    case WM_LBUTTONUP:
        if (GetCapture() == m_hWnd)
            ReleaseCapture();
        Repaint();
        return true;
    case WM_LBUTTONDBLCLK:
        Repaint();
        return true;
    case WM_MOUSEMOVE:
        // Exactly the left button: Shift, Ctrl or another button held means no drag.
        m_model.move(GET_Y_LPARAM(lParam), wParam == MK_LBUTTON);
        Repaint();
        return true;
    default:
        return CButton::OnMessage(msg, wParam, lParam, result);
    }
}
