#include "interaction/Interaction.h"

#include "object/Text.h"

#include <memory>
#include <string>

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

// The answer to a box the host's table cannot show: OK for MB_OK, else No.
int CancelledAnswer(unsigned type) { return (type & 0xF) == MB_OK ? IDOK : IDNO; }

// The host's C table seen as an Interaction; a function it leaves null answers
// as a dialog the user cancelled.
class TableInteraction final : public Interaction {
public:
    explicit TableInteraction(const ledgra_interaction& table) : table_(table) {}

    int SaveDialog(const SaveDialogRequest& request, std::string& pathOut) override {
        const ledgra_save_dialog_request r{request.defaultExt.c_str(), request.initialName.c_str(),
                                           request.flags, request.filter.c_str()};
        if (table_.save_dialog == nullptr) return IDCANCEL;
        std::string path;
        const int result = table_.save_dialog(table_.context, &r, AsText(path));
        if (result == IDOK) pathOut = std::move(path);
        return result;
    }
    int AfxMessageBox(const std::string& text, unsigned type, unsigned helpId) override {
        if (table_.afx_message_box == nullptr) return CancelledAnswer(type);
        return table_.afx_message_box(table_.context, text.c_str(), type, helpId);
    }
    int MessageBoxA(const std::string& text, const std::string& caption, unsigned type) override {
        if (table_.message_box == nullptr) return CancelledAnswer(type);
        return table_.message_box(table_.context, text.c_str(), caption.c_str(), type);
    }

private:
    ledgra_interaction table_;
};

std::unique_ptr<TableInteraction> g_installed;

}  // namespace

Interaction& CurrentInteraction() {
    if (g_installed) return *g_installed;
    static SystemInteraction systemInteraction;
    return systemInteraction;
}

}  // namespace ledgra

void ledgra_set_interaction(const ledgra_interaction* interaction) {
    try {
        ledgra::g_installed.reset(interaction != nullptr ? new ledgra::TableInteraction(*interaction)
                                                         : nullptr);
    } catch (...) {
        ledgra::g_installed.reset();  // out of memory: the system's dialogs
    }
}
