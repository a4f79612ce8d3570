// Starts Ardmon the way its installed Start-menu shortcut starts it and tells
// what a user would see:
//
//   shortcut_probe.exe PATH-OF-THE-LNK
//
// prints the shortcut's target and working folder, the title of the window
// the program opens and the profiles in its list (or the text of any message
// box it shows first), then closes the program. Exit status 0 when the
// launcher's window was seen, 1 otherwise.
#include <shlobj.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "resource.h"

namespace {

struct Shortcut {
    std::string target;
    std::string folder;
};

bool ReadShortcut(const char* path, Shortcut& link) {
    IShellLinkA* shell_link = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  reinterpret_cast<void**>(&shell_link))))
        return false;
    IPersistFile* file = nullptr;
    bool read = false;
    if (SUCCEEDED(shell_link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        wchar_t wide[MAX_PATH] = {};
        ::MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH);
        char target[MAX_PATH] = {};
        char folder[MAX_PATH] = {};
        read = SUCCEEDED(file->Load(wide, STGM_READ)) &&
               SUCCEEDED(shell_link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)) &&
               SUCCEEDED(shell_link->GetWorkingDirectory(folder, MAX_PATH));
        link = {target, folder};
        file->Release();
    }
    shell_link->Release();
    return read;
}

std::string Text(HWND window) {
    char text[1024] = {};
    ::GetWindowTextA(window, text, sizeof text);
    return text;
}

// The visible top-level windows of one process.
std::vector<HWND> WindowsOf(DWORD process) {
    struct Search {
        DWORD process;
        std::vector<HWND> found;
    } search{process, {}};
    ::EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if (owner == s->process && ::IsWindowVisible(window)) s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void ShowLauncher(HWND main) {
    std::printf("window: %s\n", Text(main).c_str());
    HWND profiles = ::GetDlgItem(main, IDC_PROFILES);
    const auto count = static_cast<int>(::SendMessageA(profiles, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        // The wide message: wine hands the ANSI one's text across processes unconverted.
        wchar_t wide[MAX_PATH] = {};
        ::SendMessageW(profiles, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide));
        char name[MAX_PATH * 2] = {};
        ::WideCharToMultiByte(CP_ACP, 0, wide, -1, name, sizeof name, nullptr, nullptr);
        std::printf("profile: %s\n", name);
    }
}

// Waits up to 30 seconds for the launcher's window, answering message boxes
// on the way; true when the window was seen (and then closed).
bool WatchLauncher(const PROCESS_INFORMATION& started) {
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + seconds(30);
    std::vector<HWND> answered;
    while (steady_clock::now() < deadline) {
        for (HWND window : WindowsOf(started.dwProcessId)) {
            if (Text(window) == "Halvo Launcher") {
                ShowLauncher(window);
                ::PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
                return true;
            }
            if (std::find(answered.begin(), answered.end(), window) != answered.end()) continue;
            answered.push_back(window);
            char message[1024] = {};
            ::GetDlgItemTextA(window, 0xFFFF, message, sizeof message);  // a message box's text
            std::printf("message box %s: %s\n", Text(window).c_str(), message);
            ::PostMessageA(window, WM_COMMAND, IDOK, 0);
        }
        if (::WaitForSingleObject(started.hProcess, 200) == WAIT_OBJECT_0) return false;
    }
    std::printf("no window within 30 seconds\n");
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: shortcut_probe PATH-OF-THE-LNK\n");
        return 2;
    }
    ::CoInitialize(nullptr);
    Shortcut link;
    if (!ReadShortcut(argv[1], link)) {
        std::printf("cannot read %s\n", argv[1]);
        return 1;
    }
    std::printf("target: %s\nworking folder: %s\n", link.target.c_str(), link.folder.c_str());
    std::fflush(stdout);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    std::string command = "\"" + link.target + "\"";
    if (!::CreateProcessA(link.target.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          link.folder.empty() ? nullptr : link.folder.c_str(), &startup, &started)) {
        std::printf("cannot start %s\n", link.target.c_str());
        return 1;
    }
    const bool seen = WatchLauncher(started);
    if (::WaitForSingleObject(started.hProcess, 10000) != WAIT_OBJECT_0) {
        std::printf("the program did not end when closed\n");
        ::TerminateProcess(started.hProcess, 1);
    }
    ::CloseHandle(started.hThread);
    ::CloseHandle(started.hProcess);
    return seen ? 0 : 1;
}
