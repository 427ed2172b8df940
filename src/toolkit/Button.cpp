#include "toolkit/Button.h"

namespace toolkit {

bool CButton::Create(const char* text, DWORD style, const RECT& rect, HWND parent, UINT id)
{
    HWND hwnd = CreateWindowExA(0, "BUTTON", text, style, rect.left, rect.top,
                                rect.right - rect.left, rect.bottom - rect.top, parent,
                                reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                                reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE)),
                                nullptr);
    if (hwnd == nullptr) {
        return false;
    }
    if (!SubclassWindow(hwnd)) {
        ::DestroyWindow(hwnd);
        return false;
    }
    return true;
}

} // namespace toolkit
