// The wx message box: modal, OK with the exclamation icon, captioned with the
// application title.
#include <gtest/gtest.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>
#include <wx/testing.h>

#include "gui_test_support.h"
#include "wx_message_boxes.h"

using namespace ardmon;

namespace {

class ExpectMessageBox : public wxExpectModal<wxMessageDialog> {
public:
    ExpectMessageBox(std::string text, std::string caption)
        : wxExpectModal<wxMessageDialog>(wxID_OK), text_(std::move(text)), caption_(std::move(caption))
    {
    }

protected:
    int OnInvoked(wxMessageDialog* dlg) const override
    {
        EXPECT_EQ(dlg->GetMessage().ToStdString(), text_);
        EXPECT_EQ(dlg->GetTitle().ToStdString(), caption_);
        EXPECT_EQ(dlg->GetMessageDialogStyle() & (wxOK | wxCANCEL | wxYES_NO), wxOK);
        EXPECT_EQ(dlg->GetMessageDialogStyle() & wxICON_MASK, wxICON_EXCLAMATION);
        return wxExpectModal<wxMessageDialog>::OnInvoked(dlg);
    }

private:
    std::string text_;
    std::string caption_;
};

TEST(WxMessages, ShowsAModalOkBoxCaptionedWithTheProgramName)
{
    EXPECT_EQ(ApplicationTitle(), test::ExpectedTitle());
    WxMessageBoxes messages;
    int result = 0;
    wxTEST_DIALOG(result = AfxMessageBox(messages, "No folder found /home/u/term/env"),
                  ExpectMessageBox("No folder found /home/u/term/env", test::ExpectedTitle()));
    EXPECT_EQ(result, kAnswerOk);
}

}  // namespace
