// CIniView, the profile viewer "View Environment": a modeless, resizable
// window that shows one INI file of the working directory read-only, its
// section names on the left and the chosen section's pairs on the right.
#pragma once

#include <string>

#include <wx/dialog.h>
#include <wx/icon.h>

#include "control_pos.h"
#include "message_boxes.h"

class wxListBox;
class wxDataViewListCtrl;

class CIniView : public wxDialog {
public:
    // Makes no window yet.
    CIniView(ardmon::MessageBoxes& messages, wxWindow* pParent);
    ~CIniView() override;

    // Makes the window from template 130, hidden, and fills it from the
    // file named by theApp.m_strIniFile. Fails only when the toolkit cannot
    // make the window.
    bool Create();

    // Reads the file and fills the window. false when the file could not be
    // opened or has too many sections; the window then stays open, empty.
    bool OnInitDialog();

    // Shows the pairs of the selected section, read from the file afresh.
    void OnBnClickedGetKeys();
    void OnLbnDblclkSections();

    wxIcon m_hIcon;
    wxListBox* m_listSections = nullptr;
    wxDataViewListCtrl* m_listKeys = nullptr;
    ardmon::CControlPos m_anchor;
    std::string m_strFile;

private:
    void OnSize(wxSizeEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void OnClose(wxCloseEvent& event);

    wxWindow* m_pParentWnd;
    ardmon::MessageBoxes& m_messages;
};
