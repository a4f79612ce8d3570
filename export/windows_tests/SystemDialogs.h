// A user at the system's own dialogs, for tests under wine: a thread that
// waits for a dialog of the given title and answers it.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <string>
#include <thread>

namespace system_dialogs {

// Waits for a visible top-level dialog with the given title and hands it to
// answer; a test failure when none appeared in time.
template <class Answer>
std::thread AnswerWhenShown(const std::string& title, Answer answer) {
    return std::thread([title, answer] {
        for (int i = 0; i < 300; ++i) {
            if (HWND dialog = FindWindowA("#32770", title.c_str()); dialog && IsWindowVisible(dialog)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                answer(dialog);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        ADD_FAILURE() << "no window \"" << title << "\" appeared";
    });
}

inline void Press(HWND dialog, int button) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
}

// Types name into the Save dialog's file name box and presses Save.
inline void TypeAndSave(HWND dialog, const std::string& name) {
    HWND box = GetDlgItem(dialog, 0x47C);  // the file name box (cmb13), or edt1
    if (box == nullptr) box = GetDlgItem(dialog, 0x480);
    SendMessageA(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
    Press(dialog, IDOK);
}

}  // namespace system_dialogs
