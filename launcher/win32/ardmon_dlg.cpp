#include "ardmon_dlg.h"

#include <shellapi.h>

#include "ardmon_app.h"
#include "environment_load.h"
#include "filesafe.h"
#include "ini_view.h"
#include "main_window_rules.h"
#include "names_and_messages.h"
#include "resource.h"

namespace ardmon::win32 {

namespace {

std::string ComboText(HWND combo, int index)
{
    const LRESULT length = ::SendMessageA(combo, CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR) return std::string();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    ::SendMessageA(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    return text;
}

// The main window as the load sees it.
class DlgLoadWindow final : public LoadWindow {
public:
    explicit DlgLoadWindow(CArdmonDlg& dlg) : m_dlg(dlg) {}

    int GetCurSel() override
    {
        return static_cast<int>(::SendMessageA(m_dlg.m_cmbProfiles, CB_GETCURSEL, 0, 0));
    }
    std::string GetLBText(int index) override { return ComboText(m_dlg.m_cmbProfiles, index); }
    std::string WorkDir() override { return m_dlg.m_strWorkDir; }
    void SetCurrentEnvironment(const std::string& text) override
    {
        ::SetDlgItemTextA(m_dlg.m_hWnd, IDC_CURRENT_ENV, text.c_str());
    }
    void ShowMessage(const std::string& text) override { AfxMessageBox(theApp.Messages(), text); }

private:
    CArdmonDlg& m_dlg;
};

// Centres window on the work area of its screen, as the wx build opens.
void CentreOnScreen(HWND window)
{
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!::GetMonitorInfoA(::MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor)) return;
    RECT frame;
    ::GetWindowRect(window, &frame);
    const RECT& work = monitor.rcWork;
    const int x = work.left + ((work.right - work.left) - (frame.right - frame.left)) / 2;
    const int y = work.top + ((work.bottom - work.top) - (frame.bottom - frame.top)) / 2;
    ::SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

INT_PTR ShellExecuteOpen(const std::string& program, const std::string& directory)
{
    HINSTANCE result =
        ::ShellExecuteA(nullptr, "open", program.c_str(), nullptr, directory.c_str(), SW_SHOWMAXIMIZED);
    return reinterpret_cast<INT_PTR>(result);
}

CArdmonDlg::CArdmonDlg(HWND hParent)
    : CDialogWnd(IDD_ARDMON_DIALOG, hParent),
      m_hIcon(::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      m_shellOpen(ShellExecuteOpen)
{
}

CArdmonDlg::~CArdmonDlg()
{
    // The viewers never outlive the main window.
    delete m_pClientView;
    m_pClientView = nullptr;
    delete m_pProfileView;
    m_pProfileView = nullptr;
}

bool CArdmonDlg::Create()
{
    if (!CreateHidden() || m_bEnded) return false;
    CentreOnScreen(m_hWnd);
    ::ShowWindow(m_hWnd, SW_SHOW);
    return true;
}

INT_PTR CArdmonDlg::DoModal()
{
    if (Create()) {
        while (!m_bEnded && theApp.PumpMessage()) {
        }
    }
    if (m_hWnd != nullptr) ::DestroyWindow(m_hWnd);
    return IDCANCEL;
}

std::vector<HWND> CArdmonDlg::LauncherWindows() const
{
    std::vector<HWND> windows;
    if (m_hWnd != nullptr) windows.push_back(m_hWnd);
    for (const CIniView* view : {m_pClientView, m_pProfileView}) {
        if (view != nullptr && view->m_hWnd != nullptr) windows.push_back(view->m_hWnd);
    }
    return windows;
}

BOOL CArdmonDlg::OnInitDialog()
{
    m_cmbProfiles = ::GetDlgItem(m_hWnd, IDC_PROFILES);
    ::SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    ::SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    m_strWorkDir = CurrentWorkDir();

    for (const std::string& name : ListProfiles(JoinPath(m_strWorkDir, kProfileFolder))) {
        ::SendMessageA(m_cmbProfiles, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }

    if (const auto message = FirstMissingEntryMessage(m_strWorkDir)) {
        AfxMessageBox(theApp.Messages(), *message);
        OnCancel();
        return FALSE;
    }

    const std::string display = LastLoadDisplayText(ReadLastLoadRecord(m_strWorkDir));
    ::SetDlgItemTextA(m_hWnd, IDC_CURRENT_ENV, display.c_str());

    HICON start = ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_START_TRADER));
    ::SendDlgItemMessageA(m_hWnd, IDC_START_TRADER, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(start));
    return TRUE;
}

bool CArdmonDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result)
{
    switch (message) {
        case WM_PAINT:
            return OnPaint();
        case WM_QUERYDRAGICON:
            result = reinterpret_cast<INT_PTR>(m_hIcon);
            return true;
        case WM_COMMAND:
            if (HIWORD(wParam) != BN_CLICKED) return false;
            switch (LOWORD(wParam)) {
                case IDC_CANCEL:
                    OnBnClickedCancel();
                    return true;
                case IDC_LOAD:
                    OnBnClickedLoad();
                    return true;
                case IDC_VIEW_CLIENT:
                    OnBnClickedViewClient();
                    return true;
                case IDC_VIEW_PROFILE:
                    OnBnClickedViewProfile();
                    return true;
                case IDC_START_TRADER:
                case IDC_LAUNCH:
                    OnBnClickedLaunch();
                    return true;
            }
            return false;
    }
    return false;
}

bool CArdmonDlg::OnPaint()
{
    if (!::IsIconic(m_hWnd)) return false;  // the dialog's own painting
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    ::SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    const IconOrigin origin =
        MinimizedIconOrigin(client.right - client.left, client.bottom - client.top,
                            ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON));
    ::DrawIcon(dc, origin.x, origin.y, m_hIcon);
    ::EndPaint(m_hWnd, &paint);
    return true;
}

void CArdmonDlg::OnBnClickedLoad()
{
    DlgLoadWindow window(*this);
    // While another load holds the client file, the windows keep painting;
    // only paint messages are taken, so no second load can start meanwhile.
    filesafe::DefaultLockWait().pump = [] {
        MSG message;
        while (::PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE))
            ::DispatchMessageA(&message);
    };
    RunEnvironmentLoad(window);
}

void CArdmonDlg::OnBnClickedViewClient()
{
    theApp.m_strIniFile = kClientFile;
    ShowViewer(m_pClientView);
}

void CArdmonDlg::OnBnClickedViewProfile()
{
    const int selection = static_cast<int>(::SendMessageA(m_cmbProfiles, CB_GETCURSEL, 0, 0));
    if (selection == CB_ERR) {
        AfxMessageBox(theApp.Messages(), kSelectProfileMessage);
        return;
    }
    theApp.m_strIniFile = JoinPath(kProfileFolder, ComboText(m_cmbProfiles, selection));
    ShowViewer(m_pProfileView);
}

void CArdmonDlg::ShowViewer(CIniView*& view)
{
    if (view == nullptr) view = new CIniView(m_hWnd);
    if (view->m_hWnd != nullptr) {
        // Every click gives a freshly read viewer.
        delete view;
        view = new CIniView(m_hWnd);
    }
    view->CreateHidden();
    if (view->m_hWnd != nullptr) ::ShowWindow(view->m_hWnd, SW_SHOW);
}

void CArdmonDlg::OnBnClickedLaunch()
{
    const LaunchOutcome outcome =
        InterpretLaunchResult(m_shellOpen(JoinPath(m_strWorkDir, kTerminalFile), m_strWorkDir));
    if (!outcome.message.empty()) AfxMessageBox(theApp.Messages(), outcome.message);
    if (outcome.close_launcher) OnCancel();
}

void CArdmonDlg::OnBnClickedCancel()
{
    OnCancel();
}

void CArdmonDlg::OnCancel()
{
    m_bEnded = true;
    if (m_hWnd != nullptr) ::ShowWindow(m_hWnd, SW_HIDE);
}

}  // namespace ardmon::win32
