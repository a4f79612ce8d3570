#include "interaction/posix/WxInteraction.h"

#include "interaction/DialogLogic.h"

#include <wx/app.h>
#include <wx/filedlg.h>
#include <wx/filefn.h>
#include <wx/init.h>
#include <wx/msgdlg.h>
#include <wx/string.h>

#include <sys/stat.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace ledgra {

namespace {

bool g_ownApp = false;  // wx was brought up by this library, not by the host

std::function<void()>& BeforeModal() {
    static std::function<void()> hook;
    return hook;
}

void RunBeforeModalHook() {
    if (BeforeModal()) BeforeModal()();
}

bool HostHasWx() { return wxTheApp != nullptr && !g_ownApp; }

bool DisplayExists() {
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x != nullptr && *x != '\0') || (wayland != nullptr && *wayland != '\0');
}

// wx for the length of one dialog: the host's, or started here and shut down again.
class WxSession {
public:
    WxSession() {
        if (wxTheApp != nullptr) {
            ready_ = true;
            return;
        }
        if (!DisplayExists()) return;
        wxApp::SetInstance(new wxApp);
        int argc = 1;
        char* argv[] = {program_invocation_name, nullptr};
        if (wxEntryStart(argc, argv)) {
            ready_ = true;
            g_ownApp = true;
        } else {
            // wxEntryStart cleans up after itself when it fails.
            wxApp::SetInstance(nullptr);
        }
    }
    ~WxSession() {
        if (ready_ && g_ownApp) {
            wxEntryCleanup();
            g_ownApp = false;
        }
    }
    WxSession(const WxSession&) = delete;
    WxSession& operator=(const WxSession&) = delete;
    bool Ready() const { return ready_; }

private:
    bool ready_ = false;
};

wxString ToWx(const std::string& text) {
    wxString s = wxString::FromUTF8(text.data(), text.size());
    if (s.empty() && !text.empty()) s = wxString(text.data(), wxConvISO8859_1, text.size());
    return s;
}

std::string FromWxPath(const wxString& path) {
    const wxCharBuffer bytes = path.fn_str();
    return bytes.data() != nullptr ? std::string(bytes.data()) : std::string();
}

const char* AnswerName(int answer) {
    switch (answer) {
        case IDOK:
            return "OK";
        case IDYES:
            return "Yes";
        case IDNO:
            return "No";
        default:
            return "Cancel";
    }
}

// The owner of AfxMessageBox boxes and of the save dialog: the host's main
// window, as MFC takes the main window as owner. MessageBoxA boxes have none.
wxWindow* HostMainWindow() { return HostHasWx() ? wxTheApp->GetTopWindow() : nullptr; }

int ShowMessage(wxWindow* owner, const std::string& text, const std::string& caption, long style,
                unsigned type) {
    WxSession wx;
    if (!wx.Ready()) {
        const int answer = UnshownAnswer(type);
        std::fprintf(stderr, "ledgra: no display to show \"%s\": %s [answered %s]\n", caption.c_str(),
                     text.c_str(), AnswerName(answer));
        return answer;
    }
    wxMessageDialog dialog(owner, ToWx(text), ToWx(caption), style);
    RunBeforeModalHook();
    return WindowsResult(dialog.ShowModal());
}

bool PathExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

std::string HostProgramTitle() {
    if (HostHasWx()) {
        const wxString name = wxTheApp->GetAppDisplayName();
        if (!name.empty()) return std::string(name.utf8_str());
    }
    return program_invocation_short_name;
}

void SetBeforeModalHook(std::function<void()> hook) { BeforeModal() = std::move(hook); }

int WxInteraction::SaveDialog(const SaveDialogRequest& request, std::string& pathOut) {
    WxSession wx;
    if (!wx.Ready()) {
        std::fprintf(stderr, "ledgra: no display to show the save dialog [answered Cancel]\n");
        return IDCANCEL;
    }
    const wxString wildcard = ToWx(MfcFilterToWildcard(request.filter));
    SaveDialogWindows windows;
    int filterIndex = 0;
    windows.choose = [&](const std::string& folder, const std::string& name, std::string& chosen) {
        // Replacing is confirmed by RunSaveDialog, after the default extension is on.
        wxFileDialog dialog(HostMainWindow(), "Save As", ToWx(folder), ToWx(name), wildcard, wxFD_SAVE);
        RunBeforeModalHook();
        if (dialog.ShowModal() != wxID_OK) return false;
        filterIndex = dialog.GetFilterIndex();
        chosen = FromWxPath(dialog.GetPath());
        return !chosen.empty();
    };
    windows.filterIndex = [&] { return filterIndex; };
    windows.exists = PathExists;
    windows.confirmReplace = [&](const std::string& path) {
        wxMessageDialog dialog(HostMainWindow(), ToWx(ReplaceQuestion(path)), "Confirm Save As",
                               wxYES_NO | wxNO_DEFAULT | wxICON_WARNING);
        RunBeforeModalHook();
        return dialog.ShowModal() == wxID_YES;
    };
    return RunSaveDialog(request, FromWxPath(wxGetCwd()), windows, pathOut);
}

int WxInteraction::AfxMessageBox(const std::string& text, unsigned type, unsigned /*helpId*/) {
    return ShowMessage(HostMainWindow(), text, HostProgramTitle(), MessageBoxStyle(type, true), type);
}

int WxInteraction::MessageBoxA(const std::string& text, const std::string& caption, unsigned type) {
    return ShowMessage(nullptr, text, caption, MessageBoxStyle(type, false), type);
}

}  // namespace ledgra
