// The application object of the Windows launcher. InitInstance runs the main
// window to its end with a message loop of its own, which hands every
// message to IsDialogMessage for each open window of the launcher, so Enter,
// Esc and Tab work in the modeless viewers as in the main window.
#pragma once

#include <windows.h>

#include <string>

#include "win32_message_boxes.h"

namespace ardmon::win32 {
class CArdmonDlg;
}

class CArdmonApp {
public:
    CArdmonApp();
    CArdmonApp(const CArdmonApp&) = delete;
    CArdmonApp& operator=(const CArdmonApp&) = delete;

    // Common controls, the main window run to its end; FALSE always, so no
    // further loop runs and the process ends.
    BOOL InitInstance();

    // Waits for one message and handles it. false after WM_QUIT.
    bool PumpMessage();

    // Handles the messages already waiting, without blocking.
    void PumpWaitingMessages();

    // The message boxes every window of the launcher shows; tests install
    // their own, null restores the system's.
    ardmon::MessageBoxes& Messages();
    void SetMessages(ardmon::MessageBoxes* messages);

    // The file, relative to the working directory, that the next viewer
    // shows.
    std::string m_strIniFile;

    // The main window while it exists.
    ardmon::win32::CArdmonDlg* m_pMainWnd = nullptr;

private:
    bool PreTranslateMessage(MSG& msg);

    ardmon::win32::Win32MessageBoxes m_systemMessages;
    ardmon::MessageBoxes* m_pMessages = nullptr;
};

extern CArdmonApp theApp;
