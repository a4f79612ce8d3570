// The system's own dialogs: GetSaveFileNameA for the save dialog, MessageBoxA
// for message boxes, both owned by the host's active window. AfxMessageBox
// boxes are captioned with the host's title (its executable's name without
// extension), with the icon the framework adds when the type has none.
#pragma once

#include <ledgra/LedgraInteraction.h>

#include <string>
#include <string_view>

namespace ledgra::win32 {

// "Text Documents(*.txt)|*.txt|All Files (*.*)|*.*||" with each '|' turned
// into the NUL separator of the system's filter list (which ends in two NULs).
std::string SystemFilter(std::string_view filter);
// "C:\\Apps\\Blotter.exe" -> "Blotter".
std::string ProgramTitle(std::string_view modulePath);

class Win32Interaction final : public Interaction {
public:
    int SaveDialog(const SaveDialogRequest& request, std::string& pathOut) override;
    int AfxMessageBox(const std::string& text, unsigned type, unsigned helpId) override;
    int MessageBoxA(const std::string& text, const std::string& caption, unsigned type) override;
};

}  // namespace ledgra::win32
