// The launcher's message boxes as wx shows them: wxMessageBox, modal to every
// window of the program.
#pragma once

#include "message_boxes.h"

namespace ardmon {

class WxMessageBoxes final : public MessageBoxes {
public:
    int Show(const std::string& text, const std::string& caption, unsigned style) override;
};

}  // namespace ardmon
