#include "ardmon_app.h"

#include <commctrl.h>

#include "ardmon_dlg.h"
#include "ini_view.h"

using ardmon::win32::CArdmonDlg;

CArdmonApp theApp;

CArdmonApp::CArdmonApp()
    : m_systemMessages(
          [this] { return m_pMainWnd != nullptr ? m_pMainWnd->LauncherWindows() : std::vector<HWND>(); })
{
}

BOOL CArdmonApp::InitInstance()
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&controls);

    CArdmonDlg dlg(nullptr);
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}

bool CArdmonApp::PreTranslateMessage(MSG& msg)
{
    if (m_pMainWnd == nullptr) return false;
    for (HWND window : m_pMainWnd->LauncherWindows()) {
        if (::IsDialogMessageA(window, &msg)) return true;
    }
    return false;
}

bool CArdmonApp::PumpMessage()
{
    MSG msg;
    if (::GetMessageA(&msg, nullptr, 0, 0) <= 0) return false;
    if (!PreTranslateMessage(msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return true;
}

void CArdmonApp::PumpWaitingMessages()
{
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (!PreTranslateMessage(msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
}

ardmon::MessageBoxes& CArdmonApp::Messages()
{
    return m_pMessages != nullptr ? *m_pMessages : m_systemMessages;
}

void CArdmonApp::SetMessages(ardmon::MessageBoxes* messages)
{
    m_pMessages = messages;
}
