// Handing a saved workbook to the desktop on Windows: the shell's "open" verb.
#include "standin/Desktop.h"

#include "automation/win32/ComVariant.h"
#include "standin/Standin.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdlib>
#include <cstring>

namespace ledgra::standin {

std::string SystemPath(const std::string& text) {
    const std::wstring wide = win32::Widen(text, CP_UTF8);
    return win32::Narrow(wide.data(), wide.size(), CP_ACP);
}

std::string PathText(const std::string& systemText) {
    const std::wstring wide = win32::Widen(systemText, CP_ACP);
    return win32::Narrow(wide.data(), wide.size(), CP_UTF8);
}

namespace {
DesktopOpener& Opener() {
    static DesktopOpener opener;
    return opener;
}
}  // namespace

void SetDesktopOpener(DesktopOpener opener) { Opener() = std::move(opener); }

void OpenOnDesktop(const std::string& path) {
    const char* flag = std::getenv("LEDGRA_OPEN_WORKBOOK");
    if (flag != nullptr && std::strcmp(flag, "0") == 0) return;
    if (Opener())
        Opener()(path);
    else
        ShellExecuteA(nullptr, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace ledgra::standin
