// The Windows viewers driven for real under wine: opened side by side and
// replaced, Get Keys, Enter and Esc through the launcher's loop, anchoring.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>

#include <gmock/gmock.h>

#include "ini_view.h"
#include "resource.h"
#include "win32_test_support.h"

using namespace ardmon::win32;
using namespace ardmon::win32::test;
using testing::ElementsAre;
using Row = std::vector<std::string>;

namespace {

class IniViewTest : public WorkstationTest {
protected:
    void SetUp() override
    {
        MakeWorkstation("[CONNECTION]\r\nHost=client\r\nUrl=a=b\r\n[EMPTY]\r\n[HALVO_LAUNCHER]\r\n");
        WriteProfile("UAT.ini", "[Z]\r\nHost=uat\r\n[A]\r\nk=v\r\n");
        WriteProfile("DR.ini", "[DR]\r\nHost=dr\r\n");
        ASSERT_TRUE(Start());
    }
    void SelectProfile(const char* name)
    {
        ::SendMessageA(::GetDlgItem(Main(), IDC_PROFILES), CB_SELECTSTRING, static_cast<WPARAM>(-1),
                       reinterpret_cast<LPARAM>(name));
    }
    static HWND Sections(const CIniView* view) { return view->m_listSections; }
    static void SelectSection(const CIniView* view, int index)
    {
        ::SendMessageA(view->m_listSections, LB_SETCURSEL, index, 0);
    }
};

TEST_F(IniViewTest, ClientAndProfileViewersSideBySideEachReadingItsOwnFile)
{
    Click(Main(), IDC_VIEW_CLIENT);
    SelectProfile("UAT.ini");
    Click(Main(), IDC_VIEW_PROFILE);
    CIniView* client = dlg->m_pClientView;
    CIniView* profile = dlg->m_pProfileView;
    ASSERT_TRUE(client != nullptr && profile != nullptr);
    EXPECT_TRUE(::IsWindowVisible(client->m_hWnd) && ::IsWindowVisible(profile->m_hWnd));
    EXPECT_EQ(WindowText(client->m_hWnd), "View Environment");
    EXPECT_EQ(ItemText(client->m_hWnd, IDC_FILE_NAME), "halvoclient.ini");
    EXPECT_EQ(ItemText(profile->m_hWnd, IDC_FILE_NAME), "env\\UAT.ini");
    EXPECT_THAT(ListBoxItems(Sections(client)), ElementsAre("CONNECTION", "EMPTY", "HALVO_LAUNCHER"));
    EXPECT_THAT(ListBoxItems(Sections(profile)), ElementsAre("Z", "A"));

    // theApp.m_strIniFile now names the profile; the client viewer reads its own file.
    SelectSection(client, 0);
    Click(client->m_hWnd, IDC_GET_KEYS);
    EXPECT_THAT(ListViewRows(client->m_listKeys), ElementsAre(Row{"Host", "client"}, Row{"Url", "a=b"}));
    SelectSection(profile, 0);
    Click(profile->m_hWnd, IDC_GET_KEYS);
    EXPECT_THAT(ListViewRows(profile->m_listKeys), ElementsAre(Row{"Host", "uat"}));

    // A section without pairs empties the list.
    SelectSection(client, 1);
    Click(client->m_hWnd, IDC_GET_KEYS);
    EXPECT_THAT(ListViewRows(client->m_listKeys), ElementsAre());
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(IniViewTest, EachClickReplacesItsViewer)
{
    SelectProfile("UAT.ini");
    Click(Main(), IDC_VIEW_PROFILE);
    HWND first = dlg->m_pProfileView->m_hWnd;
    SelectProfile("DR.ini");
    Click(Main(), IDC_VIEW_PROFILE);
    EXPECT_FALSE(::IsWindow(first));
    EXPECT_EQ(ItemText(dlg->m_pProfileView->m_hWnd, IDC_FILE_NAME), "env\\DR.ini");

    ::SendMessageA(::GetDlgItem(Main(), IDC_PROFILES), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    Click(Main(), IDC_VIEW_PROFILE);
    EXPECT_THAT(messages.Texts(), ElementsAre("Please Select any ini file"));
    EXPECT_EQ(theApp.m_strIniFile, "env\\DR.ini");
}

TEST_F(IniViewTest, GetKeysMessagesAndAMissingFile)
{
    Click(Main(), IDC_VIEW_CLIENT);
    CIniView* view = dlg->m_pClientView;
    Click(view->m_hWnd, IDC_GET_KEYS);
    EXPECT_THAT(messages.Texts(), ElementsAre("Select any section name,to display the keys"));

    messages.shown.clear();
    std::filesystem::remove(dir / "halvoclient.ini");
    SelectSection(view, 0);
    Click(view->m_hWnd, IDC_GET_KEYS);
    EXPECT_THAT(messages.Texts(), ElementsAre("Can not open halvoclient.ini file"));

    messages.shown.clear();
    Click(Main(), IDC_VIEW_CLIENT);
    EXPECT_THAT(messages.Texts(), ElementsAre("Can not open halvoclient.ini file"));
    EXPECT_TRUE(::IsWindowVisible(dlg->m_pClientView->m_hWnd));
    EXPECT_THAT(ListBoxItems(Sections(dlg->m_pClientView)), ElementsAre());
}

TEST_F(IniViewTest, EnterShowsTheSectionAndEscHidesTheViewerThroughTheLoop)
{
    Click(Main(), IDC_VIEW_CLIENT);
    CIniView* view = dlg->m_pClientView;
    SelectSection(view, 0);
    PressKey(view->m_listSections, VK_RETURN);
    EXPECT_THAT(ListViewRows(view->m_listKeys), ElementsAre(Row{"Host", "client"}, Row{"Url", "a=b"}));
    EXPECT_TRUE(::IsWindowVisible(view->m_hWnd));

    PressKey(view->m_listSections, VK_ESCAPE);
    EXPECT_FALSE(::IsWindowVisible(view->m_hWnd));
    EXPECT_TRUE(::IsWindow(view->m_hWnd));
    EXPECT_FALSE(dlg->m_bEnded);
}

TEST_F(IniViewTest, ControlsFollowTheWindowAboveItsFirstSize)
{
    Click(Main(), IDC_VIEW_CLIENT);
    HWND view = dlg->m_pClientView->m_hWnd;
    const int ids[] = {IDC_SECTIONS, IDC_KEYS, IDC_GET_KEYS, IDC_FILE_NAME};
    std::vector<RECT> first;
    for (int id : ids)
        first.push_back(ChildRect(::GetDlgItem(view, id)));
    RECT frame;
    ::GetWindowRect(view, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;

    auto resize = [&](int w, int h) {
        ::SetWindowPos(view, nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER);
        theApp.PumpWaitingMessages();
    };
    auto moved = [&](int index) {
        const RECT now = ChildRect(::GetDlgItem(view, ids[index]));
        return std::vector<LONG>{now.left - first[index].left, now.top - first[index].top,
                                 now.right - first[index].right, now.bottom - first[index].bottom};
    };
    using D = std::vector<LONG>;
    resize(width + 100, height + 50);
    EXPECT_EQ(moved(0), (D{0, 0, 100, 50}));    // grows both ways
    EXPECT_EQ(moved(1), (D{100, 0, 100, 50}));  // moves right, grows taller
    EXPECT_EQ(moved(2), (D{0, 50, 0, 50}));     // moves down
    EXPECT_EQ(moved(3), (D{0, 0, 0, 0}));       // stays

    resize(width - 80, height - 40);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(moved(i), (D{0, 0, 0, 0})) << ids[i];
    resize(width + 30, height);
    EXPECT_EQ(moved(1), (D{30, 0, 30, 0}));
}

// While the system's box about a long section is up, a click on View cannot
// reach the main window and free the viewer that Get Keys is still using:
// the box holds every window of the launcher, as the framework's do.
struct BoxWatch {
    std::vector<HWND> launcher;
    bool box_seen = false;
    bool any_enabled = false;
};
BoxWatch* g_watch = nullptr;

BOOL CALLBACK CloseBox(HWND window, LPARAM)
{
    const auto& launcher = g_watch->launcher;
    if (!::IsWindowVisible(window) || std::find(launcher.begin(), launcher.end(), window) != launcher.end())
        return TRUE;
    g_watch->box_seen = true;
    for (HWND w : launcher)
        g_watch->any_enabled |= ::IsWindowEnabled(w) != FALSE;
    // A click reaches only a window that takes input.
    if (::IsWindowEnabled(launcher.front())) Click(launcher.front(), IDC_VIEW_CLIENT);
    ::PostMessageA(window, WM_COMMAND, IDOK, 0);
    return FALSE;
}

void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD)
{
    if (!g_watch->box_seen) ::EnumThreadWindows(::GetCurrentThreadId(), CloseBox, 0);
}

TEST_F(IniViewTest, AViewersMessageBoxHoldsEveryWindowOfTheLauncher)
{
    std::string client = "[BIG]\r\n";
    for (int i = 0; i < 40; ++i)
        client += "key" + std::to_string(i) + "=" + std::string(500, 'v') + "\r\n";
    WriteFile(dir / "halvoclient.ini", client);
    Click(Main(), IDC_VIEW_CLIENT);
    CIniView* view = dlg->m_pClientView;
    SelectSection(view, 0);

    BoxWatch watch{{Main(), view->m_hWnd}};
    g_watch = &watch;
    theApp.SetMessages(nullptr);
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, OnTimer);
    Click(view->m_hWnd, IDC_GET_KEYS);
    ::KillTimer(nullptr, timer);
    g_watch = nullptr;

    EXPECT_TRUE(watch.box_seen);
    EXPECT_FALSE(watch.any_enabled);
    EXPECT_EQ(dlg->m_pClientView, view);
    EXPECT_TRUE(::IsWindowEnabled(Main()) && ::IsWindowEnabled(view->m_hWnd));
    EXPECT_EQ(ListViewRows(view->m_listKeys).size(), 31u);  // what fits
}

}  // namespace
