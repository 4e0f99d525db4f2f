// What portable code may do to the main window's controls. The Win32 window implements these;
// unit tests implement them with recording fakes.
#pragma once

#include <cstdint>
#include <string>

namespace varnel {

// The activity log's list box: unsorted, one selected line at a time.
class LogList {
public:
    virtual ~LogList() = default;
    virtual void AddItem(const std::u16string& line) = 0;  // appended as the last line
    virtual void RemoveItem(int16_t index) = 0;
    virtual int16_t Count() const = 0;
    virtual void Select(int16_t index) = 0;
    virtual void Clear() = 0;
};

// The status bar; panels are numbered from 1.
class StatusBar {
public:
    virtual ~StatusBar() = default;
    virtual void SetPanelText(int panel, const std::u16string& text) = 0;
};

// A push button's enabled state and caption.
class Button {
public:
    virtual ~Button() = default;
    virtual void SetEnabled(bool enabled) = 0;
    virtual std::u16string Caption() const = 0;
    virtual void SetCaption(const std::u16string& caption) = 0;
};

// Message box styles and answers used by the program (the Win32 values).
constexpr unsigned kStyleErrorOk = 16;    // MB_ICONERROR | MB_OK
constexpr unsigned kStyleInfoOk = 64;     // MB_ICONINFORMATION | MB_OK
constexpr unsigned kStyleInfoYesNo = 68;  // MB_ICONINFORMATION | MB_YESNO
constexpr int kAnswerNone = 0;            // the box went with its owner: nobody answered
constexpr int kAnswerYes = 6;             // IDYES
constexpr int kAnswerNo = 7;              // IDNO

// The title of every message box of the program.
inline constexpr char16_t kBoxTitle[] = u"提示";

// Modal message boxes owned by the main window. Returns the button pressed, or kAnswerNone when
// the owner was destroyed while the box was open (the box goes with it).
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual int Show(const std::u16string& text, const std::u16string& title, unsigned style) = 0;
};

// The current time of day as text in the user's long time format (hours, minutes, seconds).
class TimeOfDay {
public:
    virtual ~TimeOfDay() = default;
    virtual std::u16string LongTimeText() = 0;
};

}  // namespace varnel

namespace varnel {

// Whether the main window still exists. A handler that lets events through (the responsive wait)
// must ask after each pause: the user may have closed the window in the meantime.
class WindowPresence {
public:
    virtual ~WindowPresence() = default;
    virtual bool IsOpen() const = 0;
};

// Ends the process at once: no close question, no further step.
class ProcessExit {
public:
    virtual ~ProcessExit() = default;
    [[noreturn]] virtual void EndNow() = 0;
};

}  // namespace varnel
