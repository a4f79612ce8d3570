// The launcher's message boxes as Windows shows them: MessageBoxA, owned by
// the launcher's active window and, like the framework's modal boxes,
// holding every other window of the launcher disabled while it is up, so no
// click reaches a viewer that a box's caller is still using.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "message_boxes.h"

namespace ardmon::win32 {

class Win32MessageBoxes final : public MessageBoxes {
public:
    // The windows of the launcher that exist, the main window first.
    using Windows = std::function<std::vector<HWND>()>;

    explicit Win32MessageBoxes(Windows windows) : m_windows(std::move(windows)) {}

    int Show(const std::string& text, const std::string& caption, unsigned style) override;

private:
    Windows m_windows;
};

}  // namespace ardmon::win32
