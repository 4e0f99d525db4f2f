#include "platform/win32/message_loop.h"

#include <algorithm>
#include <vector>

namespace varnel::win32 {

namespace {
HWND g_dialogWindow = nullptr;
std::vector<HWND> g_otherDialogWindows;
}  // namespace

void SetDialogWindow(HWND window) {
    g_dialogWindow = window;
}

void AddDialogWindow(HWND window) {
    g_otherDialogWindows.push_back(window);
}

void RemoveDialogWindow(HWND window) {
    std::erase(g_otherDialogWindows, window);
}

void TranslateAndDispatch(MSG& message) {
    const HWND root = message.hwnd != nullptr ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (root != nullptr &&
        std::find(g_otherDialogWindows.begin(), g_otherDialogWindows.end(), root) !=
            g_otherDialogWindows.end() &&
        IsDialogMessageW(root, &message)) {
        return;
    }
    if (g_dialogWindow != nullptr && IsWindow(g_dialogWindow) &&
        IsDialogMessageW(g_dialogWindow, &message)) {
        return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

}  // namespace varnel::win32
