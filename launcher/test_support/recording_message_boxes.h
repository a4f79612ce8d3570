// Message boxes that answer at once and remember what they showed.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "message_boxes.h"

namespace ardmon::test {

class RecordingMessageBoxes final : public MessageBoxes {
public:
    struct Shown {
        std::string text;
        std::string caption;
        unsigned style;
    };

    int Show(const std::string& text, const std::string& caption, unsigned style) override
    {
        shown.push_back({text, caption, style});
        if (on_show) on_show(text);
        return (style & kBoxButtonsMask) == kBoxYesNo ? kAnswerYes : kAnswerOk;
    }

    std::vector<std::string> Texts() const
    {
        std::vector<std::string> texts;
        for (const Shown& s : shown)
            texts.push_back(s.text);
        return texts;
    }

    std::vector<Shown> shown;
    // Runs inside each box, while it would be open.
    std::function<void(const std::string&)> on_show;
};

}  // namespace ardmon::test
