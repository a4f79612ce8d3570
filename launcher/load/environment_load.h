// The environment load: merges the chosen profile of env/ into halvoclient.ini
// section by section and key by key, then records which profile was loaded
// and when. It runs against LoadWindow, which stands for the main window, so
// the whole load can be driven without a real window.
#pragma once

#include <string>

namespace ardmon {

// What the load needs from the main window.
class LoadWindow {
public:
    virtual ~LoadWindow() = default;
    // Index of the selected profile in the list, or -1 when none is selected.
    virtual int GetCurSel() = 0;
    // Text of the list item at index (the profile's file name, ".ini" included).
    virtual std::string GetLBText(int index) = 0;
    // The working directory taken when the window opened.
    virtual std::string WorkDir() = 0;
    // Sets the text of edit box 1005 ("Current Environment").
    virtual void SetCurrentEnvironment(const std::string& text) = 0;
    // Shows a modal message with OK and waits for the user.
    virtual void ShowMessage(const std::string& text) = 0;
};

// OnBnClickedLoad's whole logic.
void RunEnvironmentLoad(LoadWindow& window);

}  // namespace ardmon
