// Every question Ledgra puts to the user goes through this interface: the save
// dialog and the two kinds of message box. The library uses the system's own
// dialogs unless the host (or a test) installs its own. Written inline over the
// C table of <ledgra/ledgra.h>.
#pragma once

#include <ledgra/ledgra.h>

#include <string>

namespace ledgra {

// Windows dialog results and message box types, with their Windows values.
// Where <windows.h> (or <commdlg.h>) came first, its macros of the same names
// and values stand in for them (write IDOK, not ledgra::IDOK, there).
#ifndef IDOK
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };
#endif
#ifndef MB_OK
enum : unsigned {
    MB_OK = 0x0,
    MB_YESNO = 0x4,
    MB_ICONQUESTION = 0x20,
    MB_DEFBUTTON2 = 0x100,
    MB_SETFOREGROUND = 0x10000,
};
#endif
#ifndef OFN_OVERWRITEPROMPT
enum : unsigned { OFN_OVERWRITEPROMPT = 0x2, OFN_HIDEREADONLY = 0x4 };
#endif

// A save dialog as the export asks for it, in the terms of the Windows one.
struct SaveDialogRequest {
    std::string
        defaultExt;  // ".txt", or "" for the selected filter's; appended when the user typed no extension
    std::string initialName;  // e.g. "ListLogFile.txt" or ""
    unsigned flags = 0;       // OFN_* bits
    std::string filter;       // "Text Documents(*.txt)|*.txt; *.txt|All Files (*.*)|*.*||"
};

class Interaction {
public:
    virtual ~Interaction() = default;
    // Shows the save dialog. Returns IDOK with the full path in pathOut, or IDCANCEL.
    virtual int SaveDialog(const SaveDialogRequest& request, std::string& pathOut) = 0;
    // AfxMessageBox: captioned with the host program's title. Returns the button pressed
    // (IDOK, IDYES, IDNO).
    virtual int AfxMessageBox(const std::string& text, unsigned type, unsigned helpId) = 0;
    // MessageBoxA with no owner window and an explicit caption. Returns the button pressed.
    virtual int MessageBoxA(const std::string& text, const std::string& caption, unsigned type) = 0;
};

namespace detail {

// The C table's functions, each calling the Interaction in its context. An
// exception of the interaction counts as Cancel (or No).
struct InteractionBridge {
    static int32_t SaveDialog(void* context, const ledgra_save_dialog_request* request,
                              ledgra_text* pathOut) noexcept {
        try {
            SaveDialogRequest r{request->default_ext, request->initial_name, request->flags, request->filter};
            std::string path;
            const int result = static_cast<Interaction*>(context)->SaveDialog(r, path);
            ledgra_text_set(pathOut, path.data(), path.size());
            return result;
        } catch (...) {
            return 2;  // IDCANCEL
        }
    }
    static int32_t AfxMessageBox(void* context, const char* text, uint32_t type, uint32_t helpId) noexcept {
        try {
            return static_cast<Interaction*>(context)->AfxMessageBox(text, type, helpId);
        } catch (...) {
            return (type & 0xF) == 0 ? 1 : 7;  // IDOK for MB_OK, else IDNO
        }
    }
    static int32_t ShowMessageBox(void* context, const char* text, const char* caption,
                                  uint32_t type) noexcept {
        try {
            return static_cast<Interaction*>(context)->MessageBoxA(text, caption, type);
        } catch (...) {
            return (type & 0xF) == 0 ? 1 : 7;
        }
    }
};

}  // namespace detail

// Installs the interaction every export uses from now on; null restores the
// system's own dialogs. The caller keeps ownership.
inline void SetInteraction(Interaction* interaction) {
    if (interaction == nullptr) {
        ledgra_set_interaction(nullptr);
        return;
    }
    const ledgra_interaction table{interaction, &detail::InteractionBridge::SaveDialog,
                                   &detail::InteractionBridge::AfxMessageBox,
                                   &detail::InteractionBridge::ShowMessageBox};
    ledgra_set_interaction(&table);
}

}  // namespace ledgra
