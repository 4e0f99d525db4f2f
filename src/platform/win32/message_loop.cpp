#include "platform/win32/message_loop.h"

namespace varnel::win32 {
namespace {

constexpr wchar_t kDialogKeys[] = L"VarnelDialogKeys";

}  // namespace

void EnableDialogKeys(HWND window) {
    SetPropW(window, kDialogKeys, reinterpret_cast<HANDLE>(1));
}

void DisableDialogKeys(HWND window) {
    RemovePropW(window, kDialogKeys);
}

void TranslateAndDispatch(HWND dialog, MSG& message) {
    const HWND root = message.hwnd != nullptr ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (root != nullptr && (root == dialog || GetPropW(root, kDialogKeys) != nullptr) &&
        IsDialogMessageW(root, &message)) {
        return;
    }
    if (dialog != nullptr && root == nullptr && IsWindow(dialog) &&
        IsDialogMessageW(dialog, &message)) {
        return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

}  // namespace varnel::win32
