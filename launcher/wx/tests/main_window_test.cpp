// The main window driven for real: start-up, the list, the load, the keys
// that end it and the terminal start.
#include <fcntl.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <wx/combobox.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include "resource.h"
#include "window_fixture.h"

using namespace ardmon;
using namespace ardmon::test;
using testing::ElementsAre;

namespace {

std::string Repeat(const std::string& text, int times)
{
    std::string all;
    for (int i = 0; i < times; ++i) {
        all += text;
    }
    return all;
}

class MainWindowTest : public TerminalFolderTest {
protected:
    wxComboBox* Profiles() { return main_wnd_->m_cmbProfiles; }

    std::string CurrentEnvironment()
    {
        return static_cast<wxTextCtrl*>(main_wnd_->FindWindow(IDC_CURRENT_ENV))->GetValue().utf8_string();
    }

    std::vector<std::string> Items()
    {
        std::vector<std::string> items;
        for (const wxString& s : Profiles()->GetStrings()) {
            items.push_back(s.ToStdString());
        }
        return items;
    }
};

TEST_F(MainWindowTest, ListsTheProfilesSortedWithNothingSelected)
{
    MakeTerminalFolder();
    for (const char* name : {"UAT.ini", "prod.ini", "DR.ini", "notes.INI"}) {
        WriteFile(dir_.path() / "env" / name, "[S]\nk=v\n");
    }

    ASSERT_TRUE(Start());
    EXPECT_THAT(Items(), ElementsAre("DR.ini", "prod.ini", "UAT.ini"));
    EXPECT_EQ(Profiles()->GetSelection(), wxNOT_FOUND);
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(MainWindowTest, MissingFolderAndClientFileReportOnlyTheFolder)
{
    WriteTerminal("#!/bin/sh\n");
    EXPECT_FALSE(Start());
    EXPECT_THAT(messages_.Texts(), ElementsAre("No folder found " + dir_.str() + "/env"));
    EXPECT_EQ(messages_.shown[0].caption, ExpectedTitle());
    EXPECT_TRUE(Ended());
}

// The record as the window shows it, in UTF-8.
TEST_F(MainWindowTest, ShowsTheRecordedLoad)
{
    const struct {
        std::string record;
        std::string shown;
    } cases[] = {
        {"[HALVO_LAUNCHER]\nLast Loaded File=PROD.ini\n", "halvoclient.ini<PROD.ini>"},
        {"[HALVO_LAUNCHER]\nLast Loaded File=caf\xE9\n", "halvoclient.ini<caf\xC3\xA9>"},
        // Cut inside the 50th "ü": the 49 before it stay, the cut one is marked.
        {"[HALVO_LAUNCHER]\nLast Loaded File=" + Repeat("\xC3\xBC", 60) + "\n",
         "halvoclient.ini<" + Repeat("\xC3\xBC", 49) + "\xEF\xBF\xBD>"},
    };
    for (const auto& c : cases) {
        MakeTerminalFolder(c.record);
        ASSERT_TRUE(Start());
        EXPECT_EQ(CurrentEnvironment(), c.shown) << c.record;
        main_wnd_->Destroy();
        ASSERT_TRUE(Ended());
    }
}

TEST_F(MainWindowTest, LoadWritesTheClientFileAndShowsTheRecord)
{
    MakeTerminalFolder("[CONNECTION]\nHost=old\nPort=1\n");
    WriteFile(dir_.path() / "env" / "UAT.ini", "[CONNECTION]\nHost=uat\n");
    ASSERT_TRUE(Start());

    // The edit box already shows the new text while the message is open.
    std::string shown_during_message;
    messages_.on_show = [&](const std::string&) { shown_during_message = CurrentEnvironment(); };
    Profiles()->SetSelection(0);
    Click(main_wnd_.get(), IDC_LOAD);

    EXPECT_THAT(messages_.Texts(), ElementsAre("\"UAT.ini\" file loaded to halvoclient.ini successfully"));
    EXPECT_EQ(messages_.shown[0].caption, ExpectedTitle());
    EXPECT_EQ(shown_during_message, "halvoclient.ini<UAT.ini>");
    const std::string client = ReadFile(dir_.path() / "halvoclient.ini");
    EXPECT_NE(client.find("Host=uat"), std::string::npos) << client;
    EXPECT_NE(client.find("Port=1"), std::string::npos) << client;
    EXPECT_NE(client.find("Last Loaded File=UAT.ini"), std::string::npos) << client;
}

TEST_F(MainWindowTest, AProfileNameThatIsNotUtf8IsLoadedByItsOwnBytes)
{
    MakeTerminalFolder();
    const std::string name = "caf\xe9.ini";  // Latin-1, as a Windows machine writes it
    WriteFile(dir_.path() / "env" / name, "[S]\nk=v\n");
    ASSERT_TRUE(Start());
    ASSERT_EQ(Profiles()->GetCount(), 1u);
    EXPECT_EQ(Profiles()->GetString(0), wxString::FromUTF8("caf\xc3\xa9.ini"));
    Profiles()->SetSelection(0);
    Click(main_wnd_.get(), IDC_LOAD);
    EXPECT_THAT(messages_.Texts(),
                ElementsAre("\"" + name + "\" file loaded to halvoclient.ini successfully"));
    const std::string client = ReadFile(dir_.path() / "halvoclient.ini");
    EXPECT_NE(client.find("Last Loaded File=" + name), std::string::npos) << client;
    EXPECT_NE(client.find("k=v"), std::string::npos) << client;
}

TEST_F(MainWindowTest, LoadWithoutSelectionAsksForOne)
{
    MakeTerminalFolder();
    WriteFile(dir_.path() / "env" / "UAT.ini", "[S]\nk=v\n");
    ASSERT_TRUE(Start());
    // Text typed into the field is not a selection.
    Profiles()->SetValue("UAT.ini");
    Click(main_wnd_.get(), IDC_LOAD);
    EXPECT_THAT(messages_.Texts(), ElementsAre("Please Select any ini file"));
}

TEST_F(MainWindowTest, EnterLoadsAndKeepsTheWindow)
{
    MakeTerminalFolder();
    WriteFile(dir_.path() / "env" / "UAT.ini", "[S]\nk=v\n");
    ASSERT_TRUE(Start());
    Profiles()->SetSelection(0);
    main_wnd_->Raise();
    Profiles()->SetFocus();
    wxUIActionSimulator sim;
    sim.MouseMove(Profiles()->GetScreenPosition() + wxPoint(5, 5));
    Pump(100);
    sim.Char(WXK_RETURN);

    ASSERT_TRUE(PumpUntil([&] { return !messages_.shown.empty(); }, 5000));
    EXPECT_THAT(messages_.Texts(), ElementsAre("\"UAT.ini\" file loaded to halvoclient.ini successfully"));
    Pump(300);
    ASSERT_NE(main_wnd_.get(), nullptr);
    EXPECT_TRUE(main_wnd_->IsShown());
}

TEST_F(MainWindowTest, EscapeEndsTheWindow)
{
    MakeTerminalFolder();
    ASSERT_TRUE(Start());
    wxKeyEvent esc(wxEVT_CHAR_HOOK);
    esc.m_keyCode = WXK_ESCAPE;
    esc.SetEventObject(main_wnd_.get());
    main_wnd_->GetEventHandler()->ProcessEvent(esc);
    EXPECT_TRUE(Ended());
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(MainWindowTest, CloseBoxEndsTheWindowAndTheViewersWithIt)
{
    MakeTerminalFolder();
    ASSERT_TRUE(Start());
    Click(main_wnd_.get(), IDC_VIEW_CLIENT);
    wxWeakRef<wxDialog> viewer(main_wnd_->m_pClientView);
    ASSERT_NE(viewer.get(), nullptr);
    main_wnd_->Close();
    EXPECT_TRUE(Ended());
    EXPECT_EQ(viewer.get(), nullptr);
}

TEST_F(MainWindowTest, SuccessfulLaunchStartsTheTerminalInTheFolderAndEnds)
{
    MakeTerminalFolder();
    WriteTerminal("#!/bin/sh\npwd > started.tmp && mv started.tmp started\n");
    ASSERT_TRUE(Start());
    Click(main_wnd_.get(), IDC_LAUNCH);
    EXPECT_TRUE(Ended());
    EXPECT_TRUE(messages_.shown.empty());
    ASSERT_TRUE(PumpUntil([&] { return std::filesystem::exists(dir_.path() / "started"); }));
    EXPECT_EQ(ReadFile(dir_.path() / "started"), dir_.str() + "\n");
}

TEST_F(MainWindowTest, TerminalBeingWrittenKeepsTheWindowOpen)
{
    MakeTerminalFolder();
    ASSERT_TRUE(Start());
    const int writer = open((dir_.path() / "VovuvAvavar.exe").c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    Click(main_wnd_.get(), IDC_START_TRADER);
    close(writer);
    EXPECT_THAT(messages_.Texts(), ElementsAre("Sharing violation occured"));
    Pump(100);
    ASSERT_NE(main_wnd_.get(), nullptr);
    EXPECT_TRUE(main_wnd_->IsShown());
}

TEST_F(MainWindowTest, MissingTerminalReportsAnErrorAndStaysOpen)
{
    MakeTerminalFolder();
    ASSERT_TRUE(Start());
    std::filesystem::remove(dir_.path() / "VovuvAvavar.exe");
    Click(main_wnd_.get(), IDC_LAUNCH);
    EXPECT_THAT(messages_.Texts(), ElementsAre("Error occured during start Vovuvavavar"));
    Pump(100);
    EXPECT_NE(main_wnd_.get(), nullptr);
}

TEST_F(MainWindowTest, LaunchResultsFollowTheWindowsCodes)
{
    MakeTerminalFolder();
    ASSERT_TRUE(Start());
    std::vector<std::string> launched;
    main_wnd_->m_shellOpen = [&](const std::string& path, const std::string& work_dir) {
        launched.push_back(path + "|" + work_dir);
        return std::intptr_t{32};
    };
    Click(main_wnd_.get(), IDC_LAUNCH);
    EXPECT_THAT(launched, ElementsAre(dir_.str() + "/VovuvAvavar.exe|" + dir_.str()));
    EXPECT_THAT(messages_.Texts(), ElementsAre("Error occured during start Vovuvavavar"));
    EXPECT_NE(main_wnd_.get(), nullptr);
}

}  // namespace
