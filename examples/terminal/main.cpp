// Halvo Trader (demo): a stand-in for the trading terminal that Ardmon starts.
// It shows the environment Ardmon loaded and a blotter that it saves through
// Ledgra, the workstation's export library.
#include "options.h"
#include "terminal_frame.h"

#include <wx/app.h>

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <iostream>
#include <vector>

namespace {

std::string WorkingDirectory() {
    std::vector<char> buf(PATH_MAX + 1);
    return getcwd(buf.data(), buf.size()) ? std::string(buf.data()) : std::string(".");
}

class TerminalApp : public wxApp {
public:
    explicit TerminalApp(terminal::Options options) : m_options(std::move(options)) {}

    bool OnInit() override {
        auto* frame = new terminal::TerminalFrame(m_options, WorkingDirectory(), m_nExitCode);
        // The shell starts the terminal maximized; a person gets it that way.
        if (!m_options.unattended()) frame->Maximize();
        frame->Show();
        return true;
    }

    int OnRun() override {
        const int rc = wxApp::OnRun();
        return m_nExitCode != 0 ? m_nExitCode : rc;
    }

private:
    terminal::Options m_options;
    int m_nExitCode = 0;
};

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const auto options = terminal::ParseOptions(
        args, [](const char* n) { return std::getenv(n); }, error);
    if (!options) {
        std::cerr << "halvo-terminal: " << error << '\n' << terminal::Usage();
        return 2;
    }
    // wxEntry owns the application object from here on.
    wxApp::SetInstance(new TerminalApp(*options));
    return wxEntry(argc, argv);
}
