#include "interaction/Interaction.h"

#include <mutex>
#include <utility>

// The system's own dialogs: GTK's through wxWidgets, or Windows' own.
#ifdef _WIN32
#include "interaction/win32/Win32Interaction.h"
using SystemInteraction = ledgra::win32::Win32Interaction;
#else
#include "interaction/posix/WxInteraction.h"
using SystemInteraction = ledgra::WxInteraction;
#endif

namespace ledgra {

namespace {

std::mutex g_installedMutex;
std::shared_ptr<Interaction> g_installed;  // null: the system's dialogs
thread_local ExportSession* t_session = nullptr;

// The system's dialogs, shown one at a time: exports on several threads
// never open two at once (the toolkit is not to be entered from two threads).
class OneAtATime final : public Interaction {
public:
    int SaveDialog(const SaveDialogRequest& request, std::string& pathOut) override {
        const std::lock_guard<std::mutex> lock(mutex_);
        return system_.SaveDialog(request, pathOut);
    }
    int AfxMessageBox(const std::string& text, unsigned type, unsigned helpId) override {
        const std::lock_guard<std::mutex> lock(mutex_);
        return system_.AfxMessageBox(text, type, helpId);
    }
    int MessageBoxA(const std::string& text, const std::string& caption, unsigned type) override {
        const std::lock_guard<std::mutex> lock(mutex_);
        return system_.MessageBoxA(text, caption, type);
    }

private:
    std::mutex mutex_;
    SystemInteraction system_;
};

std::shared_ptr<Interaction> SystemDialogs() {
    static OneAtATime systemInteraction;
    return std::shared_ptr<Interaction>(std::shared_ptr<Interaction>(), &systemInteraction);
}

}  // namespace

std::shared_ptr<Interaction> InstalledInteraction() {
    {
        const std::lock_guard<std::mutex> lock(g_installedMutex);
        if (g_installed) return g_installed;
    }
    return SystemDialogs();
}

void InstallInteraction(std::shared_ptr<Interaction> interaction) {
    std::shared_ptr<Interaction> replaced;  // released outside the lock
    const std::lock_guard<std::mutex> lock(g_installedMutex);
    replaced = std::exchange(g_installed, std::move(interaction));
}

// Passes every question on to the interaction held, and keeps the text of
// each message shown.
class ExportSession::Recorder final : public Interaction {
public:
    Recorder(std::shared_ptr<Interaction> ui, std::string& shown) : ui_(std::move(ui)), shown_(shown) {}

    int SaveDialog(const SaveDialogRequest& request, std::string& pathOut) override {
        return ui_->SaveDialog(request, pathOut);
    }
    int AfxMessageBox(const std::string& text, unsigned type, unsigned helpId) override {
        shown_ = text;
        return ui_->AfxMessageBox(text, type, helpId);
    }
    int MessageBoxA(const std::string& text, const std::string& caption, unsigned type) override {
        shown_ = text;
        return ui_->MessageBoxA(text, caption, type);
    }

private:
    std::shared_ptr<Interaction> ui_;
    std::string& shown_;
};

ExportSession::ExportSession()
    : ui_(std::make_unique<Recorder>(InstalledInteraction(), shown_)), outer_(t_session) {
    t_session = this;
}

ExportSession::~ExportSession() { t_session = outer_; }

Interaction& ExportSession::Ui() { return *ui_; }

Interaction& CurrentInteraction() {
    if (t_session != nullptr) return t_session->Ui();
    // Outside an export (the library's own tests): the one installed now.
    static thread_local std::shared_ptr<Interaction> held;
    held = InstalledInteraction();
    return *held;
}

void SetOutcome(std::int32_t code) {
    if (t_session != nullptr) t_session->SetCode(code);
}

}  // namespace ledgra
