// CArdmonDlg, the launcher's main window "Halvo Launcher": the profile list,
// the load, the two view buttons and the terminal start.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include <wx/dialog.h>
#include <wx/icon.h>

#include "message_boxes.h"

class wxComboBox;
class CIniView;

class CArdmonDlg : public wxDialog {
public:
    // Starts the terminal; stands for the shell's "open". Returns the
    // Windows result code.
    using ShellOpen = std::function<std::intptr_t(const std::string& path, const std::string& dir)>;

    explicit CArdmonDlg(ardmon::MessageBoxes& messages);
    ~CArdmonDlg() override;

    // Makes the window from template 102, hidden.
    bool Create();

    // Start-up: icons, working directory, profile list, the three checks,
    // last load. false when a check failed; the window is ended then.
    bool OnInitDialog();

    void OnBnClickedLoad();
    void OnBnClickedViewClient();
    void OnBnClickedViewProfile();
    void OnBnClickedLaunch();
    void OnBnClickedCancel();

    // Ends the window: it is destroyed, and with it the launcher.
    void OnCancel();

    // Sets the text of control id.
    void SetDlgItemText(int id, const std::string& text);

    wxIcon m_hIcon;
    wxComboBox* m_cmbProfiles = nullptr;
    std::string m_strWorkDir;
    CIniView* m_pClientView = nullptr;
    CIniView* m_pProfileView = nullptr;

    // How the terminal is started; the real shell stand-in unless replaced.
    ShellOpen m_shellOpen;

    // True once OnCancel has ended the window.
    bool m_bEnded = false;

private:
    void OnPaint(wxPaintEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void OnClose(wxCloseEvent& event);
    void ShowViewer(CIniView*& view);

    ardmon::MessageBoxes& m_messages;
};
