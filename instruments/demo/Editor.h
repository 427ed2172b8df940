#pragma once
// The instrument's editor: a plain GDI child window inside the host's window that shows the
// current program and an on-screen keyboard the mouse can play. It repaints only when the
// program or the held notes changed since it last painted.

#include "KeyboardLayout.h"

#include <windows.h>

#include <atomic>

namespace demo {

class DemoPlugin;

class Editor {
public:
    static constexpr int kWidth = 600;
    static constexpr int kHeight = 190;

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
    void paintKeys(HDC dc);
    void pressAt(int x, int y);
    void releaseMouseNote();

    DemoPlugin& plugin;
    std::atomic<HWND> window{nullptr};
    HFONT titleFont = nullptr;
    HFONT labelFont = nullptr;
    KeyboardLayout keyboard;
    int mouseNote = -1;
    std::atomic<unsigned> paintedChanges{~0u};
};

}  // namespace demo
