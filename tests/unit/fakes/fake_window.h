// Recording fakes of the window's controls, shared by the unit tests.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/window_services.h"

namespace varnel::testing {

class FakeLogList : public LogList {
public:
    void AddItem(const std::u16string& line) override { lines.push_back(line); }
    void RemoveItem(int16_t index) override { lines.erase(lines.begin() + index); }
    int16_t Count() const override { return static_cast<int16_t>(lines.size()); }
    void Select(int16_t index) override { selected = index; }
    void Clear() override {
        lines.clear();
        selected = -1;
    }

    std::vector<std::u16string> lines;
    int selected = -1;
};

class FakeStatusBar : public StatusBar {
public:
    void SetPanelText(int panel, const std::u16string& text) override {
        sets.emplace_back(panel, text);
    }
    std::u16string Panel2() const {
        for (auto it = sets.rbegin(); it != sets.rend(); ++it) {
            if (it->first == 2)
                return it->second;
        }
        return u"";
    }

    std::vector<std::pair<int, std::u16string>> sets;
};

class FakeTimeOfDay : public TimeOfDay {
public:
    std::u16string LongTimeText() override { return now; }
    std::u16string now = u"14:03:27";
};

class FakeButton : public Button {
public:
    explicit FakeButton(std::u16string caption = u"", bool enabled = false)
        : caption_(std::move(caption)), enabled_(enabled) {}
    bool Enabled() const override { return enabled_; }
    void SetEnabled(bool enabled) override { enabled_ = enabled; }
    std::u16string Caption() const override { return caption_; }
    void SetCaption(const std::u16string& caption) override { caption_ = caption; }

private:
    std::u16string caption_;
    bool enabled_;
};

// Answers message boxes from a script of replies and records what was shown.
class FakeMessageBoxes : public MessageBoxes {
public:
    struct Shown {
        std::u16string text, title;
        unsigned style;
    };
    int Show(const std::u16string& text, const std::u16string& title, unsigned style) override {
        shown.push_back({text, title, style});
        if (replies.empty())
            return kAnswerNo;
        const int reply = replies.front();
        replies.erase(replies.begin());
        return reply;
    }

    std::vector<int> replies;
    std::vector<Shown> shown;
};

}  // namespace varnel::testing
