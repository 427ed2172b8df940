#include "toolkit/Wnd.h"

namespace toolkit {

namespace {
// The window property that binds a subclassed window to its object.
constexpr char kObjectProperty[] = "ZumbrelWnd";
} // namespace

CWnd::~CWnd()
{
    // An object that dies before its window: the window must not call into freed memory.
    if (m_hWnd != nullptr && m_superProc != nullptr) {
        HWND hwnd = m_hWnd;
        Unsubclass();
        ::DestroyWindow(hwnd);
    } else if (m_hWnd != nullptr) {
        SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
        SetWindowLongPtrA(m_hWnd, DWLP_USER, 0);
        ::DestroyWindow(m_hWnd);
    }
}

bool CWnd::DestroyWindow()
{
    return m_hWnd != nullptr && ::DestroyWindow(m_hWnd) != FALSE;
}

bool CWnd::OnMessage(UINT, WPARAM, LPARAM, LRESULT&)
{
    return false;
}

bool CWnd::RegisterClass(HINSTANCE instance, const char* name, HICON icon, HBRUSH background)
{
    WNDCLASSEXA wc{};
    if (GetClassInfoExA(instance, name, &wc)) {
        return true;
    }
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &CWnd::WindowProc;
    wc.hInstance = instance;
    wc.hIcon = icon;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    return RegisterClassExA(&wc) != 0;
}

void CWnd::Detach(CWnd* self)
{
    self->m_hWnd = nullptr;
    self->PostNcDestroy();
}

LRESULT CALLBACK CWnd::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        auto* self = static_cast<CWnd*>(create->lpCreateParams);
        self->m_hWnd = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<CWnd*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    LRESULT result = 0;
    if (!self->OnMessage(msg, wParam, lParam, result)) {
        result = DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        Detach(self);
    }
    return result;
}

INT_PTR CALLBACK CWnd::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_INITDIALOG) {
        auto* self = reinterpret_cast<CWnd*>(lParam);
        self->m_hWnd = hwnd;
        SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
    }
    auto* self = reinterpret_cast<CWnd*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    if (self == nullptr) {
        return FALSE; // messages before WM_INITDIALOG (WM_SETFONT) take the default handling
    }
    LRESULT result = 0;
    const bool handled = self->OnMessage(msg, wParam, lParam, result);
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        Detach(self);
        return FALSE;
    }
    if (!handled) {
        return msg == WM_INITDIALOG ? TRUE : FALSE;
    }
    if (msg == WM_INITDIALOG) {
        return result; // TRUE: let the dialog manager set the focus
    }
    SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}

bool CWnd::SubclassWindow(HWND hwnd)
{
    if (hwnd == nullptr || m_hWnd != nullptr || !SetPropA(hwnd, kObjectProperty, this)) {
        return false;
    }
    m_hWnd = hwnd;
    m_superProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::SubclassProc)));
    return true;
}

void CWnd::Unsubclass()
{
    SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_superProc));
    RemovePropA(m_hWnd, kObjectProperty);
    m_superProc = nullptr;
    m_hWnd = nullptr;
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto* self = static_cast<CWnd*>(GetPropA(hwnd, kObjectProperty));
    if (self == nullptr) {
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    const WNDPROC superProc = self->m_superProc;
    LRESULT result = 0;
    if (!self->OnMessage(msg, wParam, lParam, result)) {
        result = CallWindowProcA(superProc, hwnd, msg, wParam, lParam);
    }
    if (msg == WM_NCDESTROY) {
        self->Unsubclass();
        self->PostNcDestroy();
    }
    return result;
}

} // namespace toolkit
