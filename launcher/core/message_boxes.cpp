#include "message_boxes.h"

namespace ardmon {

unsigned WithFrameworkIcon(unsigned style)
{
    if ((style & kBoxIconMask) != 0) return style;
    const bool question = (style & kBoxButtonsMask) == kBoxYesNo;
    return style | (question ? kBoxIconQuestion : kBoxIconExclamation);
}

int AfxMessageBox(MessageBoxes& boxes, const std::string& text, unsigned style)
{
    return boxes.Show(text, ApplicationTitle(), WithFrameworkIcon(style));
}

}  // namespace ardmon
