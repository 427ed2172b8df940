#pragma once
// Bounds the time the program takes to close: a component stuck in a call (an instrument that
// never returns, a driver whose stop waits on it) would otherwise keep it open for ever. While
// a watchdog lives, a thread of its own waits; if the watchdog is not gone after the limit, it
// ends the process with exit code 0 (the settings are written as they change, so nothing is
// lost).

#include <windows.h>

namespace host {

class CCloseWatchdog {
public:
    explicit CCloseWatchdog(DWORD limitMs);
    ~CCloseWatchdog();
    CCloseWatchdog(const CCloseWatchdog&) = delete;
    CCloseWatchdog& operator=(const CCloseWatchdog&) = delete;

private:
    static DWORD WINAPI Watch(void* watchdog);

    DWORD m_limitMs;
    HANDLE m_done;
    HANDLE m_thread = nullptr;
};

}  // namespace host
