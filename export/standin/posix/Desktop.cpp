// Handing a saved workbook to the desktop's default program.
#include "standin/Desktop.h"

#include "standin/Standin.h"

#include <spawn.h>
#include <sys/wait.h>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace ledgra::standin {

std::string SystemPath(const std::string& text) { return text; }
std::string PathText(const std::string& systemText) { return systemText; }

namespace {

DesktopOpener& Opener() {
    static DesktopOpener opener;
    return opener;
}

bool Set(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// Starts xdg-open through a shell that puts it in the background and exits at
// once, so the program neither waits for the viewer nor leaves a zombie.
void RunXdgOpen(const std::string& path) {
    char sh[] = "/bin/sh";
    char dashC[] = "-c";
    char script[] = "xdg-open \"$1\" >/dev/null 2>&1 </dev/null &";
    char name[] = "sh";
    std::string arg = path;
    char* argv[] = {sh, dashC, script, name, arg.data(), nullptr};
    pid_t pid = 0;
    if (::posix_spawn(&pid, sh, nullptr, nullptr, argv, environ) == 0) {
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
}

}  // namespace

void SetDesktopOpener(DesktopOpener opener) { Opener() = std::move(opener); }

void OpenOnDesktop(const std::string& path) {
    const char* flag = std::getenv("LEDGRA_OPEN_WORKBOOK");
    if (flag != nullptr && std::strcmp(flag, "0") == 0) return;
    if (!Set("DISPLAY") && !Set("WAYLAND_DISPLAY")) return;
    if (Opener())
        Opener()(path);
    else
        RunXdgOpen(path);
}

}  // namespace ledgra::standin
