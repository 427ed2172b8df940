#include "Editor.h"

#include "DemoPlugin.h"
#include "Parameters.h"
#include "ProgramBank.h"

#include <windowsx.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace demo {

namespace {

constexpr char kClassName[] = "ZumbrelDemoSynthEditor";
constexpr int kMargin = 14;
constexpr COLORREF kPanel = RGB(32, 36, 42);
constexpr COLORREF kTitle = RGB(236, 176, 64);
constexpr COLORREF kLabel = RGB(150, 160, 170);
constexpr COLORREF kTrack = RGB(58, 64, 72);
constexpr COLORREF kValue = RGB(220, 224, 228);
constexpr COLORREF kWhiteKey = RGB(244, 244, 240);
constexpr COLORREF kBlackKey = RGB(24, 24, 28);
constexpr COLORREF kHeldKey = RGB(236, 150, 40);
constexpr COLORREF kKeyEdge = RGB(90, 90, 96);

HINSTANCE thisModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&thisModule), &module);
    return module;
}

void fill(HDC dc, const RECT& r, COLORREF colour)
{
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

}  // namespace

Editor::Editor(DemoPlugin& owner)
    : plugin(owner), keyboard(editorKeyboard()), sliders(editorSliders())
{
}

Editor::~Editor()
{
    close();
}

bool Editor::open(void* parentWindow)
{
    if (window.load() || !parentWindow)
        return window.load() != nullptr;
    const HINSTANCE module = thisModule();
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = module;
    wc.hCursor = LoadCursor(nullptr, IDC_HAND);
    wc.lpszClassName = kClassName;
    RegisterClassExA(&wc);  // fails harmlessly when another editor of this module registered it

    titleFont = CreateFontA(-22, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "Tahoma");
    labelFont = CreateFontA(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "Tahoma");
    // The window procedure records the handle as soon as the window exists.
    HWND created = CreateWindowExA(0, kClassName, "", WS_CHILD | WS_VISIBLE, 0, 0, kWidth, kHeight,
                                   static_cast<HWND>(parentWindow), nullptr, module, this);
    window.store(created);
    return created != nullptr;
}

void Editor::close()
{
    HWND current = window.exchange(nullptr);
    if (current)
        DestroyWindow(current);
    if (titleFont)
        DeleteObject(titleFont);
    if (labelFont)
        DeleteObject(labelFont);
    titleFont = labelFont = nullptr;
    // The class names this module's code: it must not outlive an unloaded library.
    UnregisterClassA(kClassName, thisModule());
}

void Editor::idle()
{
    HWND current = window.load();
    if (current && plugin.changes() != paintedChanges.load(std::memory_order_relaxed))
        InvalidateRect(current, nullptr, FALSE);
}

LRESULT CALLBACK Editor::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        auto* editor = static_cast<Editor*>(create->lpCreateParams);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(editor));
        editor->window.store(hwnd);
    }
    auto* self = reinterpret_cast<Editor*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self && message != WM_NCDESTROY)
        return self->handle(message, wParam, lParam);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT Editor::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND hwnd = window.load();
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        paint(dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;  // painting covers everything, through an off-screen image
    case WM_LBUTTONDOWN:
        SetCapture(hwnd);
        dragSlider = sliders.sliderAt(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        if (dragSlider >= 0) {
            plugin.beginEdit(dragSlider);
            dragTo(GET_X_LPARAM(lParam));
        } else {
            pressAt(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        }
        return 0;
    case WM_MOUSEMOVE:
        if (dragSlider >= 0) {
            dragTo(GET_X_LPARAM(lParam));
        } else if ((wParam & MK_LBUTTON) && GetCapture() == hwnd) {
            const int note = keyboard.noteAt(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            if (note != mouseNote)
                pressAt(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        }
        return 0;
    case WM_LBUTTONUP:
        endDrag();
        releaseMouseNote();
        ReleaseCapture();
        return 0;
    case WM_CAPTURECHANGED:
        endDrag();
        releaseMouseNote();
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

void Editor::pressAt(int x, int y)
{
    // Gliding across the keys plays each one in turn.
    const int note = keyboard.noteAt(x, y);
    releaseMouseNote();
    if (note < 0)
        return;
    mouseNote = note;
    plugin.playFromEditor(0x90, note, keyboard.velocityAt(note, y));
    InvalidateRect(window.load(), nullptr, FALSE);
}

void Editor::releaseMouseNote()
{
    if (mouseNote < 0)
        return;
    plugin.playFromEditor(0x80, mouseNote, 64);
    mouseNote = -1;
    InvalidateRect(window.load(), nullptr, FALSE);
}

void Editor::dragTo(int x)
{
    plugin.editFromEditor(dragSlider, sliders.valueAt(dragSlider, x));
    InvalidateRect(window.load(), nullptr, FALSE);
}

void Editor::endDrag()
{
    if (dragSlider < 0)
        return;
    plugin.endEdit(dragSlider);
    dragSlider = -1;
}

void Editor::paint(HDC target)
{
    paintedChanges.store(plugin.changes(), std::memory_order_relaxed);
    HDC dc = CreateCompatibleDC(target);
    HBITMAP image = CreateCompatibleBitmap(target, kWidth, kHeight);
    HGDIOBJ oldImage = SelectObject(dc, image);

    fill(dc, RECT{0, 0, kWidth, kHeight}, kPanel);
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ oldFont = SelectObject(dc, labelFont);
    SetTextColor(dc, kLabel);
    char label[48];
    std::snprintf(label, sizeof label, "ZUMBREL DEMO SYNTH    program %d of %d", plugin.program() + 1,
                  ProgramBank::kPrograms);
    TextOutA(dc, kMargin, 8, label, static_cast<int>(std::strlen(label)));
    SelectObject(dc, titleFont);
    SetTextColor(dc, kTitle);
    const char* name = plugin.programName();
    TextOutA(dc, kMargin, 24, name, static_cast<int>(std::strlen(name)));
    SelectObject(dc, labelFont);
    paintSliders(dc);
    SelectObject(dc, oldFont);

    paintKeys(dc);
    BitBlt(target, 0, 0, kWidth, kHeight, dc, 0, 0, SRCCOPY);
    SelectObject(dc, oldImage);
    DeleteObject(image);
    DeleteDC(dc);
}

void Editor::paintSliders(HDC dc)
{
    constexpr int kTextInset = 5;  // from a row's top to its text, which is 12 pixels high
    for (int i = 0; i < kParameterCount; ++i) {
        const KeyRect row = sliders.row(i);
        const KeyRect bar = sliders.bar(i);
        const float value = plugin.parameter(i);
        SetTextColor(dc, kLabel);
        const char* name = parameterName(i);
        TextOutA(dc, row.left, row.top + kTextInset, name, static_cast<int>(std::strlen(name)));
        fill(dc, RECT{bar.left, bar.top, bar.right, bar.bottom}, kTrack);
        const int filled = bar.left + static_cast<int>(value * static_cast<float>(bar.right - bar.left) + 0.5f);
        fill(dc, RECT{bar.left, bar.top, filled, bar.bottom}, kTitle);
        char number[vst::kParamTextBytes];
        formatValue(i, value, number, sizeof number);
        char text[32];
        std::snprintf(text, sizeof text, "%s %s", number, parameterLabel(i));
        SetTextColor(dc, kValue);
        TextOutA(dc, bar.right + 8, row.top + kTextInset, text, static_cast<int>(std::strlen(text)));
    }
}

void Editor::paintKeys(HDC dc)
{
    HPEN edge = CreatePen(PS_SOLID, 1, kKeyEdge);
    HGDIOBJ oldPen = SelectObject(dc, edge);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(DC_BRUSH));
    for (bool black : {false, true}) {
        for (int note = KeyboardLayout::kFirstNote; note <= KeyboardLayout::kLastNote; ++note) {
            if (KeyboardLayout::isBlack(note) != black)
                continue;
            const KeyRect r = keyboard.rect(note);
            const bool held = note == mouseNote || plugin.isNoteHeld(note);
            SetDCBrushColor(dc, held ? kHeldKey : (black ? kBlackKey : kWhiteKey));
            Rectangle(dc, r.left, r.top, r.right + (black ? 0 : 1), r.bottom);
        }
    }
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(edge);
}

}  // namespace demo
