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
enum : int { IDOK = LEDGRA_IDOK, IDCANCEL = LEDGRA_IDCANCEL, IDYES = LEDGRA_IDYES, IDNO = LEDGRA_IDNO };
#endif
#ifndef MB_OK
enum : unsigned {
    MB_OK = LEDGRA_MB_OK,
    MB_YESNO = LEDGRA_MB_YESNO,
    MB_ICONQUESTION = LEDGRA_MB_ICONQUESTION,
    MB_DEFBUTTON2 = LEDGRA_MB_DEFBUTTON2,
    MB_SETFOREGROUND = LEDGRA_MB_SETFOREGROUND,
};
#endif
#ifndef OFN_OVERWRITEPROMPT
enum : unsigned {
    OFN_OVERWRITEPROMPT = LEDGRA_OFN_OVERWRITEPROMPT,
    OFN_HIDEREADONLY = LEDGRA_OFN_HIDEREADONLY
};
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

// The answer a message box gets when it cannot be shown: OK for MB_OK, No for
// MB_YESNO, otherwise Cancel.
inline int32_t UnshownAnswer(uint32_t type) {
    switch (type & 0xFu) {
        case LEDGRA_MB_OK:
            return LEDGRA_IDOK;
        case LEDGRA_MB_YESNO:
            return LEDGRA_IDNO;
        default:
            return LEDGRA_IDCANCEL;
    }
}

// The C table's functions, each calling the Interaction in its context. An
// exception of the interaction counts as Cancel (or No).
struct InteractionBridge {
    static int32_t LEDGRA_CALL SaveDialog(void* context, const ledgra_save_dialog_request* request,
                                          ledgra_text* pathOut) noexcept {
        try {
            SaveDialogRequest r{request->default_ext, request->initial_name, request->flags, request->filter};
            std::string path;
            const int result = static_cast<Interaction*>(context)->SaveDialog(r, path);
            ledgra_text_set(pathOut, path.data(), path.size());
            return result;
        } catch (...) {
            return LEDGRA_IDCANCEL;
        }
    }
    static int32_t LEDGRA_CALL AfxMessageBox(void* context, const char* text, uint32_t type,
                                             uint32_t helpId) noexcept {
        try {
            return static_cast<Interaction*>(context)->AfxMessageBox(text, type, helpId);
        } catch (...) {
            return UnshownAnswer(type);
        }
    }
    static int32_t LEDGRA_CALL ShowMessageBox(void* context, const char* text, const char* caption,
                                              uint32_t type) noexcept {
        try {
            return static_cast<Interaction*>(context)->MessageBoxA(text, caption, type);
        } catch (...) {
            return UnshownAnswer(type);
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
