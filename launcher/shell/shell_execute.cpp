#include "shell_execute.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>

#include <string_view>
#include <vector>

extern char** environ;

namespace ardmon {

namespace {

// Sent back instead of an errno when the start folder cannot be entered.
constexpr int kNoFolder = -1;

bool IsExecutableFile(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

bool StartsWithMZ(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    char head[2] = {};
    const ssize_t n = read(fd, head, sizeof head);
    close(fd);
    return n == 2 && head[0] == 'M' && head[1] == 'Z';
}

// Closes every descriptor from 'from' up; only async-signal-safe calls.
void CloseFrom(int from)
{
#ifdef SYS_close_range
    if (syscall(SYS_close_range, static_cast<unsigned>(from), ~0U, 0U) == 0) {
        return;
    }
#endif
    const long max = sysconf(_SC_OPEN_MAX);
    for (long fd = from; fd < (max > 0 ? max : 1024); ++fd) {
        close(static_cast<int>(fd));
    }
}

bool WriteAll(int fd, const void* data, size_t size)
{
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = write(fd, p, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// The child's side, between fork and exec: only async-signal-safe calls.

[[noreturn]] void ReportAndExit(int fd, int err)
{
    WriteAll(fd, &err, sizeof err);
    _exit(127);
}

// Leaves the report pipe as descriptor 3 (closed by a successful exec) and
// closes every other beyond the standard three. Returns it, or -1.
int KeepOnlyReportPipe(int fd)
{
    if (fd != 3) {
        fd = dup3(fd, 3, O_CLOEXEC);
    }
    if (fd >= 0) {
        CloseFrom(4);
    }
    return fd;
}

// The program starts with no blocked signals and SIGPIPE at its default.
void ResetSignals()
{
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &dfl, nullptr);
}

[[noreturn]] void ExecIn(const char* dir, char* const argv[], int report_fd)
{
    int err = kNoFolder;
    if (chdir(dir) == 0) {
        execve(argv[0], argv, environ);
        err = errno;
    }
    ReportAndExit(report_fd, err);
}

// Leaves the session and hands the program to a grandchild, so nobody has to
// wait for it: this child ends at once.
[[noreturn]] void StartDetached(const char* dir, char* const argv[], int report_fd)
{
    setsid();
    const pid_t grandchild = fork();
    if (grandchild < 0) {
        ReportAndExit(report_fd, errno);
    }
    if (grandchild > 0) {
        _exit(0);
    }
    const int fd = KeepOnlyReportPipe(report_fd);
    if (fd < 0) {
        _exit(127);
    }
    ResetSignals();
    ExecIn(dir, argv, fd);
}

// The parent's side.

void WaitForChild(pid_t child)
{
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

// No bytes on the pipe mean the program runs; otherwise the errno of the
// failed step.
std::intptr_t ReadStartResult(int fd)
{
    int err = 0;
    ssize_t got = 0;
    do {
        got = read(fd, &err, sizeof err);
    } while (got < 0 && errno == EINTR);
    close(fd);
    if (got == static_cast<ssize_t>(sizeof err)) {
        return err == kNoFolder ? SE_ERR_PNF : ExecErrorToShellCode(err);
    }
    if (got != 0) {
        return SE_ERR_OOM;
    }
    return SHELL_STARTED;
}

}  // namespace

std::string FindWineOnPath()
{
    const char* path = std::getenv("PATH");
    if (path == nullptr) {
        return {};
    }
    std::string_view rest(path);
    while (true) {
        const size_t colon = rest.find(':');
        const std::string_view dir = rest.substr(0, colon);
        // An empty entry stands for the current folder.
        // Built by appending: g++ 12 at -O2 misreads "string + literal" here as an
        // overlapping copy (-Wrestrict).
        std::string candidate(dir.empty() ? std::string_view(".") : dir);
        candidate.append("/wine");
        if (IsExecutableFile(candidate)) {
            return candidate;
        }
        if (colon == std::string_view::npos) {
            return {};
        }
        rest.remove_prefix(colon + 1);
    }
}

StartPlan PlanStart(const std::string& path, const std::string& wine_path)
{
    StartPlan plan;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        plan.error = (errno == ENOENT || errno == ENOTDIR) ? SE_ERR_FNF : SE_ERR_ACCESSDENIED;
        return plan;
    }
    if (S_ISDIR(st.st_mode)) {
        plan.error = SE_ERR_ACCESSDENIED;
        return plan;
    }
    const bool windows_program = S_ISREG(st.st_mode) && StartsWithMZ(path);
    if (windows_program && !wine_path.empty()) {
        plan.program = wine_path;
        plan.argument = path;
        return plan;
    }
    if (!S_ISREG(st.st_mode)) {
        plan.error = ERROR_BAD_FORMAT;
        return plan;
    }
    if (access(path.c_str(), X_OK) != 0) {
        // A Windows program with nothing to run it is of the wrong format;
        // any other file lacks the right to run.
        plan.error = windows_program ? ERROR_BAD_FORMAT : SE_ERR_ACCESSDENIED;
        return plan;
    }
    plan.program = path;
    return plan;
}

std::intptr_t ExecErrorToShellCode(int err)
{
    switch (err) {
        case ENOENT:
        case ENOTDIR:
            // The file was there when it was looked at; what is missing now is
            // its interpreter or loader.
            return ERROR_BAD_FORMAT;
        case EACCES:
        case EPERM:
        case EISDIR:
            return SE_ERR_ACCESSDENIED;
        case ETXTBSY:
            return SE_ERR_SHARE;
        case ENOMEM:
        case EAGAIN:
        case E2BIG:
            return SE_ERR_OOM;
        default:
            // ENOEXEC, ELIBBAD, an interpreter that is missing and the like.
            return ERROR_BAD_FORMAT;
    }
}

std::intptr_t ShellExecuteOpen(const std::string& path, const std::string& dir)
{
    const StartPlan plan = PlanStart(path, FindWineOnPath());
    if (plan.error != 0) {
        return plan.error;
    }

    // Everything the child needs is made before fork.
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(plan.program.c_str()));
    if (!plan.argument.empty()) {
        argv.push_back(const_cast<char*>(plan.argument.c_str()));
    }
    argv.push_back(nullptr);

    // The exec's errno comes back through a pipe that closes on a
    // successful exec.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        return SE_ERR_OOM;
    }
    const pid_t child = fork();
    if (child < 0) {
        close(report[0]);
        close(report[1]);
        return SE_ERR_OOM;
    }
    if (child == 0) {
        close(report[0]);
        StartDetached(dir.c_str(), argv.data(), report[1]);
    }
    close(report[1]);
    WaitForChild(child);
    return ReadStartResult(report[0]);
}

}  // namespace ardmon
