#include "ini_view.h"

#include <commctrl.h>

#include <cstdio>
#include <vector>

#include "anchor_delta.h"
#include "ardmon_app.h"
#include "filesafe.h"
#include "folder.h"
#include "names_and_messages.h"
#include "parse_rules.h"
#include "resource.h"

namespace ardmon::win32 {

namespace {

void InsertColumn(HWND list, int column, const char* heading)
{
    LVCOLUMNA col{};
    col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    col.fmt = LVCFMT_LEFT;
    col.cx = 100;
    col.pszText = const_cast<char*>(heading);
    col.iSubItem = column;
    ::SendMessageA(list, LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&col));
}

void InsertRow(HWND list, int row, const std::string& key, const std::string& value)
{
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<char*>(key.c_str());
    ::SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    LVITEMA sub{};
    sub.iSubItem = 1;
    sub.pszText = const_cast<char*>(value.c_str());
    ::SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&sub));
}

}  // namespace

CIniView::CIniView(HWND hParent)
    : CDialogWnd(IDD_INIVIEW, hParent),
      m_hIcon(::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      m_anchor(nullptr)
{
}

void CIniView::ShowMessage(const std::string& text)
{
    AfxMessageBox(theApp.Messages(), text);
}

BOOL CIniView::OnInitDialog()
{
    m_listSections = ::GetDlgItem(m_hWnd, IDC_SECTIONS);
    m_listKeys = ::GetDlgItem(m_hWnd, IDC_KEYS);
    ::SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    const std::string path = JoinPath(CurrentWorkDir(), theApp.m_strIniFile);
    if (!filesafe::CanReadRegularFile(path)) {
        ShowMessage("Can not open " + theApp.m_strIniFile + " file");
        return FALSE;
    }

    std::vector<char> names(kNamesBufferSize);
    const DWORD length = ::GetPrivateProfileSectionNamesA(names.data(), kNamesBufferSize, path.c_str());
    if (length == kNamesOverflow) {
        ShowMessage(kTooManySectionsMessage);
        return FALSE;
    }
    SplitSectionNames(names.data(), length, [this](std::string_view name) {
        const std::string text(name);
        ::SendMessageA(m_listSections, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    });

    InsertColumn(m_listKeys, 0, "Key Name");
    InsertColumn(m_listKeys, 1, "Key Value");

    m_anchor.AttachParent(m_hWnd);
    m_anchor.AnchorControl(IDC_SECTIONS, ANCHOR_SIZE_X | ANCHOR_SIZE_Y);
    m_anchor.AnchorControl(IDC_KEYS, ANCHOR_SIZE_Y | ANCHOR_MOVE_X);
    m_anchor.AnchorControl(IDC_GET_KEYS, ANCHOR_MOVE_Y);
    m_anchor.AnchorControl(IDC_STATIC, ANCHOR_SIZE_X | ANCHOR_SIZE_Y);

    ::SetDlgItemTextA(m_hWnd, IDC_FILE_NAME, theApp.m_strIniFile.c_str());
    m_strFile = theApp.m_strIniFile;
    return TRUE;
}

bool CIniView::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR&)
{
    switch (message) {
        case WM_SIZE:
            // The dialog's default handling of the message follows; it moves
            // no control.
            m_anchor.RepositionControls();
            return false;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_GET_KEYS && HIWORD(wParam) == BN_CLICKED) {
                OnBnClickedGetKeys();
                return true;
            }
            if (LOWORD(wParam) == IDC_SECTIONS && HIWORD(wParam) == LBN_DBLCLK) {
                OnLbnDblclkSections();
                return true;
            }
            if (LOWORD(wParam) == IDC_CANCEL) {
                // Cancelling a modeless dialog hides it; the main window
                // deletes it later.
                ::ShowWindow(m_hWnd, SW_HIDE);
                return true;
            }
            return false;
    }
    return false;
}

void CIniView::OnBnClickedGetKeys()
{
    const LRESULT selection = ::SendMessageA(m_listSections, LB_GETCURSEL, 0, 0);
    if (selection == LB_ERR) {
        ShowMessage("Select any section name,to display the keys");
        return;
    }
    std::string section(static_cast<size_t>(::SendMessageA(m_listSections, LB_GETTEXTLEN, selection, 0)) + 1,
                        '\0');
    section.resize(static_cast<size_t>(
        ::SendMessageA(m_listSections, LB_GETTEXT, selection, reinterpret_cast<LPARAM>(section.data()))));

    const std::string path = JoinPath(CurrentWorkDir(), m_strFile);
    if (!filesafe::CanReadRegularFile(path)) {
        ShowMessage("Can not open " + m_strFile + " file");
        return;
    }

    std::vector<char> content(kSectionBufferSize);
    const DWORD length =
        ::GetPrivateProfileSectionA(section.c_str(), content.data(), kSectionBufferSize, path.c_str());
    if (length == kSectionOverflow) ShowMessage(TooManyKeysMessage(section));

    ::SendMessageA(m_listKeys, LVM_DELETEALLITEMS, 0, 0);
    int row = 0;
    SplitSectionEntries(content.data(), length, [this, &row](std::string_view key, std::string_view value) {
        InsertRow(m_listKeys, row, std::string(key), std::string(value));
        ++row;
    });
}

void CIniView::OnLbnDblclkSections()
{
    OnBnClickedGetKeys();
}

}  // namespace ardmon::win32
