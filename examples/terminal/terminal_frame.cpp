#include "terminal_frame.h"

#include "blotter.h"
#include "client_ini.h"
#include "scripted_interaction.h"

#include <ledgra/LedgraInteraction.h>

#include <wx/button.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

namespace terminal {
namespace {

constexpr int kColumnWidths[kColumnCount] = {130, 60, 90, 90, 120, 130, 110};

// Writes the whole report at once (temporary file, then rename), so a reader
// polling for it never sees half of it.
void WriteReport(const std::string& path, const std::string& text) {
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) {
            std::cerr << "halvo-terminal: cannot write " << tmp << '\n';
            return;
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0)
        std::cerr << "halvo-terminal: cannot write " << path << '\n';
}

}  // namespace

BlotterList::BlotterList(wxWindow* parent, long rows)
    : wxListCtrl(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                 wxLC_REPORT | wxLC_VIRTUAL | wxLC_HRULES | wxLC_VRULES) {
    for (int c = 0; c < kColumnCount; ++c) {
        const bool number = c == kQuantity || c == kPrice || c == kValue;
        AppendColumn(ColumnTitle(c), number ? wxLIST_FORMAT_RIGHT : wxLIST_FORMAT_LEFT, kColumnWidths[c]);
    }
    SetItemCount(rows);
}

wxString BlotterList::OnGetItemText(long item, long column) const {
    return wxString::FromUTF8(CellText(item, static_cast<int>(column)));
}

TerminalFrame::TerminalFrame(const Options& options, const std::string& workDir, int& exitCode)
    : wxFrame(nullptr, wxID_ANY, kWindowTitle, wxDefaultPosition, wxSize(900, 600)),
      m_options(options),
      m_nExitCode(exitCode) {
    m_source.trades = options.rows;

    auto* panel = new wxPanel(this);
    auto* top = new wxBoxSizer(wxVERTICAL);

    m_strEnvironment = DescribeLoadRecord(ReadLoadRecord(workDir + "/halvoclient.ini"));
    auto* environment = new wxStaticText(panel, wxID_ANY, wxString::FromUTF8(m_strEnvironment));
    wxFont bold = environment->GetFont();
    bold.MakeBold();
    environment->SetFont(bold);
    top->Add(environment, 0, wxLEFT | wxRIGHT | wxTOP, 10);
    top->Add(new wxStaticText(panel, wxID_ANY, "Folder: " + wxString::FromUTF8(workDir)), 0,
             wxLEFT | wxRIGHT | wxTOP, 10);

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    m_pSaveText = new wxButton(panel, wxID_ANY, "Save as text...");
    m_pExportWorkbook = new wxButton(panel, wxID_ANY, "Export to workbook...");
    buttons->Add(m_pSaveText, 0, wxRIGHT, 8);
    buttons->Add(m_pExportWorkbook, 0);
    top->Add(buttons, 0, wxALL, 10);

    top->Add(new BlotterList(panel, options.rows), 1, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 10);
    panel->SetSizer(top);

    CreateStatusBar();
    SetStatusText(wxString::Format("%d trades", options.rows));

    m_pSaveText->Bind(wxEVT_BUTTON, &TerminalFrame::OnSaveAsText, this);
    m_pExportWorkbook->Bind(wxEVT_BUTTON, &TerminalFrame::OnExportToWorkbook, this);

    if (options.unattended()) {
        // Press the button once the window is up, as a user would.
        m_timer.SetOwner(this);
        Bind(wxEVT_TIMER, &TerminalFrame::OnUnattendedTimer, this, m_timer.GetId());
        m_timer.StartOnce(300);
    }
}

void TerminalFrame::OnUnattendedTimer(wxTimerEvent&) {
    wxButton* button = m_options.exportWorkbook.empty() ? m_pSaveText : m_pExportWorkbook;
    wxCommandEvent click(wxEVT_BUTTON, button->GetId());
    click.SetEventObject(button);
    button->GetEventHandler()->ProcessEvent(click);
}

void TerminalFrame::OnSaveAsText(wxCommandEvent&) {
    Export("text", &SaveBlotterAsText, m_options.exportText);
}

void TerminalFrame::OnExportToWorkbook(wxCommandEvent&) {
    Export("workbook", &ExportBlotterToWorkbook, m_options.exportWorkbook);
}

// A person answers Ledgra's dialogs; an unattended run answers them from the
// options and reports what was asked.
void TerminalFrame::Export(const char* what, int (*exporter)(BlotterSource&),
                           const std::string& unattendedPath) {
    if (!m_options.unattended()) {
        Finish(what, exporter(m_source));
        return;
    }
    std::ostringstream log;
    ScriptedInteraction answers(unattendedPath, log);
    ledgra::SetInteraction(&answers);
    const int result = exporter(m_source);
    ledgra::SetInteraction(nullptr);
    Report(log.str(), what, result);
    Finish(what, result);
}

// The unattended export's account: what Ledgra asked and said, the result, the
// environment the window shows, and the process id (for whoever closes it).
void TerminalFrame::Report(const std::string& log, const char* what, int result) const {
    std::cerr << log;
    if (m_options.report.empty()) return;
    WriteReport(m_options.report, log + "environment: " + m_strEnvironment + "\n" + what + "-export result=" +
                                      std::to_string(result) + " pid=" + std::to_string(getpid()) + "\n");
}

void TerminalFrame::Finish(const char* what, int result) {
    if (result == 1)
        SetStatusText(wxString::Format("%d trades - %s export saved", m_options.rows, what));
    else
        SetStatusText(wxString::Format("%d trades - %s export not saved", m_options.rows, what));
    if (!m_options.unattended()) return;
    m_nExitCode = result == 1 ? 0 : 1;
    std::cerr << "halvo-terminal: " << what << " export result " << result << '\n';
    if (!m_options.hold) Close(true);
}

}  // namespace terminal
