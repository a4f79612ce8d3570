// The real wx dialogs, driven with keys under Xvfb. The program is no wx
// program itself, so these also show the library bringing wx up on demand in
// such a host. Each step waits until the dialog's window is on the display
// (found by its title), then types.
#include "interaction/posix/WxInteraction.h"
#include "test_support/TestTable.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/frame.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <unistd.h>
#include <deque>
#include <functional>
#include <map>

using namespace ledgra;

namespace {

// The viewable top-level windows on the display, by title.
std::map<std::string, Window> TopLevelWindows(Display* display) {
    std::map<std::string, Window> windows;
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count; ++i) {
            XWindowAttributes attributes;
            if (!XGetWindowAttributes(display, children[i], &attributes) ||
                attributes.map_state != IsViewable)
                continue;
            char* name = nullptr;
            if (XFetchName(display, children[i], &name) && name != nullptr) {
                windows[name] = children[i];
                XFree(name);
            }
        }
        if (children != nullptr) XFree(children);
    }
    return windows;
}

// Waits (pumping wx) until a window titled title is shown, then gives it the
// keyboard focus: there is no window manager to do that under Xvfb.
bool WaitAndFocus(const std::string& title) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    const wxLongLong deadline = wxGetLocalTimeMillis() + 10000;
    bool found = false;
    while (!found && wxGetLocalTimeMillis() < deadline) {
        wxYieldIfNeeded();
        wxMilliSleep(20);
        const auto windows = TopLevelWindows(display);
        const auto it = windows.find(title);
        if (it == windows.end()) continue;
        found = true;
        for (int i = 0; i < 10; ++i) {  // let GTK finish drawing and focusing inside
            wxYieldIfNeeded();
            wxMilliSleep(20);
        }
        XSetInputFocus(display, it->second, RevertToParent, CurrentTime);
        XSync(display, False);
    }
    XCloseDisplay(display);
    return found;
}

// One step per dialog: the title to wait for and the keys to type into it.
struct Step {
    std::string title;
    std::function<void(wxUIActionSimulator&)> keys;
};

std::deque<Step> g_steps;
std::vector<std::string> g_seenTitles;

void DriveNextDialog() {
    if (g_steps.empty()) return;
    Step step = std::move(g_steps.front());
    g_steps.pop_front();
    wxTheApp->CallAfter([step] {
        g_seenTitles.push_back(WaitAndFocus(step.title) ? step.title : "(none)");
        wxYieldIfNeeded();
        wxUIActionSimulator sim;
        step.keys(sim);
    });
}

void PressReturn(wxUIActionSimulator& sim) { sim.Char(WXK_RETURN); }

class WxDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under Xvfb";
        SetBeforeModalHook(DriveNextDialog);
    }
    void TearDown() override {
        SetBeforeModalHook(nullptr);
        g_steps.clear();
        g_seenTitles.clear();
    }
};

TEST_F(WxDialogs, MessageBoxesShowTheirCaptionsAndAnswerWithTheDefaultButton) {
    WxInteraction ui;
    g_steps = {{"ledgra_interaction_wx_test", PressReturn}, {"Excel", PressReturn}};
    EXPECT_EQ(ui.AfxMessageBox("File OPen Failed", MB_OK, 0), IDOK);
    // Yes/No with the second button as default: Return answers No.
    EXPECT_EQ(ui.MessageBoxA("Save it as text?", "Excel", 0x124), IDNO);
    EXPECT_EQ(g_seenTitles, (std::vector<std::string>{"ledgra_interaction_wx_test", "Excel"}));
}

TEST_F(WxDialogs, TheSaveDialogAppendsTheExtensionAndAsksBeforeReplacing) {
    test::TempDir dir;
    ASSERT_EQ(::chdir(dir.path().c_str()), 0);
    test::WriteFile(dir.path() / "taken.txt", "keep");
    const auto typeName = [](const char* name) {
        return [name](wxUIActionSimulator& sim) {
            sim.Char('a', wxMOD_CONTROL);
            sim.Text(name);
            sim.Char(WXK_RETURN);
        };
    };
    g_steps = {{"Save As", typeName("taken")},
               {"Confirm Save As", PressReturn},  // No is the default
               {"Save As", typeName("fresh")}};
    SaveDialogRequest request;
    request.defaultExt = ".txt";
    request.initialName = "ListLogFile.txt";
    request.flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    request.filter = "Text Documents(*.txt)|*.txt; *.txt|All Files (*.*)|*.*||";
    WxInteraction ui;
    std::string path;
    EXPECT_EQ(ui.SaveDialog(request, path), IDOK);
    EXPECT_EQ(path, (dir.path() / "fresh.txt").string());
    EXPECT_EQ(g_seenTitles, (std::vector<std::string>{"Save As", "Confirm Save As", "Save As"}));
    EXPECT_EQ(test::ReadFile(dir.path() / "taken.txt"), "keep");
}

TEST_F(WxDialogs, InAWxHostTheHostsAppAndTitleServe) {
    wxApp::SetInstance(new wxApp);
    int argc = 1;
    char name[] = "blotter";
    char* argv[] = {name, nullptr};
    ASSERT_TRUE(wxEntryStart(argc, argv));
    wxTheApp->SetAppDisplayName("Halvo Blotter");
    EXPECT_EQ(HostProgramTitle(), "Halvo Blotter");
    auto* frame = new wxFrame(nullptr, wxID_ANY, "Blotter main window");  // owns the boxes
    frame->Show();
    wxTheApp->SetTopWindow(frame);
    g_steps = {{"Halvo Blotter", PressReturn}};
    WxInteraction ui;
    EXPECT_EQ(ui.AfxMessageBox("CallBack Failed", MB_OK, 0), IDOK);
    EXPECT_NE(wxTheApp, nullptr) << "the host's application stays";
    frame->Destroy();
    wxEntryCleanup();
    EXPECT_EQ(g_seenTitles, std::vector<std::string>{"Halvo Blotter"});
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
