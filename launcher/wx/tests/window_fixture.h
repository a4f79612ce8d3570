// A terminal folder in a temporary directory, made the working directory,
// and the launcher's windows started in it with recorded message boxes.
#pragma once

#include <string>

#include <gtest/gtest.h>
#include <wx/weakref.h>

#include "ardmon_app.h"
#include "ardmon_dlg.h"
#include "gui_test_support.h"
#include "ini_view.h"

namespace ardmon::test {

class TerminalFolderTest : public testing::Test {
protected:
    TerminalFolderTest() : work_dir_(dir_.path()) {}

    void SetUp() override { theApp.SetMessages(&messages_); }

    void TearDown() override
    {
        if (CArdmonDlg* dlg = main_wnd_.get()) {
            dlg->Destroy();
        }
        PumpUntil([&] { return main_wnd_.get() == nullptr; });
        theApp.SetMessages(nullptr);
        theApp.m_strIniFile.clear();
    }

    // A complete folder: env/ with the given profiles, the client file and
    // an executable terminal.
    void MakeTerminalFolder(const std::string& client = "[CONNECTION]\nHost=a\n")
    {
        std::filesystem::create_directory(dir_.path() / "env");
        WriteFile(dir_.path() / "halvoclient.ini", client);
        WriteTerminal("#!/bin/sh\nexit 0\n");
    }

    void WriteTerminal(const std::string& script)
    {
        const auto path = dir_.path() / "VovuvAvavar.exe";
        WriteFile(path, script);
        std::filesystem::permissions(path, std::filesystem::perms(0755));
    }

    // Runs the start-up; true when the main window is shown.
    bool Start()
    {
        const bool shown = theApp.InitInstance();
        main_wnd_ = theApp.m_pMainWnd;
        if (shown) {
            PumpUntil([&] { return main_wnd_->IsShownOnScreen(); });
        }
        return shown;
    }

    bool Ended()
    {
        return PumpUntil([&] { return main_wnd_.get() == nullptr; });
    }

    // Presses a button of window w the way a click does.
    static void Click(wxWindow* w, int id)
    {
        wxCommandEvent click(wxEVT_BUTTON, id);
        click.SetEventObject(w->FindWindow(id));
        w->GetEventHandler()->ProcessEvent(click);
    }

    TempDir dir_;
    ScopedWorkDir work_dir_;
    RecordingMessageBoxes messages_;
    wxWeakRef<CArdmonDlg> main_wnd_;
};

}  // namespace ardmon::test
