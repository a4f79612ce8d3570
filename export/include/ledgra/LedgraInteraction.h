// Every question Ledgra puts to the user goes through this interface: the save
// dialog and the two kinds of message box. The library uses a wxWidgets
// implementation unless the host (or a test) installs its own.
#pragma once

#include <ledgra/LedgraExport.h>

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
    std::string defaultExt;   // e.g. ".txt" or ""; appended when the user typed no extension
    std::string initialName;  // e.g. "ListLogFile.txt" or ""
    unsigned flags = 0;       // OFN_* bits
    std::string filter;       // "Text Documents(*.txt)|*.txt; *.txt|All Files (*.*)|*.*||"
};

class LEDGRA_API Interaction {
public:
    virtual ~Interaction();
    // Shows the save dialog. Returns IDOK with the full path in pathOut, or IDCANCEL.
    virtual int SaveDialog(const SaveDialogRequest& request, std::string& pathOut) = 0;
    // AfxMessageBox: captioned with the host program's title. Returns the button pressed
    // (IDOK, IDYES, IDNO).
    virtual int AfxMessageBox(const std::string& text, unsigned type, unsigned helpId) = 0;
    // MessageBoxA with no owner window and an explicit caption. Returns the button pressed.
    virtual int MessageBoxA(const std::string& text, const std::string& caption, unsigned type) = 0;
};

// Installs the interaction every export uses from now on; null restores the
// library's own wxWidgets implementation. The caller keeps ownership.
LEDGRA_API void SetInteraction(Interaction* interaction);
// The interaction in use.
LEDGRA_API Interaction& CurrentInteraction();

}  // namespace ledgra
