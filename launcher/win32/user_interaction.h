// Every message the Windows launcher shows goes through UserInteraction, so
// its windows can be driven without anyone at the screen: tests install one
// that answers at once and records what was shown.
#pragma once

#include <windows.h>

#include <string>

namespace ardmon::win32 {

class UserInteraction {
public:
    virtual ~UserInteraction() = default;
    // Shows text under caption with the buttons of style, owned by owner;
    // waits for the user and returns the button pressed.
    virtual int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT style) = 0;
};

// MessageBoxA itself.
class SystemInteraction final : public UserInteraction {
public:
    int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT style) override;
};

// The program's title: its executable's file name without folder and
// extension ("Ardmon").
std::string ApplicationTitle();

}  // namespace ardmon::win32
