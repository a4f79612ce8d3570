#include "interaction/win32/Win32Interaction.h"

#include <windows.h>

#include <commdlg.h>

#include <vector>

namespace ledgra::win32 {

std::string SystemFilter(std::string_view filter) {
    std::string list(filter);
    for (char& c : list)
        if (c == '|') c = '\0';
    list.append(2, '\0');  // the list ends in two NULs whatever the text ended in
    return list;
}

std::string ProgramTitle(std::string_view modulePath) {
    const std::size_t slash = modulePath.find_last_of("\\/");
    std::string_view name = slash == std::string_view::npos ? modulePath : modulePath.substr(slash + 1);
    if (const std::size_t dot = name.rfind('.'); dot != std::string_view::npos && dot != 0)
        name = name.substr(0, dot);
    return std::string(name);
}

int Win32Interaction::SaveDialog(const SaveDialogRequest& request, std::string& pathOut) {
    const std::string filter = SystemFilter(request.filter);
    std::string defaultExt = request.defaultExt;
    while (!defaultExt.empty() && defaultExt.front() == '.') defaultExt.erase(0, 1);
    std::vector<char> file(MAX_PATH * 4, '\0');
    request.initialName.copy(file.data(), file.size() - 1);

    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = GetActiveWindow();
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    // An empty default extension has the dialog append the selected filter's.
    ofn.lpstrDefExt = defaultExt.c_str();
    ofn.Flags = request.flags | OFN_EXPLORER | OFN_ENABLESIZING;
    if (!GetSaveFileNameA(&ofn)) return IDCANCEL;
    pathOut = file.data();
    return IDOK;
}

int Win32Interaction::AfxMessageBox(const std::string& text, unsigned type, unsigned) {
    if ((type & MB_ICONMASK) == 0) {
        switch (type & MB_TYPEMASK) {
            case MB_OK:
            case MB_OKCANCEL:
                type |= MB_ICONEXCLAMATION;
                break;
            case MB_YESNO:
            case MB_YESNOCANCEL:
                type |= MB_ICONQUESTION;
                break;
            default:
                break;
        }
    }
    char module[MAX_PATH * 4] = "";
    GetModuleFileNameA(nullptr, module, sizeof module);
    return ::MessageBoxA(GetActiveWindow(), text.c_str(), ProgramTitle(module).c_str(), type);
}

// Owned by the host's active window (rather than by none), so the host's
// windows take no input while the box is up and an export cannot be started
// again from under it.
int Win32Interaction::MessageBoxA(const std::string& text, const std::string& caption, unsigned type) {
    return ::MessageBoxA(GetActiveWindow(), text.c_str(), caption.c_str(), type);
}

}  // namespace ledgra::win32
