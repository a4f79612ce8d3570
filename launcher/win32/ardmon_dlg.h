// CArdmonDlg, the launcher's main window "Halvo Launcher" made from dialog
// template 102: the profile list, the load, the two view buttons and the
// terminal start.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "dialog_window.h"

namespace ardmon::win32 {

class CIniView;

class CArdmonDlg : public CDialogWnd {
public:
    // Starts the terminal, as ShellExecuteA does; returns its result.
    using ShellOpen = std::function<INT_PTR(const std::string& program, const std::string& directory)>;

    explicit CArdmonDlg(HWND hParent);
    // Deletes the viewers, then the window goes.
    ~CArdmonDlg() override;

    // Runs the window until it ends: makes it, shows it when its start-up
    // succeeded and handles messages until OnCancel.
    INT_PTR DoModal();

    // Makes the window and runs its start-up; shows it when that succeeded.
    // false when a start-up check ended it.
    bool Create();

    void OnBnClickedLoad();
    void OnBnClickedViewClient();
    void OnBnClickedViewProfile();
    void OnBnClickedLaunch();
    void OnBnClickedCancel();
    // Ends the window: hidden at once, destroyed when DoModal returns.
    void OnCancel();

    // The main window and every viewer window that exists.
    std::vector<HWND> LauncherWindows() const;

    HICON m_hIcon;
    HWND m_cmbProfiles = nullptr;
    std::string m_strWorkDir;
    CIniView* m_pClientView = nullptr;
    CIniView* m_pProfileView = nullptr;

    // ShellExecuteA unless replaced.
    ShellOpen m_shellOpen;
    // True once OnCancel has ended the window.
    bool m_bEnded = false;

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    bool OnPaint();
    void ShowViewer(CIniView*& view);
};

// ShellExecuteA with the verb "open", no parameters, the given directory and
// SW_SHOWMAXIMIZED; its result as a number.
INT_PTR ShellExecuteOpen(const std::string& program, const std::string& directory);

}  // namespace ardmon::win32
