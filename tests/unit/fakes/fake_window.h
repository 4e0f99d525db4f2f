// Recording fakes of the window's controls. Each can also write what happens to it into a journal
// shared with the system fakes of fake_repair.h, so a test sees the order of effects across them.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/window_services.h"

namespace varnel::testing {

using Journal = std::vector<std::u16string>;

inline void Note(Journal* journal, const std::u16string& entry) {
    if (journal != nullptr)
        journal->push_back(entry);
}

inline std::u16string Number(long long value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

struct FakeLogList : LogList {
    void AddItem(const std::u16string& line) override {
        Note(journal, u"log " + line);
        lines.push_back(line);
    }
    void RemoveItem(int16_t index) override { lines.erase(lines.begin() + index); }
    int16_t Count() const override { return static_cast<int16_t>(lines.size()); }
    void Select(int16_t index) override { selected = index; }
    void Clear() override { lines.clear(); }

    std::vector<std::u16string> lines;
    int selected = -1;
    Journal* journal = nullptr;
};

// Panel 2 is the status line the program talks through.
struct FakeStatusBar : StatusBar {
    void SetPanelText(int panel, const std::u16string& text) override {
        Note(journal, (panel == 2 ? u"status " : u"panel " + Number(panel) + u" ") + text);
    }
    Journal* journal = nullptr;
};

struct FakeTimeOfDay : TimeOfDay {
    std::u16string LongTimeText() override { return now; }
    std::u16string now = u"14:03:27";
};

struct FakeButton : Button {
    FakeButton(std::u16string name, std::u16string caption, Journal* journal)
        : name(std::move(name)), caption(std::move(caption)), journal(journal) {}
    void SetEnabled(bool on) override {
        Note(journal, name + (on ? u" enabled" : u" disabled"));
        enabled = on;
    }
    std::u16string Caption() const override { return caption; }
    void SetCaption(const std::u16string& text) override {
        Note(journal, name + u" caption " + text);
        caption = text;
    }

    std::u16string name, caption;
    Journal* journal;
    bool enabled = true;
};

// Answers message boxes from a script of replies (then No) and records what was shown; the
// journal gets the style and the text, and the title only when it is not the usual one.
struct FakeMessageBoxes : MessageBoxes {
    struct Shown {
        std::u16string text, title;
        unsigned style;
    };
    int Show(const std::u16string& text, const std::u16string& title, unsigned style) override {
        shown.push_back({text, title, style});
        Note(journal, u"box " + Number(style) + u" " +
                          (title == kBoxTitle ? text : u"[" + title + u"] " + text));
        if (replies.empty())
            return kAnswerNo;
        const int reply = replies.front();
        replies.erase(replies.begin());
        return reply;
    }

    std::vector<int> replies;
    std::vector<Shown> shown;
    Journal* journal = nullptr;
};

}  // namespace varnel::testing
