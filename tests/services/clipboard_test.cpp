// The system clipboard emptied for real, and held open by another thread's window.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <thread>

#include "platform/platform_error.h"
#include "platform/win32/clipboard_win32.h"
#include "support.h"

namespace {

TEST(Clipboard, EmptyRemovesTheTextOnIt) {
    const HWND owner = services::MessageWindow(DefWindowProcW, L"ServicesClipboardOwner");
    ASSERT_TRUE(services::WaitUntil([&] { return OpenClipboard(owner) != FALSE; }, 2000));
    EmptyClipboard();
    const wchar_t text[] = L"剪贴板上的文字";
    const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof text);
    std::memcpy(GlobalLock(memory), text, sizeof text);
    GlobalUnlock(memory);
    EXPECT_NE(SetClipboardData(CF_UNICODETEXT, memory), nullptr);
    CloseClipboard();
    ASSERT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));

    varnel::win32::Win32Clipboard().Empty();

    EXPECT_EQ(CountClipboardFormats(), 0);
    DestroyWindow(owner);
}

TEST(Clipboard, HeldOpenByAnotherWindowFailsToOpen) {
    // The other thread's window keeps the clipboard open until the test has had its answer.
    const HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread holder([&] {
        const HWND owner = services::MessageWindow(DefWindowProcW, L"ServicesClipboardHolder");
        if (services::WaitUntil([&] { return OpenClipboard(owner) != FALSE; }, 2000)) {
            SetEvent(held);
            WaitForSingleObject(done, 10000);
            CloseClipboard();
        }
        DestroyWindow(owner);
    });
    const bool isHeld = WaitForSingleObject(held, 5000) == WAIT_OBJECT_0;
    EXPECT_TRUE(isHeld) << "the other window could not open the clipboard";
    try {
        if (isHeld) {
            varnel::win32::Win32Clipboard().Empty();
            ADD_FAILURE() << "Empty() succeeded while another window held the clipboard";
        }
    } catch (const varnel::PlatformError& error) {
        EXPECT_EQ(error.Operation(), u"打开剪贴板");
    }
    SetEvent(done);
    holder.join();
    CloseHandle(held);
    CloseHandle(done);
}

}  // namespace
