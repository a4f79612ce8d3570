// The toolkit-free half of the wx dialogs, and what they do without a display.
#include "interaction/DialogLogic.h"
#include "interaction/posix/WxInteraction.h"
#include "test_support/ScopedEnv.h"

#include <gtest/gtest.h>
#include <wx/defs.h>
#include <wx/toplevel.h>

#include <cstdlib>
#include <set>
#include <utility>
#include <vector>

using namespace ledgra;

TEST(Filters, MfcFiltersBecomeWildcardsGtkUnderstands) {
    EXPECT_EQ(MfcFilterToWildcard("Text Documents(*.txt)|*.txt; *.txt|All Files (*.*)|*.*||"),
              "Text Documents(*.txt)|*.txt|All Files (*.*)|*");
    EXPECT_EQ(MfcFilterToWildcard("Worksheet Files (*.xls)|*.xls|Data Files (*.xlc;*.xls)|"
                                  "*.xlc; *.xls|CSV Files(*.csv)|*.csv; *.csv|Text Documents(*.txt)|"
                                  "*.txt;*.txt|All Files (*.*)|*.*||"),
              "Worksheet Files (*.xls)|*.xls|Data Files (*.xlc;*.xls)|*.xlc;*.xls|"
              "CSV Files(*.csv)|*.csv|Text Documents(*.txt)|*.txt|All Files (*.*)|*");
    EXPECT_EQ(MfcFilterToWildcard("CSV Files(*.csv)|*.csv; *.csv|Text Documents(*.txt)|*.txt;*.txt|"
                                  "All Files (*.*)|*.*||"),
              "CSV Files(*.csv)|*.csv|Text Documents(*.txt)|*.txt|All Files (*.*)|*");
    // Nothing after the terminator counts; a description without patterns is dropped.
    EXPECT_EQ(MfcFilterToWildcard("A|*.a||B|*.b"), "A|*.a");
    EXPECT_EQ(MfcFilterToWildcard("Empty| ; |A|*.a|"), "A|*.a");
    EXPECT_EQ(MfcFilterToWildcard(""), "");
}

TEST(Filters, TheDefaultExtensionGoesOnlyOnNamesWithoutOne) {
    EXPECT_EQ(WithDefaultExtension("/tmp/list", ".txt"), "/tmp/list.txt");
    EXPECT_EQ(WithDefaultExtension("/tmp/list", "txt"), "/tmp/list.txt");
    EXPECT_EQ(WithDefaultExtension("/tmp/list.csv", ".txt"), "/tmp/list.csv");
    EXPECT_EQ(WithDefaultExtension("/tmp/list.", ".txt"), "/tmp/list.");
    EXPECT_EQ(WithDefaultExtension("/tmp/.hidden", ".txt"), "/tmp/.hidden.txt");
    EXPECT_EQ(WithDefaultExtension("/tmp/a.d/list", ".txt"), "/tmp/a.d/list.txt");
    EXPECT_EQ(WithDefaultExtension("/tmp/list", ""), "/tmp/list");
}

namespace {
// A scripted chooser: each entry is the path "typed" (empty = Cancel).
struct FakeWindows {
    std::vector<std::string> typed;
    std::set<std::string> existing;
    std::vector<bool> replies;  // answers to the replace question
    std::vector<std::string> shownNames, asked;

    SaveDialogWindows Windows() {
        SaveDialogWindows w;
        w.choose = [this](const std::string& folder, const std::string& name, std::string& out) {
            shownNames.push_back(folder + "|" + name);
            if (typed.empty() || typed.front().empty()) return false;
            out = typed.front();
            typed.erase(typed.begin());
            return true;
        };
        w.exists = [this](const std::string& p) { return existing.count(p) != 0; };
        w.confirmReplace = [this](const std::string& p) {
            asked.push_back(p);
            const bool yes = replies.front();
            replies.erase(replies.begin());
            return yes;
        };
        return w;
    }
};

SaveDialogRequest TextRequest(unsigned flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT) {
    SaveDialogRequest r;
    r.defaultExt = ".txt";
    r.initialName = "ListLogFile.txt";
    r.flags = flags;
    return r;
}
}  // namespace

TEST(SaveDialogLoop, AnEmptyDefaultExtensionTakesTheSelectedFiltersExtension) {
    SaveDialogRequest request;
    request.filter = "CSV Files(*.csv)|*.csv; *.csv|Text Documents(*.txt)|*.txt;*.txt|All Files (*.*)|*.*||";
    for (const auto& [index, expected] :
         {std::pair{0, "/d/trades.csv"}, {1, "/d/trades.txt"}, {2, "/d/trades"}}) {
        FakeWindows fake;
        fake.typed = {"/d/trades"};
        SaveDialogWindows windows = fake.Windows();
        windows.filterIndex = [index = index] { return index; };
        std::string path;
        EXPECT_EQ(RunSaveDialog(request, "/d", windows, path), IDOK);
        EXPECT_EQ(path, expected);
    }
}

TEST(SaveDialogLoop, ReplacingIsAskedForTheNameWithItsExtension) {
    FakeWindows fake;
    fake.typed = {"/d/list", "/d/other"};
    fake.existing = {"/d/list.txt"};
    fake.replies = {false};
    std::string path;
    EXPECT_EQ(RunSaveDialog(TextRequest(), "/start", fake.Windows(), path), IDOK);
    EXPECT_EQ(path, "/d/other.txt");
    EXPECT_EQ(fake.asked, std::vector<std::string>{"/d/list.txt"});
    // No goes back to the chooser where the user left it.
    EXPECT_EQ(fake.shownNames, (std::vector<std::string>{"/start|ListLogFile.txt", "/d|list.txt"}));
    EXPECT_EQ(ReplaceQuestion("/d/list.txt"), "list.txt already exists.\nDo you want to replace it?");
}

TEST(SaveDialogLoop, YesKeepsTheNameAndWithoutTheFlagNothingIsAsked) {
    FakeWindows fake;
    fake.typed = {"/d/list.txt"};
    fake.existing = {"/d/list.txt"};
    fake.replies = {true};
    std::string path;
    EXPECT_EQ(RunSaveDialog(TextRequest(), "/d", fake.Windows(), path), IDOK);
    EXPECT_EQ(path, "/d/list.txt");

    FakeWindows quiet;
    quiet.typed = {"/d/list.txt"};
    quiet.existing = {"/d/list.txt"};
    EXPECT_EQ(RunSaveDialog(TextRequest(OFN_HIDEREADONLY), "/d", quiet.Windows(), path), IDOK);
    EXPECT_TRUE(quiet.asked.empty());

    FakeWindows cancel;
    path = "untouched";
    EXPECT_EQ(RunSaveDialog(TextRequest(), "/d", cancel.Windows(), path), IDCANCEL);
    EXPECT_EQ(path, "untouched");
}

TEST(MessageBoxes, WindowsTypesMapToWxStyles) {
    // The workbook export's question: Yes/No, question icon, No as default.
    EXPECT_EQ(MessageBoxStyle(0x124, true), wxYES_NO | wxNO_DEFAULT | wxICON_QUESTION);
    // AfxMessageBox adds MFC's icons; MessageBoxA shows none unless asked.
    EXPECT_EQ(MessageBoxStyle(MB_OK, true), wxOK | wxICON_WARNING);
    EXPECT_EQ(MessageBoxStyle(MB_OK, false), wxOK | wxICON_NONE);
    EXPECT_EQ(MessageBoxStyle(MB_OK | MB_SETFOREGROUND, false), wxOK | wxICON_NONE | wxSTAY_ON_TOP);
    EXPECT_EQ(WindowsResult(wxID_YES), IDYES);  // not wxYES
}

TEST(NoDisplay, DialogsAnswerCancelOrNoAtOnceAndSaySoOnStderr) {
    test::ScopedEnv env;
    env.Unset("DISPLAY");
    env.Unset("WAYLAND_DISPLAY");
    WxInteraction wx;
    std::string path = "untouched";
    testing::internal::CaptureStderr();
    EXPECT_EQ(wx.SaveDialog(TextRequest(), path), IDCANCEL);
    EXPECT_EQ(wx.AfxMessageBox("File OPen Failed", MB_OK, 0), IDOK);
    EXPECT_EQ(wx.AfxMessageBox("Save as text?", 0x124, 0), IDNO);
    EXPECT_EQ(wx.MessageBoxA("Failed To open File", "File Open", MB_OK), IDOK);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(path, "untouched");
    EXPECT_NE(err.find("save dialog [answered Cancel]"), std::string::npos) << err;
    EXPECT_NE(err.find("\"ledgra_interaction_test\": File OPen Failed [answered OK]"), std::string::npos)
        << err;
    EXPECT_NE(err.find("Save as text? [answered No]"), std::string::npos) << err;
    EXPECT_NE(err.find("\"File Open\": Failed To open File [answered OK]"), std::string::npos) << err;
    EXPECT_EQ(HostProgramTitle(), "ledgra_interaction_test");
}

TEST(NoDisplay, AnUnreachableDisplayIsNoDisplayEither) {
    test::ScopedEnv env;
    env.Set("DISPLAY", ":9876");  // nothing listens there
    WxInteraction wx;
    std::string path;
    testing::internal::CaptureStderr();
    EXPECT_EQ(wx.SaveDialog(TextRequest(), path), IDCANCEL);
    EXPECT_EQ(wx.MessageBoxA("Failed To open File", "File Open", MB_OK), IDOK);
    testing::internal::GetCapturedStderr();
}
