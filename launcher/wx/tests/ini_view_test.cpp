// The viewer driven for real through the main window's view buttons.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <sys/stat.h>
#include <wx/combobox.h>
#include <wx/dataview.h>
#include <wx/listbox.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include "ini_view.h"
#include "resource.h"
#include "text_conv.h"
#include "window_fixture.h"

using namespace ardmon;
using namespace ardmon::test;
using testing::ElementsAre;

namespace {

class ViewerTest : public TerminalFolderTest {
protected:
    void StartWith(const std::string& client)
    {
        MakeTerminalFolder(client);
        WriteFile(dir_.path() / "env" / "UAT.ini", "[UAT_ONLY]\nk=uat\n");
        WriteFile(dir_.path() / "env" / "PROD.ini", "[PROD_ONLY]\nk=prod\n");
        ASSERT_TRUE(Start());
    }

    CIniView* OpenClientViewer()
    {
        Click(main_wnd_.get(), IDC_VIEW_CLIENT);
        return main_wnd_->m_pClientView;
    }

    CIniView* OpenProfileViewer(const char* profile)
    {
        main_wnd_->m_cmbProfiles->SetStringSelection(profile);
        Click(main_wnd_.get(), IDC_VIEW_PROFILE);
        return main_wnd_->m_pProfileView;
    }

    static std::vector<std::string> Sections(CIniView* v)
    {
        std::vector<std::string> names;
        for (const wxString& s : v->m_listSections->GetStrings()) {
            names.push_back(s.ToStdString());
        }
        return names;
    }

    static std::vector<std::string> Rows(CIniView* v)
    {
        std::vector<std::string> rows;
        for (int i = 0; i < v->m_listKeys->GetItemCount(); ++i) {
            rows.push_back(
                ToBytes(v->m_listKeys->GetTextValue(i, 0) + "|" + v->m_listKeys->GetTextValue(i, 1)));
        }
        return rows;
    }

    static void GetKeys(CIniView* v, const std::string& section)
    {
        v->m_listSections->SetStringSelection(section);
        Click(v, IDC_GET_KEYS);
    }

    static std::string FileName(CIniView* v)
    {
        return static_cast<wxTextCtrl*>(v->FindWindow(IDC_FILE_NAME))->GetValue().ToStdString();
    }
};

TEST_F(ViewerTest, ShowsSectionsInFileOrderAndPairsOfTheChosenOne)
{
    StartWith("; comment\n[ZETA]\na=b=c\nempty=\n=no key\n\n[ALPHA]\nx=1\n[EMPTY]\n");
    CIniView* v = OpenClientViewer();
    ASSERT_NE(v, nullptr);
    EXPECT_TRUE(v->IsShown());
    EXPECT_EQ(v->GetTitle(), "View Environment");
    EXPECT_THAT(Sections(v), ElementsAre("ZETA", "ALPHA", "EMPTY"));
    EXPECT_EQ(FileName(v), "halvoclient.ini");
    ASSERT_EQ(v->m_listKeys->GetColumnCount(), 2u);
    for (unsigned i = 0; i < 2; ++i) {
        const wxDataViewColumn* column = v->m_listKeys->GetColumn(i);
        EXPECT_EQ(column->GetTitle(), i == 0 ? "Key Name" : "Key Value");
        // GTK draws the last column on to the list's right edge.
        EXPECT_EQ(gtk_tree_view_column_get_fixed_width(GTK_TREE_VIEW_COLUMN(column->GetGtkHandle())), 100);
        EXPECT_EQ(column->GetAlignment(), wxALIGN_LEFT);
        EXPECT_FALSE(column->IsSortable());
    }
    EXPECT_EQ(v->m_listKeys->GetColumn(0)->GetWidth(), 100);

    GetKeys(v, "ZETA");
    EXPECT_THAT(Rows(v), ElementsAre("a|b=c", "empty|", "|no key"));
    // A section without pairs empties the list.
    GetKeys(v, "EMPTY");
    EXPECT_TRUE(Rows(v).empty());
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(ViewerTest, GetKeysWithoutSelectionAsks)
{
    StartWith("[A]\nk=v\n");
    CIniView* v = OpenClientViewer();
    Click(v, IDC_GET_KEYS);
    EXPECT_THAT(messages_.Texts(), ElementsAre("Select any section name,to display the keys"));
    EXPECT_EQ(messages_.shown[0].caption, ExpectedTitle());
}

TEST_F(ViewerTest, DoubleClickShowsTheSectionToo)
{
    StartWith("[A]\nk=v\n");
    CIniView* v = OpenClientViewer();
    v->m_listSections->SetSelection(0);
    wxCommandEvent dclick(wxEVT_LISTBOX_DCLICK, IDC_SECTIONS);
    dclick.SetEventObject(v->m_listSections);
    dclick.SetInt(0);
    v->m_listSections->GetEventHandler()->ProcessEvent(dclick);
    EXPECT_THAT(Rows(v), ElementsAre("k|v"));
}

TEST_F(ViewerTest, EnterShowsTheSectionAndKeepsTheWindow)
{
    StartWith("[A]\nk=v\n");
    CIniView* v = OpenClientViewer();
    Pump(300);
    v->m_listSections->SetSelection(0);
    v->m_listSections->SetFocus();
    wxUIActionSimulator sim;
    sim.MouseMove(v->m_listKeys->GetScreenPosition() + wxPoint(40, 60));
    Pump(100);
    sim.Char(WXK_RETURN);
    ASSERT_TRUE(PumpUntil([&] { return v->m_listKeys->GetItemCount() == 1; }, 5000));
    EXPECT_THAT(Rows(v), ElementsAre("k|v"));
    Pump(300);
    EXPECT_TRUE(v->IsShown());
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(ViewerTest, GetKeysReadsTheSectionAfresh)
{
    StartWith("[A]\nk=v\n");
    CIniView* v = OpenClientViewer();
    WriteFile(dir_.path() / "halvoclient.ini", "[A]\nk=changed\nnew=1\n[B]\n");
    GetKeys(v, "A");
    EXPECT_THAT(Rows(v), ElementsAre("k|changed", "new|1"));
    EXPECT_THAT(Sections(v), ElementsAre("A"));  // the list itself is not read again

    std::filesystem::remove(dir_.path() / "halvoclient.ini");
    GetKeys(v, "A");
    EXPECT_THAT(messages_.Texts(), ElementsAre("Can not open halvoclient.ini file"));
    EXPECT_THAT(Rows(v), ElementsAre("k|changed", "new|1"));
}

TEST_F(ViewerTest, OverflowingSectionWarnsAndShowsWhatFits)
{
    std::string client = "[BIG]\n";
    for (int i = 0; i < 2000; ++i) {
        client += "key" + std::to_string(i) + "=value\n";
    }
    StartWith(client);
    CIniView* v = OpenClientViewer();
    GetKeys(v, "BIG");
    EXPECT_THAT(messages_.Texts(), ElementsAre("more keys are associated with BIG section"));
    const auto rows = Rows(v);
    ASSERT_GT(rows.size(), 1000u);
    ASSERT_LT(rows.size(), 2000u);
    EXPECT_EQ(rows.front(), "key0|value");
}

// Names that are not UTF-8 (the Windows code page, or UTF-16LE read back in
// it) are shown converted but looked up by their own bytes.
TEST_F(ViewerTest, SectionNamesOutsideUtf8AreLookedUpByTheirBytes)
{
    StartWith("[Z\xFCrich]\nk=v\n");
    std::string profile = "\xFF\xFE";
    std::string text = "[Gen\xE8ve]\r\n";
    for (int i = 0; i < 2000; ++i) {
        text += "key" + std::to_string(i) + "=value\r\n";
    }
    for (char c : text) {
        profile += {c, '\0'};
    }
    WriteFile(dir_.path() / "env" / "UAT.ini", profile);

    CIniView* client = OpenClientViewer();
    ASSERT_EQ(client->m_listSections->GetCount(), 1u);
    EXPECT_EQ(client->m_listSections->GetString(0), wxString::FromUTF8("Z\u00FCrich"));
    client->m_listSections->SetSelection(0);
    Click(client, IDC_GET_KEYS);
    EXPECT_THAT(Rows(client), ElementsAre("k|v"));
    EXPECT_TRUE(messages_.shown.empty());

    CIniView* uat = OpenProfileViewer("UAT.ini");
    uat->m_listSections->SetSelection(0);
    Click(uat, IDC_GET_KEYS);
    EXPECT_THAT(messages_.Texts(), ElementsAre("more keys are associated with Gen\xE8ve section"));
    EXPECT_GT(Rows(uat).size(), 1000u);
}

TEST_F(ViewerTest, ClientAndProfileViewersReadTheirOwnFiles)
{
    StartWith("[CLIENT_ONLY]\nk=client\n");
    CIniView* client = OpenClientViewer();
    CIniView* profile = OpenProfileViewer("UAT.ini");
    ASSERT_NE(client, profile);
    EXPECT_EQ(theApp.m_strIniFile, "env/UAT.ini");
    EXPECT_EQ(FileName(profile), "env/UAT.ini");
    EXPECT_TRUE(client->IsShown());
    EXPECT_TRUE(profile->IsShown());

    GetKeys(client, "CLIENT_ONLY");
    GetKeys(profile, "UAT_ONLY");
    EXPECT_THAT(Rows(client), ElementsAre("k|client"));
    EXPECT_THAT(Rows(profile), ElementsAre("k|uat"));
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(ViewerTest, TheSameButtonAgainReplacesTheViewer)
{
    StartWith("[A]\nk=v\n");
    wxWeakRef<CIniView> first(OpenClientViewer());
    WriteFile(dir_.path() / "halvoclient.ini", "[A]\n[B]\n");
    CIniView* second = OpenClientViewer();
    EXPECT_EQ(first.get(), nullptr);
    EXPECT_THAT(Sections(second), ElementsAre("A", "B"));

    wxWeakRef<CIniView> uat(OpenProfileViewer("UAT.ini"));
    CIniView* prod = OpenProfileViewer("PROD.ini");
    EXPECT_EQ(uat.get(), nullptr);
    EXPECT_THAT(Sections(prod), ElementsAre("PROD_ONLY"));
    EXPECT_EQ(main_wnd_->m_pClientView, second);
}

TEST_F(ViewerTest, ProfileViewWithoutSelectionChangesNothing)
{
    StartWith("[A]\n");
    CIniView* uat = OpenProfileViewer("UAT.ini");
    main_wnd_->m_cmbProfiles->SetSelection(wxNOT_FOUND);
    Click(main_wnd_.get(), IDC_VIEW_PROFILE);
    EXPECT_THAT(messages_.Texts(), ElementsAre("Please Select any ini file"));
    EXPECT_EQ(main_wnd_->m_pProfileView, uat);
    EXPECT_EQ(theApp.m_strIniFile, "env/UAT.ini");
}

// A FIFO named like a profile is refused at once, never opened to wait for a writer.
TEST_F(ViewerTest, AFifoProfileIsRefusedAtOnce)
{
    StartWith("[A]\n");
    const std::string fifo = (dir_.path() / "env" / "UAT.ini").string();
    std::filesystem::remove(fifo);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    OpenProfileViewer("UAT.ini");
    EXPECT_THAT(messages_.Texts(), ElementsAre("Can not open env/UAT.ini file"));
}

TEST_F(ViewerTest, MissingFileLeavesAnEmptyWindowThatIgnoresResizing)
{
    StartWith("[A]\n");
    std::filesystem::remove(dir_.path() / "env" / "UAT.ini");
    CIniView* v = OpenProfileViewer("UAT.ini");
    EXPECT_THAT(messages_.Texts(), ElementsAre("Can not open env/UAT.ini file"));
    ASSERT_NE(v, nullptr);
    EXPECT_TRUE(v->IsShown());
    EXPECT_EQ(v->m_listSections->GetCount(), 0u);
    EXPECT_EQ(v->m_listKeys->GetColumnCount(), 0u);
    EXPECT_EQ(FileName(v), "");
    EXPECT_EQ(v->m_strFile, "");

    const wxRect before = v->m_listKeys->GetRect();
    v->SetClientSize(v->GetClientSize() + wxSize(120, 80));
    Pump(200);
    EXPECT_EQ(v->m_listKeys->GetRect(), before);
}

TEST_F(ViewerTest, ResizingMovesTheAnchoredControls)
{
    StartWith("[A]\n");
    CIniView* v = OpenClientViewer();
    ASSERT_TRUE(PumpUntil([&] { return v->IsShownOnScreen(); }));
    const wxSize first = v->GetClientSize();
    auto rect = [&](int id) { return v->FindWindow(id)->GetRect(); };
    const wxRect sections = rect(IDC_SECTIONS), keys = rect(IDC_KEYS), get_keys = rect(IDC_GET_KEYS),
                 box = rect(IDC_STATIC), name = rect(IDC_FILE_NAME);

    auto resize = [&](wxSize client) {
        v->SetClientSize(client);
        ASSERT_TRUE(PumpUntil([&] { return v->GetClientSize() == client; }));
        Pump(50);
    };

    resize(first + wxSize(100, 50));
    EXPECT_EQ(rect(IDC_SECTIONS), wxRect(sections.GetPosition(), sections.GetSize() + wxSize(100, 50)));
    EXPECT_EQ(rect(IDC_KEYS), wxRect(keys.GetPosition() + wxPoint(100, 0), keys.GetSize() + wxSize(0, 50)));
    EXPECT_EQ(rect(IDC_GET_KEYS), wxRect(get_keys.GetPosition() + wxPoint(0, 50), get_keys.GetSize()));
    EXPECT_EQ(rect(IDC_STATIC), wxRect(box.GetPosition(), box.GetSize() + wxSize(100, 50)));
    EXPECT_EQ(rect(IDC_FILE_NAME), name);

    // Below the first size the first layout comes back and stays.
    resize(first - wxSize(100, 60));
    EXPECT_EQ(rect(IDC_SECTIONS), sections);
    EXPECT_EQ(rect(IDC_KEYS), keys);
    EXPECT_EQ(rect(IDC_GET_KEYS), get_keys);
    EXPECT_EQ(rect(IDC_STATIC), box);
    resize(first + wxSize(30, -20));
    EXPECT_EQ(rect(IDC_KEYS), wxRect(keys.GetPosition() + wxPoint(30, 0), keys.GetSize()));
    EXPECT_EQ(rect(IDC_GET_KEYS), get_keys);
}

TEST_F(ViewerTest, EscapeAndCloseBoxOnlyHide)
{
    StartWith("[A]\n");
    CIniView* v = OpenClientViewer();
    Pump(300);  // a window mapped after it was hidden counts as shown again
    wxKeyEvent esc(wxEVT_CHAR_HOOK);
    esc.m_keyCode = WXK_ESCAPE;
    esc.SetEventObject(v);
    v->GetEventHandler()->ProcessEvent(esc);
    Pump(100);
    EXPECT_FALSE(v->IsShown());
    EXPECT_EQ(main_wnd_->m_pClientView, v);
    v->Show();
    Pump(300);
    v->Close();
    Pump(300);
    EXPECT_FALSE(v->IsShown());
    EXPECT_EQ(main_wnd_->m_pClientView, v);
    EXPECT_NE(main_wnd_.get(), nullptr);
}

}  // namespace

namespace {

TEST_F(ViewerTest, AFolderNamedLikeTheFileIsNoFileToShow)
{
    std::filesystem::create_directories(dir_.path() / "env");
    std::filesystem::create_directory(dir_.path() / "halvoclient.ini");
    WriteTerminal("#!/bin/sh\n");
    ASSERT_TRUE(Start());  // the start-up check takes an entry of any kind
    CIniView* v = OpenClientViewer();
    EXPECT_THAT(messages_.Texts(), ElementsAre("Can not open halvoclient.ini file"));
    EXPECT_EQ(v->m_strFile, "");
}

}  // namespace
