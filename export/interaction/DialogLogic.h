// The toolkit-free half of the dialogs: filter conversion, default extension,
// the overwrite question loop of the save dialog, and the mapping of Windows
// message box types and results to wxWidgets styles and back.
#pragma once

#include <ledgra/LedgraInteraction.h>

#include <functional>
#include <string>
#include <string_view>

namespace ledgra {

// "Text Documents(*.txt)|*.txt; *.txt|All Files (*.*)|*.*||" ->
// "Text Documents(*.txt)|*.txt|All Files (*.*)|*": the trailing "||" dropped,
// patterns trimmed, empty and repeated patterns of a pair dropped, "*.*" as "*"
// (GTK's "*.*" would hide names without a dot). A description without a
// pattern list is dropped.
std::string MfcFilterToWildcard(std::string_view filter);

// True when the last component of path has an extension ("a.txt", "a."), false
// for "a" and for a leading dot only (".profile").
bool HasExtension(std::string_view path);

// path with defaultExt (".txt" or "txt") appended when path has no extension.
std::string WithDefaultExtension(std::string path, std::string_view defaultExt);

// The extension (without dot) of the first pattern of filter pair index of an
// MFC filter list, as the Windows dialog appends it for an empty default
// extension: "csv" for "*.csv"; "" for "*.*", "*" or a pattern with wildcards
// in its extension.
std::string FilterExtension(std::string_view filter, int index);

// The windows of the save dialog, behind seams so the loop is testable.
struct SaveDialogWindows {
    // Shows the file chooser in folder with name preset; true with the chosen
    // full path, false when the user cancelled.
    std::function<bool(const std::string& folder, const std::string& name, std::string& chosen)> choose;
    std::function<bool(const std::string& path)> exists;
    // Asks whether to replace the existing file; true for Yes.
    std::function<bool(const std::string& path)> confirmReplace;
    // The 0-based filter the user left selected at the last choice (none: the first).
    std::function<int()> filterIndex;
};

// Runs the save dialog the Windows way: the default extension (an empty one
// meaning the selected filter's) is appended to a name typed without one, and with OFN_OVERWRITEPROMPT an
// existing file must be confirmed; answering No goes back to the chooser. Returns IDOK or IDCANCEL.
int RunSaveDialog(const SaveDialogRequest& request, const std::string& folder,
                  const SaveDialogWindows& windows, std::string& pathOut);

// "ListLogFile.txt already exists.\nDo you want to replace it?"
std::string ReplaceQuestion(const std::string& path);

// wxMessageDialog style bits for a Windows message box type. AfxMessageBox adds
// an icon when the type has none (exclamation for OK, question for Yes/No);
// MessageBoxA shows none then.
long MessageBoxStyle(unsigned type, bool afxDefaultIcon);
// The Windows result (IDOK ...) for a wxID_* result.
int WindowsResult(int wxId);
using detail::UnshownAnswer;

}  // namespace ledgra
