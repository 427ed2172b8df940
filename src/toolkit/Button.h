// CButton: a push button of the system's button class whose messages reach this object first,
// so that a derived control can draw itself and take the mouse while the button's own
// procedure keeps everything else.
#pragma once

#include "toolkit/Wnd.h"

namespace toolkit {

class CButton : public CWnd {
public:
    // Creates the button as the child `id` of `parent` at `rect` (client coordinates).
    bool Create(const char* text, DWORD style, const RECT& rect, HWND parent, UINT id);
};

} // namespace toolkit
