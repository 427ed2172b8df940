// Posted ticks reach a window while another window of the thread is never validated (its paint
// handler gave up before BeginPaint), and stop with Stop.
#include "toolkit/PostedTimer.h"

#include <gtest/gtest.h>

namespace {

constexpr UINT_PTR kTimerId = 7;

LRESULT CALLBACK NeverValidates(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return message == WM_PAINT ? 0 : DefWindowProcA(window, message, wParam, lParam);
}

int RunLoop(HWND target, toolkit::CPostedTimer& timer, DWORD ms, int* paints)
{
    int ticks = 0;
    const ULONGLONG end = GetTickCount64() + ms;
    MSG msg;
    while (GetTickCount64() < end) {
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            continue;
        if (msg.message == WM_TIMER && msg.hwnd == target && msg.wParam == kTimerId) {
            ++ticks;
            timer.Handled();
        }
        *paints += msg.message == WM_PAINT;
        DispatchMessageA(&msg);
    }
    return ticks;
}

TEST(PostedTimer, TicksGoOnThroughAPaintStormAndStop)
{
    WNDCLASSA description{};
    description.lpfnWndProc = NeverValidates;
    description.lpszClassName = "PostedTimerStorm";
    RegisterClassA(&description);
    HWND storm = CreateWindowExA(0, "PostedTimerStorm", "", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                 nullptr, nullptr, nullptr, nullptr);
    HWND target = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(storm, nullptr);
    ASSERT_NE(target, nullptr);
    InvalidateRect(storm, nullptr, FALSE);

    toolkit::CPostedTimer timer;
    ASSERT_TRUE(timer.Start(target, kTimerId, 20));
    int paints = 0;
    EXPECT_GE(RunLoop(target, timer, 400, &paints), 5);
    EXPECT_GT(paints, 100) << "no paint storm";
    timer.Stop();
    EXPECT_FALSE(timer.Running());
    paints = 0;
    EXPECT_LE(RunLoop(target, timer, 100, &paints), 1);  // at most the one already posted
    DestroyWindow(storm);
    DestroyWindow(target);
}

}  // namespace
