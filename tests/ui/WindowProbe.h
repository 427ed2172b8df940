#pragma once
// What the window tests of the settings dialog and its controls look at: the pixels a control
// paints, the popup menu a click opens, and a modal dialog run with a script inside its loop.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace uitest {

// A picture as 0xRRGGBB values, row by row.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<unsigned> pixels;
    unsigned At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

// What `window` paints for WM_PRINTCLIENT into a picture of its window size (background
// 0x123456 where it paints nothing).
Picture PrintClient(HWND window);
// Bitmap `id` of this program as a picture.
Picture LoadBitmapPicture(UINT id);
// True when the w × h block of `a` at (ax, ay) equals that of `b` at (bx, by).
bool SameBlock(const Picture& a, int ax, int ay, const Picture& b, int bx, int by, int w, int h);
constexpr unsigned kUnpainted = 0x123456;
unsigned Rgb(COLORREF colour);
std::string WindowText(HWND window);

struct PopupSeen {
    bool opened = false;
    std::vector<std::string> texts;
    std::vector<UINT> ids;
    int checked = -1;      // the first check-marked entry
    int checkedCount = 0;
    RECT screenRect{};     // the menu window
};

// Sends a left-button press at (x, y) to `control`; when a popup menu opens, records it and
// closes it without a choice.
PopupSeen PressAndInspectPopup(HWND control, int x, int y);

// Runs `dialog` (a function that shows a modal dialog and returns its result) while `script`
// runs inside the dialog's own message loop once its window is up; the script returns the
// button that ends the dialog (IDOK or IDCANCEL). `title` finds the dialog window.
INT_PTR RunWithScript(const std::function<INT_PTR()>& dialog, const char* title,
                      const std::function<int(HWND)>& script);

// A unique empty folder made the current directory for this test; removed with the object.
class CScratchDirectory {
public:
    CScratchDirectory();
    ~CScratchDirectory();
    const std::string& Path() const { return m_path; }
    std::string Ini() const { return m_path + "\\tarvoshell.ini"; }

private:
    std::string m_path;
    std::string m_previous;
};

} // namespace uitest
