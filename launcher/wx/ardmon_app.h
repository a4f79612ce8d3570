// The application object. Start-up makes the main window and shows it; the
// window runs modeless under the application's main loop and the program
// ends when it is destroyed.
#pragma once

#include <memory>
#include <string>

#include "wx_message_boxes.h"

class CArdmonDlg;

class CArdmonApp {
public:
    CArdmonApp();
    ~CArdmonApp();

    CArdmonApp(const CArdmonApp&) = delete;
    CArdmonApp& operator=(const CArdmonApp&) = delete;

    // Makes the main window, runs its start-up and shows it. false when a
    // start-up check ended it: there is nothing to run then.
    bool InitInstance();

    // The messages every window of the launcher shows.
    ardmon::MessageBoxes& Messages();

    // The file, relative to the working directory, that the next viewer
    // shows.
    std::string m_strIniFile;

    // The main window while it exists.
    CArdmonDlg* m_pMainWnd = nullptr;

    // Tests replace the message boxes; null restores them.
    void SetMessages(ardmon::MessageBoxes* messages);

private:
    ardmon::WxMessageBoxes m_systemMessages;
    ardmon::MessageBoxes* m_pMessages = nullptr;
};

extern CArdmonApp theApp;
