// Every message box of the launcher goes through MessageBoxes, so the windows
// can be driven without anyone at the screen: each front end shows real boxes,
// tests install one that answers at once and records what was shown.
#pragma once

#include <string>

namespace ardmon {

// A box's buttons and icon, and the button pressed, with the values Windows
// gives them.
inline constexpr unsigned kBoxOk = 0x0;
inline constexpr unsigned kBoxYesNo = 0x4;
inline constexpr unsigned kBoxButtonsMask = 0xF;
inline constexpr unsigned kBoxIconQuestion = 0x20;
inline constexpr unsigned kBoxIconExclamation = 0x30;
inline constexpr unsigned kBoxIconMask = 0xF0;
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerYes = 6;
inline constexpr int kAnswerNo = 7;

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Shows text under caption with the buttons and icon of style, modal to
    // every window of the launcher; waits for the user and returns the
    // button pressed.
    virtual int Show(const std::string& text, const std::string& caption, unsigned style) = 0;
};

// The icon the application framework gives a box that asks for none: the
// question mark to a Yes/No question, the exclamation mark to the rest.
unsigned WithFrameworkIcon(unsigned style);

// The program's title, the caption of its boxes: the executable's file name
// without folder and extension. Each front end has its own.
std::string ApplicationTitle();

// The launcher's one way of telling the user something: text with the
// buttons of style (OK unless told) and the framework's icon, under the
// program's title.
int AfxMessageBox(MessageBoxes& boxes, const std::string& text, unsigned style = kBoxOk);

}  // namespace ardmon
