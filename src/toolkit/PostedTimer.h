#pragma once
// CPostedTimer: a periodic WM_TIMER (wParam the timer's id, lParam 0) posted to a window by a
// thread of its own, in place of the system's timer. The system hands out WM_TIMER only when
// no paint is pending for the thread, so one window that never validates itself (an editor
// that faults while drawing) would stop every timer of the program; a posted message comes
// before any paint. A tick is posted only once the last one was handled, so a thread that was
// busy for a while finds one tick waiting, not a pile of them.

#include <windows.h>

#include <atomic>

namespace toolkit {

class CPostedTimer {
public:
    CPostedTimer() = default;
    ~CPostedTimer() { Stop(); }
    CPostedTimer(const CPostedTimer&) = delete;
    CPostedTimer& operator=(const CPostedTimer&) = delete;

    // Ticks every `periodMs` until Stop; false when the thread could not be made.
    bool Start(HWND window, UINT_PTR id, UINT periodMs);
    void Stop();
    bool Running() const { return m_thread != nullptr; }
    // The window's thread, when it handles a tick of this timer: the next may be posted.
    void Handled() { m_pending.store(false); }

private:
    static DWORD WINAPI Run(void* timer);

    HWND m_window = nullptr;
    UINT_PTR m_id = 0;
    UINT m_periodMs = 0;
    HANDLE m_stop = nullptr;
    HANDLE m_thread = nullptr;
    std::atomic<bool> m_pending{false};
};

}  // namespace toolkit
