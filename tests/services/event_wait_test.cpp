// The responsive wait over the real clock and message queue. A timer of the waiting thread's own
// window acts during the wait: it posts a message to the window, or posts the quit request.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/win32/clock_win32.h"
#include "platform/win32/event_pump_win32.h"
#include "repair/responsive_wait.h"
#include "support.h"

namespace {

constexpr UINT_PTR kPostTimer = 1, kQuitTimer = 2;
constexpr int kQuitCode = 7;
bool handled = false;

LRESULT CALLBACK TimerWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER) {
        KillTimer(window, wParam);
        if (wParam == kPostTimer) {
            PostMessageW(window, WM_APP, 0, 0);
        } else {
            PostQuitMessage(kQuitCode);
        }
    }
    handled = handled || message == WM_APP;
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(EventWait, WaitsItsTimeDispatchingMessagesAndEndsEarlyOnQuit) {
    const HWND window = services::MessageWindow(TimerWindow, L"ServicesTimerWindow");
    ASSERT_NE(window, nullptr);
    const struct {
        const char* name;
        UINT_PTR timer;
        int16_t waitMs;
        bool returns;
        ULONGLONG minMs, maxMs;  // the wait's length
    } rows[] = {
        {"a posted message is dispatched", kPostTimer, 300, true, 300, 1000},
        {"a quit ends the wait", kQuitTimer, 5000, false, 90, 2000},
    };
    for (const auto& row : rows) {
        handled = false;
        varnel::win32::TickClock clock;
        varnel::win32::Win32EventPump pump;
        SetTimer(window, row.timer, 100, nullptr);
        const ULONGLONG start = GetTickCount64();
        EXPECT_EQ(varnel::ResponsiveWait(clock, pump).WaitMs(row.waitMs), row.returns) << row.name;
        const ULONGLONG elapsed = GetTickCount64() - start;
        EXPECT_GE(elapsed, row.minMs) << row.name;
        EXPECT_LE(elapsed, row.maxMs) << row.name;
        EXPECT_EQ(handled, row.timer == kPostTimer) << row.name;
        MSG quit{};
        const bool quitLeft = PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        EXPECT_EQ(quitLeft, !row.returns) << row.name << ": the quit is left for the main loop";
        EXPECT_EQ(quit.wParam, quitLeft ? WPARAM{kQuitCode} : 0) << row.name;
    }
    DestroyWindow(window);
}

}  // namespace
