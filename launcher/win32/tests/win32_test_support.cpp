#include "win32_test_support.h"

#include <commctrl.h>

#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace ardmon::win32::test {

void WriteFile(const fs::path& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string WindowText(HWND window)
{
    std::string text(static_cast<size_t>(::GetWindowTextLengthA(window)) + 1, '\0');
    text.resize(static_cast<size_t>(::GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::string ItemText(HWND dialog, int id)
{
    char text[4096] = {};
    ::GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

std::vector<std::string> ComboItems(HWND combo)
{
    std::vector<std::string> items;
    const auto count = static_cast<int>(::SendMessageA(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[1024] = {};
        ::SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

std::vector<std::string> ListBoxItems(HWND list)
{
    std::vector<std::string> items;
    const auto count = static_cast<int>(::SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[1024] = {};
        ::SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

std::vector<std::vector<std::string>> ListViewRows(HWND list)
{
    std::vector<std::vector<std::string>> rows;
    const auto count = static_cast<int>(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        std::vector<std::string> cells;
        for (int column = 0; column < 2; ++column) {
            char text[1024] = {};
            LVITEMA item{};
            item.iSubItem = column;
            item.pszText = text;
            item.cchTextMax = sizeof text;
            ::SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
            cells.push_back(text);
        }
        rows.push_back(cells);
    }
    return rows;
}

RECT ChildRect(HWND control)
{
    RECT rect{};
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void Click(HWND dialog, int id)
{
    ::SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

void PressKey(HWND control, WPARAM key)
{
    ::PostMessageA(control, WM_KEYDOWN, key, 1);
    ::PostMessageA(control, WM_KEYUP, key, 0xC0000001);
    theApp.PumpWaitingMessages();
}

WorkstationTest::WorkstationTest() : previous_(fs::current_path())
{
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    dir = fs::temp_directory_path() / ("ardmon-" + std::to_string(::GetCurrentProcessId()) + "-" +
                                       info->test_suite_name() + "-" + info->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::current_path(dir);
    theApp.SetMessages(&messages);
}

WorkstationTest::~WorkstationTest()
{
    dlg.reset();
    theApp.m_pMainWnd = nullptr;
    theApp.m_strIniFile.clear();
    theApp.SetMessages(nullptr);
    theApp.PumpWaitingMessages();
    fs::current_path(previous_);
    std::error_code ignored;
    fs::remove_all(dir, ignored);
}

void WorkstationTest::MakeWorkstation(const std::string& client)
{
    fs::create_directory(dir / "env");
    WriteFile(dir / "halvoclient.ini", client);
    WriteFile(dir / "VovuvAvavar.exe", "");
}

void WorkstationTest::WriteProfile(const std::string& name, const std::string& content)
{
    WriteFile(dir / "env" / name, content);
}

bool WorkstationTest::Start()
{
    dlg = std::make_unique<CArdmonDlg>(nullptr);
    theApp.m_pMainWnd = dlg.get();
    const bool shown = dlg->Create();
    theApp.PumpWaitingMessages();
    return shown;
}

std::string WorkstationTest::Folder() const
{
    char folder[MAX_PATH * 4] = {};
    ::GetCurrentDirectoryA(sizeof folder, folder);
    return folder;
}

}  // namespace ardmon::win32::test
