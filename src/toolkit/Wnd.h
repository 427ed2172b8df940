// CWnd: one C++ object bound to one window.
//
// The object passes `this` as the creation parameter; the static procedures store it at
// WM_NCCREATE (ordinary windows, GWLP_USERDATA) or WM_INITDIALOG (dialogs, DWLP_USER) and from
// then on hand every message to the object's OnMessage. A window of a system class (a button)
// is bound by subclassing instead (SubclassWindow): its messages reach OnMessage first and the
// class's own procedure handles the rest. OnMessage is each class's message table:
// a switch that returns true for the messages it handles and leaves the rest to its base class,
// and finally to the system's default procedure.
#pragma once

#include "toolkit/Command.h"

#include <windows.h>

namespace toolkit {

class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    ~CWnd() override;

    HWND GetSafeHwnd() const { return m_hWnd; }
    void ShowWindow(int command) const { ::ShowWindow(m_hWnd, command); }
    void UpdateWindow() const { ::UpdateWindow(m_hWnd); }
    bool DestroyWindow();

protected:
    // The message table. `result` is what the window procedure returns when true is returned.
    virtual bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // Called after the window is gone (WM_NCDESTROY); windows that own themselves delete here.
    virtual void PostNcDestroy() {}

    // Registers a window class whose procedure is ours; returns false when that fails.
    static bool RegisterClass(HINSTANCE instance, const char* name, HICON icon, HBRUSH background);
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    // Routes the messages of an existing window of a system class to this object first.
    bool SubclassWindow(HWND hwnd);

    HWND m_hWnd = nullptr;

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static void Detach(CWnd* self);
    void Unsubclass();

    WNDPROC m_superProc = nullptr; // the system class's procedure of a subclassed window
};

} // namespace toolkit
