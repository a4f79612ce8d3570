// CIniView, the profile viewer "View Environment" made from dialog template
// 130: a modeless, resizable window that shows one INI file of the working
// directory read-only, its section names on the left and the chosen
// section's pairs on the right.
#pragma once

#include <windows.h>

#include <string>

#include "control_pos.h"
#include "dialog_window.h"

namespace ardmon::win32 {

class CIniView : public CDialogWnd {
public:
    // Makes no window yet; hParent owns the window once it is made.
    explicit CIniView(HWND hParent);

    // Shows the pairs of the selected section, read from the file afresh.
    void OnBnClickedGetKeys();
    void OnLbnDblclkSections();

    HICON m_hIcon;
    HWND m_listSections = nullptr;
    HWND m_listKeys = nullptr;
    CControlPos m_anchor;
    std::string m_strFile;

protected:
    // Reads the file named by theApp.m_strIniFile and fills the window.
    // FALSE when it could not be opened or has too many sections; the
    // window then stays, empty.
    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    void ShowMessage(const std::string& text);
};

}  // namespace ardmon::win32
