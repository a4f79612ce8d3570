#include "wx_message_boxes.h"

#include <wx/app.h>
#include <wx/msgdlg.h>

#include "text_conv.h"

namespace ardmon {

std::string ApplicationTitle()
{
    // wx takes the application name from argv[0]'s file name, extension cut.
    return wxTheApp != nullptr ? wxTheApp->GetAppName().ToStdString() : std::string();
}

int WxMessageBoxes::Show(const std::string& text, const std::string& caption, unsigned style)
{
    const bool question = (style & kBoxButtonsMask) == kBoxYesNo;
    long flags = (question ? wxYES_NO : wxOK) | wxCENTRE;
    switch (style & kBoxIconMask) {
        case kBoxIconQuestion:
            flags |= wxICON_QUESTION;
            break;
        case kBoxIconExclamation:
            flags |= wxICON_EXCLAMATION;
            break;
        default:
            flags |= wxICON_NONE;
            break;
    }
    const int answer = wxMessageBox(ToWx(text), ToWx(caption), flags);
    if (!question) return kAnswerOk;
    return answer == wxYES ? kAnswerYes : kAnswerNo;
}

}  // namespace ardmon
