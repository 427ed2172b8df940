#include "toolkit/PostedTimer.h"

namespace toolkit {

bool CPostedTimer::Start(HWND window, UINT_PTR id, UINT periodMs)
{
    Stop();
    m_window = window;
    m_id = id;
    m_periodMs = periodMs;
    m_pending.store(false);
    m_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (m_stop == nullptr) {
        return false;
    }
    m_thread = CreateThread(nullptr, 0, &CPostedTimer::Run, this, 0, nullptr);
    if (m_thread == nullptr) {
        CloseHandle(m_stop);
        m_stop = nullptr;
        return false;
    }
    return true;
}

void CPostedTimer::Stop()
{
    if (m_thread == nullptr) {
        return;
    }
    SetEvent(m_stop);
    WaitForSingleObject(m_thread, INFINITE);
    CloseHandle(m_thread);
    CloseHandle(m_stop);
    m_thread = nullptr;
    m_stop = nullptr;
}

DWORD WINAPI CPostedTimer::Run(void* timer)
{
    auto* self = static_cast<CPostedTimer*>(timer);
    while (WaitForSingleObject(self->m_stop, self->m_periodMs) == WAIT_TIMEOUT) {
        // A window that is gone, or a full queue, takes no tick: the next one is tried.
        if (!self->m_pending.exchange(true) &&
            !PostMessageA(self->m_window, WM_TIMER, self->m_id, 0)) {
            self->m_pending.store(false);
        }
    }
    return 0;
}

}  // namespace toolkit
