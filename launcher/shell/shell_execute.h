// Starting a program the way the shell's "open" verb does on Windows: as a
// process of its own, in a given folder, not waited for. Results use the
// Windows codes so the caller can act on them as it would there.
#pragma once

#include <cstdint>
#include <string>

namespace ardmon {

// Results of ShellExecuteOpen. Anything greater than 32 means started.
enum : std::intptr_t {
    SE_ERR_OOM = 0,           // no process could be made
    SE_ERR_FNF = 2,           // the file does not exist
    SE_ERR_PNF = 3,           // the start folder does not exist
    SE_ERR_ACCESSDENIED = 5,  // the file may not be executed
    ERROR_BAD_FORMAT = 11,    // neither executable nor startable with wine
    SE_ERR_SHARE = 26,        // the file is busy being written
    SHELL_STARTED = 42,       // the program runs
};

// How a file is to be started, decided before any process is made.
struct StartPlan {
    std::intptr_t error = 0;  // non-zero: refused with this code
    std::string program;      // what to execute
    std::string argument;     // the file itself when a loader runs it
};

// Looks at the file: a Windows executable ("MZ" at its start) goes to the
// given wine when there is one; any other file must be executable itself.
StartPlan PlanStart(const std::string& path, const std::string& wine_path);

// The first executable "wine" on PATH, or "".
std::string FindWineOnPath();

// Maps an errno from a failed exec to its Windows code.
std::intptr_t ExecErrorToShellCode(int err);

// Starts path in dir, detached: a new session, no descriptors inherited
// beyond the standard three, not waited for. Returns SHELL_STARTED or one of
// the error codes above.
std::intptr_t ShellExecuteOpen(const std::string& path, const std::string& dir);

}  // namespace ardmon
