#include "ardmon_dlg.h"

#include <wx/button.h>
#include <wx/combobox.h>
#include <wx/dcclient.h>
#include <wx/settings.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include "ardmon_app.h"
#include "ardmon_resources.h"
#include "dialog_template.h"
#include "environment_load.h"
#include "filesafe.h"
#include "ini_view.h"
#include "main_window_rules.h"
#include "resource.h"
#include "shell_execute.h"
#include "text_conv.h"

using namespace ardmon;

namespace {

// The main window as the load sees it.
class DlgLoadWindow final : public LoadWindow {
public:
    DlgLoadWindow(CArdmonDlg& dlg, MessageBoxes& messages) : m_dlg(dlg), m_messages(messages) {}

    int GetCurSel() override { return m_dlg.m_cmbProfiles->GetSelection(); }
    std::string GetLBText(int index) override { return ItemText(*m_dlg.m_cmbProfiles, index); }
    std::string WorkDir() override { return m_dlg.m_strWorkDir; }
    void SetCurrentEnvironment(const std::string& text) override
    {
        m_dlg.SetDlgItemText(IDC_CURRENT_ENV, text);
    }
    void ShowMessage(const std::string& text) override { AfxMessageBox(m_messages, text); }

private:
    CArdmonDlg& m_dlg;
    MessageBoxes& m_messages;
};

}  // namespace

CArdmonDlg::CArdmonDlg(MessageBoxes& messages)
    : m_hIcon(LoadArdmonIcon(IDR_MAINFRAME)), m_shellOpen(ShellExecuteOpen), m_messages(messages)
{
}

CArdmonDlg::~CArdmonDlg()
{
    // The viewers never outlive the main window.
    delete m_pClientView;
    m_pClientView = nullptr;
    delete m_pProfileView;
    m_pProfileView = nullptr;
    if (theApp.m_pMainWnd == this) {
        theApp.m_pMainWnd = nullptr;
    }
}

bool CArdmonDlg::Create()
{
    if (!CreateFromTemplate(*this, nullptr, IDD_ARDMON_DIALOG)) {
        return false;
    }
    m_cmbProfiles = dynamic_cast<wxComboBox*>(FindWindow(IDC_PROFILES));

    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { OnBnClickedCancel(); }, IDC_CANCEL);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { OnBnClickedLoad(); }, IDC_LOAD);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { OnBnClickedViewClient(); }, IDC_VIEW_CLIENT);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { OnBnClickedViewProfile(); }, IDC_VIEW_PROFILE);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { OnBnClickedLaunch(); }, IDC_START_TRADER);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { OnBnClickedLaunch(); }, IDC_LAUNCH);
    Bind(wxEVT_PAINT, &CArdmonDlg::OnPaint, this);
    Bind(wxEVT_CHAR_HOOK, &CArdmonDlg::OnCharHook, this);
    Bind(wxEVT_CLOSE_WINDOW, &CArdmonDlg::OnClose, this);
    // Esc is handled above; wx must not press a button for it.
    SetEscapeId(wxID_NONE);
    return true;
}

bool CArdmonDlg::OnInitDialog()
{
    SetIcon(m_hIcon);

    m_strWorkDir = CurrentWorkDir();

    for (const std::string& name : ListProfiles(JoinPath(m_strWorkDir, kProfileFolder))) {
        AppendItemBytes(*m_cmbProfiles, name);
    }
    m_cmbProfiles->SetSelection(wxNOT_FOUND);

    if (const auto message = FirstMissingEntryMessage(m_strWorkDir)) {
        AfxMessageBox(m_messages, *message);
        OnCancel();
        return false;
    }

    std::string recorded = ReadLastLoadRecord(m_strWorkDir);
    if (recorded.size() == kRecordBufferSize - 1) {
        recorded = MarkCutCharacter(recorded);  // it may have been cut inside a character
    }
    SetDlgItemText(IDC_CURRENT_ENV, LastLoadDisplayText(recorded));

    if (auto* start = dynamic_cast<wxButton*>(FindWindow(IDC_START_TRADER))) {
        start->SetBitmap(LoadArdmonIcon(IDI_START_TRADER));
    }
    return true;
}

void CArdmonDlg::SetDlgItemText(int id, const std::string& text)
{
    if (wxWindow* item = FindWindow(id)) {
        if (auto* edit = dynamic_cast<wxTextCtrl*>(item)) {
            edit->ChangeValue(ToWx(text));
        } else {
            item->SetLabel(ToWx(text));
        }
    }
}

void CArdmonDlg::OnBnClickedLoad()
{
    DlgLoadWindow window(*this, m_messages);
    // While another load holds the client file, the windows keep painting;
    // they take no input, so no second load can start meanwhile.
    filesafe::DefaultLockWait().pump = [] { wxSafeYield(nullptr, true); };
    RunEnvironmentLoad(window);
}

void CArdmonDlg::OnBnClickedViewClient()
{
    theApp.m_strIniFile = kClientFile;
    ShowViewer(m_pClientView);
}

void CArdmonDlg::OnBnClickedViewProfile()
{
    const int selection = m_cmbProfiles->GetSelection();
    if (selection == wxNOT_FOUND) {
        AfxMessageBox(m_messages, kSelectProfileMessage);
        return;
    }
    theApp.m_strIniFile = JoinPath(kProfileFolder, ItemText(*m_cmbProfiles, selection));
    ShowViewer(m_pProfileView);
}

void CArdmonDlg::ShowViewer(CIniView*& view)
{
    if (view == nullptr) {
        view = new CIniView(m_messages, this);
    }
    if (view->GetHandle() == nullptr) {
        view->Create();
    } else {
        // Every click gives a freshly read viewer.
        delete view;
        view = new CIniView(m_messages, this);
        view->Create();
    }
    if (view->GetHandle() != nullptr) {
        view->Show();
    }
}

void CArdmonDlg::OnBnClickedLaunch()
{
    const std::string program = JoinPath(m_strWorkDir, kTerminalFile);
    const LaunchOutcome outcome = InterpretLaunchResult(m_shellOpen(program, m_strWorkDir));
    if (!outcome.message.empty()) {
        AfxMessageBox(m_messages, outcome.message);
    }
    if (outcome.close_launcher) {
        OnCancel();
    }
}

void CArdmonDlg::OnBnClickedCancel()
{
    OnCancel();
}

void CArdmonDlg::OnCancel()
{
    if (m_bEnded) {
        return;
    }
    m_bEnded = true;
    Hide();
    Destroy();
}

void CArdmonDlg::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    if (!IsIconized() || !m_hIcon.IsOk()) {
        return;
    }
    int icon_width = wxSystemSettings::GetMetric(wxSYS_ICON_X, this);
    int icon_height = wxSystemSettings::GetMetric(wxSYS_ICON_Y, this);
    if (icon_width <= 0 || icon_height <= 0) {
        icon_width = m_hIcon.GetWidth();
        icon_height = m_hIcon.GetHeight();
    }
    const wxSize client = GetClientSize();
    const IconOrigin origin =
        MinimizedIconOrigin(client.GetWidth(), client.GetHeight(), icon_width, icon_height);
    dc.DrawIcon(m_hIcon, origin.x, origin.y);
}

void CArdmonDlg::OnCharHook(wxKeyEvent& event)
{
    // The Cancel button is hidden, so wx would not act on Esc by itself.
    if (event.GetKeyCode() == WXK_ESCAPE && event.GetModifiers() == wxMOD_NONE) {
        OnBnClickedCancel();
        return;
    }
    event.Skip();
}

void CArdmonDlg::OnClose(wxCloseEvent&)
{
    OnBnClickedCancel();
}
