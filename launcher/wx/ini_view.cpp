#include "ini_view.h"

#include <vector>

#include <wx/dataview.h>
#include <wx/listbox.h>
#include <wx/textctrl.h>

#include "ardmon_app.h"
#include "ardmon_resources.h"
#include "dialog_template.h"
#include "filesafe.h"
#include "main_window_rules.h"
#include "names_and_messages.h"
#include "parse_rules.h"
#include "private_profile.h"
#include "resource.h"
#include "text_conv.h"

using namespace ardmon;

CIniView::CIniView(MessageBoxes& messages, wxWindow* pParent)
    : m_hIcon(LoadArdmonIcon(IDR_MAINFRAME)), m_anchor(nullptr), m_pParentWnd(pParent), m_messages(messages)
{
}

CIniView::~CIniView() = default;

bool CIniView::Create()
{
    if (!CreateFromTemplate(*this, m_pParentWnd, IDD_INIVIEW)) {
        return false;
    }
    m_listSections = dynamic_cast<wxListBox*>(FindWindow(IDC_SECTIONS));
    m_listKeys = dynamic_cast<wxDataViewListCtrl*>(FindWindow(IDC_KEYS));

    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { OnBnClickedGetKeys(); }, IDC_GET_KEYS);
    Bind(
        wxEVT_LISTBOX_DCLICK, [this](wxCommandEvent&) { OnLbnDblclkSections(); }, IDC_SECTIONS);
    Bind(wxEVT_SIZE, &CIniView::OnSize, this);
    Bind(wxEVT_CHAR_HOOK, &CIniView::OnCharHook, this);
    Bind(wxEVT_CLOSE_WINDOW, &CIniView::OnClose, this);
    SetEscapeId(wxID_NONE);

    OnInitDialog();
    CentreOnParent();
    return true;
}

bool CIniView::OnInitDialog()
{
    SetIcon(m_hIcon);

    const std::string path = JoinPath(CurrentWorkDir(), theApp.m_strIniFile);
    if (!filesafe::CanReadRegularFile(path)) {
        AfxMessageBox(m_messages, "Can not open " + theApp.m_strIniFile + " file");
        return false;
    }

    std::vector<char> names(kNamesBufferSize);
    const DWORD length = GetPrivateProfileSectionNamesA(names.data(), kNamesBufferSize, path.c_str());
    if (length == kNamesOverflow) {
        AfxMessageBox(m_messages, kTooManySectionsMessage);
        return false;
    }
    SplitSectionNames(names.data(), length,
                      [this](std::string_view name) { AppendItemBytes(*m_listSections, name); });

    // Resizable by the user, never sorted.
    m_listKeys->AppendTextColumn("Key Name", wxDATAVIEW_CELL_INERT, 100, wxALIGN_LEFT,
                                 wxDATAVIEW_COL_RESIZABLE);
    m_listKeys->AppendTextColumn("Key Value", wxDATAVIEW_CELL_INERT, 100, wxALIGN_LEFT,
                                 wxDATAVIEW_COL_RESIZABLE);

    m_anchor.AttachParent(this);
    m_anchor.AnchorControl(IDC_SECTIONS, ANCHOR_SIZE_X | ANCHOR_SIZE_Y);
    m_anchor.AnchorControl(IDC_KEYS, ANCHOR_SIZE_Y | ANCHOR_MOVE_X);
    m_anchor.AnchorControl(IDC_GET_KEYS, ANCHOR_MOVE_Y);
    m_anchor.AnchorControl(IDC_STATIC, ANCHOR_SIZE_X | ANCHOR_SIZE_Y);

    if (auto* edit = dynamic_cast<wxTextCtrl*>(FindWindow(IDC_FILE_NAME))) {
        edit->ChangeValue(ToWx(theApp.m_strIniFile));
    }
    m_strFile = theApp.m_strIniFile;
    return true;
}

void CIniView::OnBnClickedGetKeys()
{
    const int selection = m_listSections->GetSelection();
    if (selection == wxNOT_FOUND) {
        AfxMessageBox(m_messages, "Select any section name,to display the keys");
        return;
    }
    const std::string section = ItemText(*m_listSections, selection);

    const std::string path = JoinPath(CurrentWorkDir(), m_strFile);
    if (!filesafe::CanReadRegularFile(path)) {
        AfxMessageBox(m_messages, "Can not open " + m_strFile + " file");
        return;
    }

    std::vector<char> content(kSectionBufferSize);
    const DWORD length =
        GetPrivateProfileSectionA(section.c_str(), content.data(), kSectionBufferSize, path.c_str());
    if (length == kSectionOverflow) {
        AfxMessageBox(m_messages, TooManyKeysMessage(section));
    }

    m_listKeys->DeleteAllItems();
    SplitSectionEntries(content.data(), length, [this](std::string_view key, std::string_view value) {
        wxVector<wxVariant> row;
        row.push_back(ToWx(key));
        row.push_back(ToWx(value));
        m_listKeys->AppendItem(row);
    });
}

void CIniView::OnLbnDblclkSections()
{
    OnBnClickedGetKeys();
}

void CIniView::OnSize(wxSizeEvent& event)
{
    event.Skip();
    m_anchor.RepositionControls();
}

void CIniView::OnCharHook(wxKeyEvent& event)
{
    // The Cancel button is hidden, so wx would not act on Esc by itself:
    // Esc hides the viewer as cancelling a modeless dialog does.
    if (event.GetKeyCode() == WXK_ESCAPE && event.GetModifiers() == wxMOD_NONE) {
        Hide();
        return;
    }
    event.Skip();
}

void CIniView::OnClose(wxCloseEvent&)
{
    Hide();
}
