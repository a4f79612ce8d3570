// The Windows main window driven for real under wine: start-up checks, the
// profile list, the last load, the load, Enter, and the terminal start.
#include <gmock/gmock.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "ini_view.h"
#include "resource.h"
#include "win32_test_support.h"

using namespace ardmon::win32;
using namespace ardmon::win32::test;
using testing::ElementsAre;
namespace fs = std::filesystem;

namespace {

class MainWindowTest : public WorkstationTest {
protected:
    HWND Profiles() { return ::GetDlgItem(Main(), IDC_PROFILES); }
    std::string CurrentEnvironment() { return ItemText(Main(), IDC_CURRENT_ENV); }
    void Select(int index) { ::SendMessageA(Profiles(), CB_SETCURSEL, index, 0); }
    std::string Recorded(const char* key)
    {
        char value[200] = {};
        ::GetPrivateProfileStringA("HALVO_LAUNCHER", key, "", value, sizeof value,
                                   (Folder() + "\\halvoclient.ini").c_str());
        return value;
    }
    std::vector<fs::path> FolderEntries()
    {
        std::vector<fs::path> entries;
        for (const auto& entry : fs::directory_iterator(dir))
            entries.push_back(entry.path().filename());
        std::sort(entries.begin(), entries.end());
        return entries;
    }
};

TEST_F(MainWindowTest, StartUpChecksReportTheFirstMissingEntryAndNeverShowTheWindow)
{
    WriteFile(dir / "VovuvAvavar.exe", "");
    EXPECT_FALSE(Start());
    EXPECT_THAT(messages.Texts(), ElementsAre("No folder found " + Folder() + "\\env"));
    EXPECT_EQ(messages.shown[0].caption, ardmon::ApplicationTitle());
    EXPECT_EQ(messages.shown[0].style, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_TRUE(dlg->m_bEnded);
    EXPECT_FALSE(::IsWindowVisible(Main()));

    messages.shown.clear();
    WriteFile(dir / "env", "a file passes too");
    EXPECT_FALSE(Start());
    EXPECT_THAT(messages.Texts(), ElementsAre("No file found " + Folder() + "\\halvoclient.ini"));

    messages.shown.clear();
    fs::remove(dir / "VovuvAvavar.exe");
    WriteFile(dir / "halvoclient.ini", "");
    EXPECT_FALSE(Start());
    EXPECT_THAT(messages.Texts(), ElementsAre("No file found " + Folder() + "\\VovuvAvavar.exe"));

    messages.shown.clear();
    WriteFile(dir / "VovuvAvavar.exe", "");
    EXPECT_TRUE(Start());
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(::IsWindowVisible(Main()));
    EXPECT_EQ(WindowText(Main()), "Halvo Launcher");
    EXPECT_THAT(ComboItems(Profiles()), ElementsAre());
}

TEST_F(MainWindowTest, OpensCentredOnTheScreen)
{
    MakeWorkstation();
    ASSERT_TRUE(Start());
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ASSERT_TRUE(::GetMonitorInfoA(::MonitorFromWindow(Main(), MONITOR_DEFAULTTOPRIMARY), &monitor));
    RECT frame;
    ::GetWindowRect(Main(), &frame);
    const RECT& work = monitor.rcWork;
    EXPECT_LE(std::abs((frame.left - work.left) - (work.right - frame.right)), 1);
    EXPECT_LE(std::abs((frame.top - work.top) - (work.bottom - frame.bottom)), 1);
}

TEST_F(MainWindowTest, ListsTheProfilesEndingInDotIniExactlySortedWithNothingSelected)
{
    MakeWorkstation();
    for (const char* name : {"UAT.ini", "prod.ini", "DR.ini", ".ini", "notes.INI", "a.ini.bak", "ini"}) {
        WriteProfile(name, "[S]\r\nk=v\r\n");
    }
    fs::create_directory(dir / "env" / "folder.ini");

    ASSERT_TRUE(Start());
    EXPECT_THAT(ComboItems(Profiles()), ElementsAre(".ini", "DR.ini", "prod.ini", "UAT.ini"));
    EXPECT_EQ(::SendMessageA(Profiles(), CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(dlg->m_strWorkDir, Folder());
}

TEST_F(MainWindowTest, ShowsTheRecordedLoad)
{
    MakeWorkstation("[CONNECTION]\r\nHost=a\r\n");
    ASSERT_TRUE(Start());
    EXPECT_EQ(CurrentEnvironment(), "halvoclient.ini");

    MakeWorkstation("[HALVO_LAUNCHER]\r\nLast Loaded File=String not found\r\n");
    ASSERT_TRUE(Start());
    EXPECT_EQ(CurrentEnvironment(), "halvoclient.ini");

    MakeWorkstation("[HALVO_LAUNCHER]\r\nLast Loaded File=\r\n");
    ASSERT_TRUE(Start());
    EXPECT_EQ(CurrentEnvironment(), "halvoclient.ini<>");

    const std::string long_name(120, 'x');
    MakeWorkstation("[HALVO_LAUNCHER]\r\nLast Loaded File=" + long_name + "\r\n");
    ASSERT_TRUE(Start());
    EXPECT_EQ(CurrentEnvironment(), "halvoclient.ini<" + long_name.substr(0, 99) + ">");
}

TEST_F(MainWindowTest, LoadMergesTheProfileRecordsItAndShowsIt)
{
    MakeWorkstation("[CONNECTION]\r\nHost=old\r\nPort=1\r\n");
    WriteProfile("UAT.ini", "[CONNECTION]\r\nHost=uat\r\n[NEW]\r\nUrl=a=b\r\nEmpty=\r\n");
    ASSERT_TRUE(Start());

    Click(Main(), IDC_LOAD);
    EXPECT_THAT(messages.Texts(), ElementsAre("Please Select any ini file"));

    messages.shown.clear();
    Select(0);
    Click(Main(), IDC_LOAD);
    EXPECT_THAT(messages.Texts(), ElementsAre("\"UAT.ini\" file loaded to halvoclient.ini successfully"));
    EXPECT_EQ(CurrentEnvironment(), "halvoclient.ini<UAT.ini>");

    const std::string client = Folder() + "\\halvoclient.ini";
    char value[100];
    ::GetPrivateProfileStringA("CONNECTION", "Host", "", value, sizeof value, client.c_str());
    EXPECT_STREQ(value, "uat");
    ::GetPrivateProfileStringA("CONNECTION", "Port", "", value, sizeof value, client.c_str());
    EXPECT_STREQ(value, "1");
    ::GetPrivateProfileStringA("NEW", "Url", "", value, sizeof value, client.c_str());
    EXPECT_STREQ(value, "a=b");
    ::GetPrivateProfileStringA("NEW", "Empty", "default", value, sizeof value, client.c_str());
    EXPECT_STREQ(value, "");
    EXPECT_EQ(Recorded("Last Loaded File"), "UAT.ini");
    EXPECT_THAT(Recorded("Time"),
                testing::MatchesRegex("\\d\\d-\\w\\w\\w-\\d\\d\\d\\d \\d\\d:\\d\\d:\\d\\d"));
    // The copy the load wrote through is gone.
    EXPECT_THAT(FolderEntries(), ElementsAre("VovuvAvavar.exe", "env", "halvoclient.ini"));
}

TEST_F(MainWindowTest, AFailedLoadLeavesTheClientFileAsItWas)
{
    const std::string before = "[CONNECTION]\r\n\r\nHost = old\r\n";
    MakeWorkstation(before);
    WriteProfile("UAT.ini", "[CONNECTION]\r\nHost=uat\r\n");
    ASSERT_TRUE(Start());
    Select(0);

    ::SetFileAttributesA("halvoclient.ini", FILE_ATTRIBUTE_READONLY);
    Click(Main(), IDC_LOAD);
    EXPECT_THAT(messages.Texts(), ElementsAre("can not open halvoclient.ini in this directory"));
    ::SetFileAttributesA("halvoclient.ini", FILE_ATTRIBUTE_NORMAL);

    // Another program holds the file, letting it be read but not written.
    messages.shown.clear();
    HANDLE held =
        ::CreateFileA("halvoclient.ini", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Click(Main(), IDC_LOAD);
    ::CloseHandle(held);
    EXPECT_THAT(messages.Texts(), ElementsAre("can not open halvoclient.ini in this directory"));
    EXPECT_EQ(ReadFile(dir / "halvoclient.ini"), before);
    EXPECT_EQ(CurrentEnvironment(), "halvoclient.ini");
    EXPECT_THAT(FolderEntries(), ElementsAre("VovuvAvavar.exe", "env", "halvoclient.ini"));
}

// A program that keeps the client file open for writing without letting it
// be replaced: the load is written into the file itself.
TEST_F(MainWindowTest, AClientFileHeldOpenByAnotherProgramIsWrittenInPlace)
{
    MakeWorkstation("[CONNECTION]\r\nHost=old\r\n");
    WriteProfile("UAT.ini", "[CONNECTION]\r\nHost=uat\r\n");
    ASSERT_TRUE(Start());
    Select(0);
    HANDLE held = ::CreateFileA("halvoclient.ini", GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Click(Main(), IDC_LOAD);
    ::CloseHandle(held);
    EXPECT_THAT(messages.Texts(), ElementsAre("\"UAT.ini\" file loaded to halvoclient.ini successfully"));
    char value[100];
    ::GetPrivateProfileStringA("CONNECTION", "Host", "", value, sizeof value,
                               (Folder() + "\\halvoclient.ini").c_str());
    EXPECT_STREQ(value, "uat");
    EXPECT_EQ(Recorded("Last Loaded File"), "UAT.ini");
    EXPECT_THAT(FolderEntries(), ElementsAre("VovuvAvavar.exe", "env", "halvoclient.ini"));
}

// A UTF-16 profile with characters the ANSI code page lacks: the load goes on
// and then names what did not arrive as the profile holds it (the system
// reads an Omega as its nearest letter, O).
TEST_F(MainWindowTest, WhatWasNotLoadedAsGivenIsNamedAfterTheLoad)
{
    MakeWorkstation();
    std::string profile = "\xff\xfe";
    for (char16_t unit : std::u16string(u"[NEW]\r\nplain=1\r\nhan=\u6f22\r\n[\u03a9]\r\nk=v\r\n")) {
        profile += static_cast<char>(unit & 0xFF);
        profile += static_cast<char>(unit >> 8);
    }
    WriteProfile("UAT.ini", profile);
    ASSERT_TRUE(Start());
    Select(0);
    Click(Main(), IDC_LOAD);
    EXPECT_THAT(messages.Texts(),
                ElementsAre("\"UAT.ini\" file loaded to halvoclient.ini successfully",
                            "Following entries are not loaded as given in the profile:\nNEW-han\nO section"));
}

TEST_F(MainWindowTest, EnterLoadsWithoutClosingAndEscCloses)
{
    MakeWorkstation();
    WriteProfile("UAT.ini", "[CONNECTION]\r\nHost=uat\r\n");
    ASSERT_TRUE(Start());
    Select(0);

    PressKey(::GetWindow(Profiles(), GW_CHILD), VK_RETURN);  // the combo box's edit field
    EXPECT_THAT(messages.Texts(), ElementsAre("\"UAT.ini\" file loaded to halvoclient.ini successfully"));
    EXPECT_FALSE(dlg->m_bEnded);
    EXPECT_TRUE(::IsWindowVisible(Main()));

    PressKey(::GetWindow(Profiles(), GW_CHILD), VK_ESCAPE);
    EXPECT_TRUE(dlg->m_bEnded);
}

TEST_F(MainWindowTest, LaunchResultsAndARealStartInTheWorkingDirectory)
{
    MakeWorkstation();
    ASSERT_TRUE(Start());
    std::string started, folder;
    dlg->m_shellOpen = [&](const std::string& program, const std::string& directory) -> INT_PTR {
        started = program;
        folder = directory;
        return 26;
    };
    Click(Main(), IDC_LAUNCH);
    EXPECT_THAT(messages.Texts(), ElementsAre("Sharing violation occured"));
    EXPECT_EQ(started, Folder() + "\\VovuvAvavar.exe");
    EXPECT_EQ(folder, Folder());
    EXPECT_FALSE(dlg->m_bEnded);

    messages.shown.clear();
    dlg->m_shellOpen = [](const std::string&, const std::string&) -> INT_PTR { return 2; };
    Click(Main(), IDC_START_TRADER);
    EXPECT_THAT(messages.Texts(), ElementsAre("Error occured during start Vovuvavavar"));
    EXPECT_FALSE(dlg->m_bEnded);

    // The stand-in terminal built beside this test.
    char self[MAX_PATH * 4] = {};
    ::GetModuleFileNameA(nullptr, self, sizeof self);
    fs::copy_file(fs::path(self).parent_path() / "VovuvAvavar.exe", dir / "VovuvAvavar.exe",
                  fs::copy_options::overwrite_existing);
    messages.shown.clear();
    dlg->m_shellOpen = ShellExecuteOpen;
    Click(Main(), IDC_LAUNCH);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(dlg->m_bEnded);
    for (int i = 0; i < 200 && !fs::exists(dir / "launched.txt"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(ReadFile(dir / "launched.txt"), Folder() + "\n" + std::to_string(SW_SHOWMAXIMIZED) + "\n");
}

}  // namespace
