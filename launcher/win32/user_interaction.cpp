#include "user_interaction.h"

namespace ardmon::win32 {

int SystemInteraction::MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT style)
{
    return ::MessageBoxA(owner, text.c_str(), caption.c_str(), style);
}

std::string ApplicationTitle()
{
    char path[MAX_PATH * 4] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, sizeof path);
    std::string title(path, length < sizeof path ? length : 0);
    const size_t slash = title.find_last_of("\\/");
    if (slash != std::string::npos) title.erase(0, slash + 1);
    const size_t dot = title.rfind('.');
    if (dot != std::string::npos && dot > 0) title.erase(dot);
    return title;
}

}  // namespace ardmon::win32
