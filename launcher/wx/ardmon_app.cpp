#include "ardmon_app.h"

#include "ardmon_dlg.h"

CArdmonApp theApp;

CArdmonApp::CArdmonApp() = default;
CArdmonApp::~CArdmonApp() = default;

ardmon::MessageBoxes& CArdmonApp::Messages()
{
    return m_pMessages != nullptr ? *m_pMessages : m_systemMessages;
}

void CArdmonApp::SetMessages(ardmon::MessageBoxes* messages)
{
    m_pMessages = messages;
}

bool CArdmonApp::InitInstance()
{
    auto* dlg = new CArdmonDlg(Messages());
    m_pMainWnd = dlg;
    if (!dlg->Create()) {
        delete dlg;
        return false;
    }
    if (!dlg->OnInitDialog()) {
        // A start-up check failed and has already ended the window.
        return false;
    }
    dlg->Centre();
    dlg->Show();
    return true;
}
