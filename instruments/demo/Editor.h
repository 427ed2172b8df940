#pragma once
// The instrument's editor: a plain GDI child window inside the host's window that shows the
// current program, a slider per parameter and an on-screen keyboard, all played with the mouse.
// It repaints only when the program, a parameter or the held notes changed since it last
// painted, whoever changed them.

#include "KeyboardLayout.h"
#include "SliderLayout.h"

#include <windows.h>

#include <atomic>

namespace demo {

class DemoPlugin;

class Editor {
public:
    static constexpr int kWidth = 600;
    static constexpr int kHeight = 300;

    explicit Editor(DemoPlugin& plugin);
    ~Editor();
    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;

    bool open(void* parentWindow);
    void close();
    // May come from any thread: at most asks the window's own thread to repaint.
    void idle();

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void paint(HDC target);
    void paintSliders(HDC dc);
    void paintKeys(HDC dc);
    void pressAt(int x, int y);
    void releaseMouseNote();
    void dragTo(int x);
    void endDrag();

    DemoPlugin& plugin;
    std::atomic<HWND> window{nullptr};
    HFONT titleFont = nullptr;
    HFONT labelFont = nullptr;
    KeyboardLayout keyboard;
    SliderLayout sliders;
    int mouseNote = -1;
    int dragSlider = -1;  // the parameter the mouse is moving
    std::atomic<unsigned> paintedChanges{~0u};
};

}  // namespace demo
