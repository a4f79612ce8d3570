// Every message the launcher shows goes through UserMessages, so the windows
// can be driven without anyone at the screen. The wx implementation shows a
// modal message box with OK, captioned with the application title.
#pragma once

#include <string>

class wxWindow;

namespace ardmon {

constexpr unsigned MB_OK = 0x0;
constexpr int IDOK = 1;

class UserMessages {
public:
    virtual ~UserMessages() = default;
    // Shows text under caption with the buttons of style; waits for the user
    // and returns the button pressed (IDOK for MB_OK).
    virtual int MessageBox(const std::string& text, const std::string& caption, unsigned style) = 0;
};

// The title the launcher's message boxes carry: the executable's file name
// without directory and extension ("ardmon").
std::string ApplicationTitle();

// The launcher's one way of telling the user something: text, OK, the
// application title as caption.
int AfxMessageBox(UserMessages& messages, const std::string& text);

// Modal wxMessageBox.
class WxUserMessages final : public UserMessages {
public:
    int MessageBox(const std::string& text, const std::string& caption, unsigned style) override;
};

}  // namespace ardmon
