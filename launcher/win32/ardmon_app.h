// The application object of the Windows launcher. InitInstance runs the main
// window to its end with a message loop of its own, which hands every
// message to IsDialogMessage for each open window of the launcher, so Enter,
// Esc and Tab work in the modeless viewers as in the main window.
#pragma once

#include <windows.h>

#include <string>

#include "user_interaction.h"

namespace ardmon::win32 {
class CArdmonDlg;
}

class CArdmonApp {
public:
    // Common controls, the main window run to its end; FALSE always, so no
    // further loop runs and the process ends.
    BOOL InitInstance();

    // Waits for one message and handles it. false after WM_QUIT.
    bool PumpMessage();

    // Handles the messages already waiting, without blocking.
    void PumpWaitingMessages();

    // The messages every window of the launcher shows; tests install their
    // own, null restores the system's.
    ardmon::win32::UserInteraction& Interaction();
    void SetInteraction(ardmon::win32::UserInteraction* interaction);

    // Shows text with OK under the program's title, owned by owner.
    int AfxMessageBox(HWND owner, const std::string& text);

    // The file, relative to the working directory, that the next viewer
    // shows.
    std::string m_strIniFile;

    // The main window while it exists.
    ardmon::win32::CArdmonDlg* m_pMainWnd = nullptr;

private:
    bool PreTranslateMessage(MSG& msg);

    ardmon::win32::SystemInteraction m_system;
    ardmon::win32::UserInteraction* m_pInteraction = nullptr;
};

extern CArdmonApp theApp;
