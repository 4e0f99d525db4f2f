// The window's controls behind the portable interfaces.
#pragma once

#include <windows.h>

#include "platform/window_services.h"

namespace varnel::win32 {

class ListBoxControl : public LogList {
public:
    explicit ListBoxControl(HWND& list) : list_(list) {}
    void AddItem(const std::u16string& line) override;
    void RemoveItem(int16_t index) override;
    int16_t Count() const override;
    void Select(int16_t index) override;
    void Clear() override;

private:
    HWND& list_;
};

class StatusBarControl : public StatusBar {
public:
    explicit StatusBarControl(HWND& bar) : bar_(bar) {}
    void SetPanelText(int panel, const std::u16string& text) override;

private:
    HWND& bar_;
};

class PushButton : public Button {
public:
    explicit PushButton(HWND& button) : button_(button) {}
    void SetEnabled(bool enabled) override;
    std::u16string Caption() const override;
    void SetCaption(const std::u16string& caption) override;

private:
    HWND& button_;
};

class OwnedMessageBoxes : public MessageBoxes {
public:
    explicit OwnedMessageBoxes(HWND& owner) : owner_(owner) {}
    int Show(const std::u16string& text, const std::u16string& title, unsigned style) override;

private:
    HWND& owner_;
};

class ImmediateExit : public ProcessExit {
public:
    [[noreturn]] void EndNow() override { ExitProcess(0); }
};

class UserTimeOfDay : public TimeOfDay {
public:
    std::u16string LongTimeText() override;
};

// The current time in the user's short time format (hours and minutes), for the clock panel.
std::u16string ShortTimeText();

// Registers the class of one of the program's windows (arrow cursor, the system's button-face
// background) by the first window of it; true when the class exists.
bool RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure);

}  // namespace varnel::win32
