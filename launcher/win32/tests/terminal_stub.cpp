// A stand-in trading terminal for the launch test: writes the folder it was
// started in and how it was asked to show its window into "launched.txt"
// there, and exits.
#include <windows.h>

#include <cstdio>

int main()
{
    char folder[MAX_PATH * 4] = {};
    ::GetCurrentDirectoryA(sizeof folder, folder);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    ::GetStartupInfoA(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : -1;
    std::FILE* out = std::fopen("launched.txt.part", "wb");
    if (out == nullptr) return 1;
    std::fprintf(out, "%s\n%d\n", folder, show);
    std::fclose(out);
    // Whole or not at all, for the test that waits for it.
    return ::MoveFileA("launched.txt.part", "launched.txt") ? 0 : 1;
}
