#include "host/CloseWatchdog.h"

namespace host {

CCloseWatchdog::CCloseWatchdog(DWORD limitMs)
    : m_limitMs(limitMs), m_done(CreateEventA(nullptr, TRUE, FALSE, nullptr))
{
    if (m_done != nullptr) {
        m_thread = CreateThread(nullptr, 0, &Watch, this, 0, nullptr);
    }
}

CCloseWatchdog::~CCloseWatchdog()
{
    if (m_thread != nullptr) {
        SetEvent(m_done);
        WaitForSingleObject(m_thread, INFINITE);
        CloseHandle(m_thread);
    }
    if (m_done != nullptr) {
        CloseHandle(m_done);
    }
}

DWORD WINAPI CCloseWatchdog::Watch(void* watchdog)
{
    const auto* self = static_cast<const CCloseWatchdog*>(watchdog);
    if (WaitForSingleObject(self->m_done, self->m_limitMs) == WAIT_TIMEOUT) {
        TerminateProcess(GetCurrentProcess(), 0);
    }
    return 0;
}

}  // namespace host
