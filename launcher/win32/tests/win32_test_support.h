// Helpers for the tests that drive the launcher's real Win32 windows under
// wine: a scratch workstation made the working directory, scripted message
// boxes, and readers for the controls.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ardmon_app.h"
#include "ardmon_dlg.h"
#include "recording_message_boxes.h"

namespace ardmon::win32::test {

void WriteFile(const std::filesystem::path& path, const std::string& content);
std::string ReadFile(const std::filesystem::path& path);

std::string WindowText(HWND window);
std::string ItemText(HWND dialog, int id);
std::vector<std::string> ComboItems(HWND combo);
std::vector<std::string> ListBoxItems(HWND list);
// Every row of a report list view as {column 0, column 1}.
std::vector<std::vector<std::string>> ListViewRows(HWND list);
// A control's rectangle in its parent's client coordinates.
RECT ChildRect(HWND control);

// Presses button id of dialog the way a click does.
void Click(HWND dialog, int id);
// A key pressed in control, taken through the launcher's own message loop.
void PressKey(HWND control, WPARAM key);

// A scratch terminal folder, the working directory while the test runs,
// and the launcher's windows started in it with recorded message boxes.
class WorkstationTest : public testing::Test {
protected:
    WorkstationTest();
    ~WorkstationTest() override;

    // env/ with the given profiles, the client file and a terminal.
    void MakeWorkstation(const std::string& client = "[CONNECTION]\r\nHost=a\r\n");
    void WriteProfile(const std::string& name, const std::string& content);

    // Makes the main window as the launcher does; true when it is shown.
    bool Start();
    HWND Main() const { return dlg->m_hWnd; }
    // The folder as the launcher spells it.
    std::string Folder() const;

    std::filesystem::path dir;
    ardmon::test::RecordingMessageBoxes messages;
    std::unique_ptr<CArdmonDlg> dlg;

private:
    std::filesystem::path previous_;
};

}  // namespace ardmon::win32::test
