#include "win32_message_boxes.h"

#include <algorithm>

namespace ardmon {

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

namespace win32 {

static_assert(kBoxOk == MB_OK && kBoxYesNo == MB_YESNO && kBoxIconQuestion == MB_ICONQUESTION &&
              kBoxIconExclamation == MB_ICONEXCLAMATION && kBoxIconMask == MB_ICONMASK &&
              kBoxButtonsMask == MB_TYPEMASK);
static_assert(kAnswerOk == IDOK && kAnswerYes == IDYES && kAnswerNo == IDNO);

int Win32MessageBoxes::Show(const std::string& text, const std::string& caption, unsigned style)
{
    const std::vector<HWND> windows = m_windows ? m_windows() : std::vector<HWND>();
    // The box belongs to the window the user acted in; the system disables
    // that one, the others are disabled here.
    HWND owner = ::GetActiveWindow();
    if (std::find(windows.begin(), windows.end(), owner) == windows.end()) {
        owner = windows.empty() ? nullptr : windows.front();
    }
    std::vector<HWND> disabled;
    for (HWND window : windows) {
        if (window != owner && ::IsWindowEnabled(window)) {
            ::EnableWindow(window, FALSE);
            disabled.push_back(window);
        }
    }
    const int answer = ::MessageBoxA(owner, text.c_str(), caption.c_str(), style);
    for (HWND window : disabled)
        ::EnableWindow(window, TRUE);
    return answer;
}

}  // namespace win32
}  // namespace ardmon
