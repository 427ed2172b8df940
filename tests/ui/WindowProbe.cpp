#include "WindowProbe.h"

#include <cstring>

namespace uitest {

namespace {
constexpr UINT kPollMs = 30;
constexpr int kTextCapacity = 256;

Picture FromDC(HDC source, int width, int height, bool fill)
{
    Picture picture;
    picture.width = width;
    picture.height = height;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP dib = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(dc, dib);
    if (fill) {
        HBRUSH brush = CreateSolidBrush(RGB(0x12, 0x34, 0x56));
        RECT all{0, 0, width, height};
        FillRect(dc, &all, brush);
        DeleteObject(brush);
    }
    if (source != nullptr)
        BitBlt(dc, 0, 0, width, height, source, 0, 0, SRCCOPY);
    GdiFlush();
    picture.pixels.resize(static_cast<size_t>(width * height));
    std::memcpy(picture.pixels.data(), bits, picture.pixels.size() * sizeof(unsigned));
    for (unsigned& p : picture.pixels)
        p &= 0xFFFFFF;
    SelectObject(dc, previous);
    DeleteObject(dib);
    DeleteDC(dc);
    return picture;
}

struct PopupProbe {
    PopupSeen* seen = nullptr;
};
PopupProbe g_popup;

BOOL CALLBACK FindMenuWindow(HWND window, LPARAM param)
{
    char name[kTextCapacity] = {};
    GetClassNameA(window, name, kTextCapacity);
    if (std::strcmp(name, "#32768") == 0 && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(param) = window;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK InspectOpenMenu(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND window = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &FindMenuWindow, reinterpret_cast<LPARAM>(&window));
    if (window == nullptr)
        return; // not open yet: look again at the next tick
    KillTimer(nullptr, timer);
    PopupSeen& seen = *g_popup.seen;
    seen.opened = true;
    GetWindowRect(window, &seen.screenRect);
    HMENU menu = reinterpret_cast<HMENU>(SendMessageA(window, MN_GETHMENU, 0, 0));
    const int count = menu != nullptr ? GetMenuItemCount(menu) : 0;
    for (int i = 0; i < count; ++i) {
        char text[kTextCapacity] = {};
        GetMenuStringA(menu, static_cast<UINT>(i), text, kTextCapacity, MF_BYPOSITION);
        seen.texts.push_back(text);
        seen.ids.push_back(GetMenuItemID(menu, i));
        if (GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_CHECKED) {
            if (seen.checkedCount++ == 0)
                seen.checked = i;
        }
    }
    EndMenu();
}

struct ScriptRun {
    const char* title = nullptr;
    const std::function<int(HWND)>* script = nullptr;
};
ScriptRun g_script;

void CALLBACK RunScriptOnce(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = FindWindowA("#32770", g_script.title);
    if (dialog == nullptr || !IsWindowVisible(dialog))
        return;
    KillTimer(nullptr, timer);
    int button = IDCANCEL;
    button = (*g_script.script)(dialog);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}

} // namespace

unsigned Rgb(COLORREF colour)
{
    return (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

std::string WindowText(HWND window)
{
    char text[kTextCapacity] = {};
    GetWindowTextA(window, text, kTextCapacity);
    return text;
}

Picture PrintClient(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return Picture{};
    // Into a memory context of the same kind a paint context is, then into a picture.
    HDC screen = GetDC(window);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP image = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(dc, image);
    HBRUSH brush = CreateSolidBrush(RGB(0x12, 0x34, 0x56));
    RECT all{0, 0, width, height};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    SendMessageA(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    Picture picture = FromDC(dc, width, height, false);
    SelectObject(dc, previous);
    DeleteObject(image);
    DeleteDC(dc);
    ReleaseDC(window, screen);
    return picture;
}

Picture LoadBitmapPicture(UINT id)
{
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, 0));
    if (bitmap == nullptr)
        return Picture{};
    BITMAP metrics{};
    GetObjectA(bitmap, sizeof metrics, &metrics);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    Picture picture = FromDC(dc, metrics.bmWidth, metrics.bmHeight, false);
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return picture;
}

bool SameBlock(const Picture& a, int ax, int ay, const Picture& b, int bx, int by, int w, int h)
{
    if (ax < 0 || ay < 0 || bx < 0 || by < 0 || ax + w > a.width || ay + h > a.height ||
        bx + w > b.width || by + h > b.height)
        return false;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (a.At(ax + x, ay + y) != b.At(bx + x, by + y))
                return false;
        }
    }
    return true;
}

PopupSeen PressAndInspectPopup(HWND control, int x, int y)
{
    PopupSeen seen;
    g_popup.seen = &seen;
    const UINT_PTR timer = SetTimer(nullptr, 0, kPollMs, &InspectOpenMenu);
    SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    KillTimer(nullptr, timer);
    g_popup.seen = nullptr;
    return seen;
}

INT_PTR RunWithScript(const std::function<INT_PTR()>& dialog, const char* title,
                      const std::function<int(HWND)>& script)
{
    g_script = ScriptRun{title, &script};
    const UINT_PTR timer = SetTimer(nullptr, 0, kPollMs, &RunScriptOnce);
    const INT_PTR result = dialog();
    KillTimer(nullptr, timer);
    return result;
}

CScratchDirectory::CScratchDirectory()
{
    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previous);
    m_previous = previous;
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    m_path = std::string(temp) + "zumbrel-ui-" + std::to_string(GetCurrentProcessId()) + "-" +
             std::to_string(GetTickCount());
    CreateDirectoryA(m_path.c_str(), nullptr);
    SetCurrentDirectoryA(m_path.c_str());
}

CScratchDirectory::~CScratchDirectory()
{
    SetCurrentDirectoryA(m_previous.c_str());
    DeleteFileA(Ini().c_str());
    RemoveDirectoryA(m_path.c_str());
}

} // namespace uitest
