// The demo terminal's window: the loaded environment, the trade blotter and the
// two export buttons.
#pragma once

#include "blotter_export.h"
#include "options.h"

#include <wx/frame.h>
#include <wx/listctrl.h>
#include <wx/timer.h>

class wxButton;

namespace terminal {

inline constexpr const char* kWindowTitle = "Halvo Trader (demo)";

// A report-view list that asks for its cells only when they are drawn.
class BlotterList : public wxListCtrl {
public:
    BlotterList(wxWindow* parent, long rows);

protected:
    wxString OnGetItemText(long item, long column) const override;
};

class TerminalFrame : public wxFrame {
public:
    // exitCode receives the result of an unattended export: 0 saved, 1 not.
    TerminalFrame(const Options& options, const std::string& workDir, int& exitCode);

private:
    void OnSaveAsText(wxCommandEvent& event);
    void OnExportToWorkbook(wxCommandEvent& event);
    void OnUnattendedTimer(wxTimerEvent& event);
    void Export(const char* what, int (*exporter)(BlotterSource&), const std::string& unattendedPath);
    void Finish(const char* what, int result);
    void Report(const std::string& log, const char* what, int result) const;

    Options m_options;
    BlotterSource m_source;
    std::string m_strEnvironment;
    wxButton* m_pSaveText = nullptr;
    wxButton* m_pExportWorkbook = nullptr;
    wxTimer m_timer;
    int& m_nExitCode;
};

}  // namespace terminal
