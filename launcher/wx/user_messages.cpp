#include "user_messages.h"

#include <wx/app.h>
#include <wx/msgdlg.h>

#include "text_conv.h"

namespace ardmon {

std::string ApplicationTitle()
{
    // wx takes the application name from argv[0]'s file name, extension cut.
    return wxTheApp != nullptr ? wxTheApp->GetAppName().ToStdString() : std::string();
}

int AfxMessageBox(UserMessages& messages, const std::string& text)
{
    return messages.MessageBox(text, ApplicationTitle(), MB_OK);
}

int WxUserMessages::MessageBox(const std::string& text, const std::string& caption, unsigned /*style*/)
{
    // The launcher only ever asks for OK.
    wxMessageBox(ToWx(text), ToWx(caption), wxOK | wxCENTRE);
    return IDOK;
}

}  // namespace ardmon
