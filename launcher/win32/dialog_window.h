// A dialog window made from a template of the program's resources, with its
// messages handed to a C++ object: the little the launcher's two windows
// share.
#pragma once

#include <windows.h>

namespace ardmon::win32 {

class CDialogWnd {
public:
    CDialogWnd(int template_id, HWND owner) : m_nTemplateId(template_id), m_hOwner(owner) {}
    // Destroys the window if it still exists.
    virtual ~CDialogWnd();

    CDialogWnd(const CDialogWnd&) = delete;
    CDialogWnd& operator=(const CDialogWnd&) = delete;

    // Makes the window from the template with WS_VISIBLE taken out, so that
    // a window whose start-up fails is never shown; OnInitDialog runs
    // during the creation. The caller shows the window. false when no
    // window was made.
    bool CreateHidden();

    HWND m_hWnd = nullptr;

protected:
    virtual BOOL OnInitDialog() = 0;
    // Handles one message. Returns true when it was handled, with the
    // dialog procedure's result in result.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) = 0;

    int m_nTemplateId;
    HWND m_hOwner;

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
};

}  // namespace ardmon::win32
