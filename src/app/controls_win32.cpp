#include "app/controls_win32.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <iterator>
#include <vector>

#include "platform/win32/text.h"

namespace varnel::win32 {

void ListBoxControl::AddItem(const std::u16string& line) {
    const int index = ListBox_AddString(list_, Wide(line));
    if (index == LB_ERR || index == LB_ERRSPACE) {
        ThrowLastError(u"写入日志");
    }
}

void ListBoxControl::RemoveItem(int16_t index) {
    ListBox_DeleteString(list_, index);
}

int16_t ListBoxControl::Count() const {
    // LB_ERR, the only negative answer, counts as an empty list.
    return static_cast<int16_t>(std::max(ListBox_GetCount(list_), 0));
}

void ListBoxControl::Select(int16_t index) {
    ListBox_SetCurSel(list_, index);
}

void ListBoxControl::Clear() {
    ListBox_ResetContent(list_);
}

void StatusBarControl::SetPanelText(int panel, const std::u16string& text) {
    // Panels count from 1; the status bar counts its parts from 0.
    SendMessageW(bar_, SB_SETTEXTW, static_cast<WPARAM>(panel - 1),
                 reinterpret_cast<LPARAM>(Wide(text)));
}

void PushButton::SetEnabled(bool enabled) {
    EnableWindow(button_, enabled ? TRUE : FALSE);
}

std::u16string PushButton::Caption() const {
    const int length = GetWindowTextLengthW(button_);
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
    const int copied = GetWindowTextW(button_, buffer.data(), length + 1);
    return FromWide(buffer.data(), static_cast<size_t>(copied));
}

void PushButton::SetCaption(const std::u16string& caption) {
    SetWindowTextW(button_, Wide(caption));
}

int OwnedMessageBoxes::Show(const std::u16string& text, const std::u16string& title,
                            unsigned style) {
    const HWND owner = IsWindow(owner_) ? owner_ : nullptr;
    const int answer = MessageBoxW(owner, Wide(text), Wide(title), style);
    if (answer == 0) {
        if (owner != nullptr && !IsWindow(owner)) {
            return kAnswerNone;  // closed with its owner: the program is ending, not failing
        }
        ThrowLastError(u"显示消息框");
    }
    return answer;
}

namespace {

std::u16string FormatTime(DWORD flags, const wchar_t* format) {
    wchar_t buffer[128] = {};
    const int length = GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, flags, nullptr, format, buffer,
                                       static_cast<int>(std::size(buffer)));
    return length > 0 ? FromWide(buffer, static_cast<size_t>(length - 1)) : std::u16string();
}

}  // namespace

std::u16string UserTimeOfDay::LongTimeText() {
    return FormatTime(0, nullptr);
}

std::u16string ShortTimeText() {
    wchar_t format[80] = {};
    if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SSHORTTIME, format,
                        static_cast<int>(std::size(format))) > 0) {
        return FormatTime(0, format);
    }
    return FormatTime(TIME_NOSECONDS, nullptr);
}

bool RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = name;
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace varnel::win32
