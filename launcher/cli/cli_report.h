// What one run of ardmon-cli found out, and the two ways it is written to
// standard output: text for people, one JSON object for tools.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "load_preview.h"

namespace ardmon::cli {

// The exit codes, which fleet tools act on.
enum ExitCode : int {
    kExitDone = 0,
    kExitUsage = 2,
    kExitMissing = 3,     // the folder, env, the client file, the terminal or the profile
    kExitNotLoaded = 4,   // nothing changed
    kExitBusy = 5,        // another load held the client file; nothing changed
    kExitNotAsGiven = 6,  // loaded, but some entries not as given
};

struct Report {
    std::string command;  // "list", "status", "load", or empty for a wrong command line
    std::string dir;
    std::optional<std::string> profile;
    bool dry_run = false;
    bool show_secrets = false;
    int exit_code = kExitDone;
    std::vector<std::string> messages;  // as standard error had them
    std::optional<std::vector<std::string>> profiles;
    std::optional<std::string> current_environment;
    std::optional<std::string> last_loaded_file;  // status: the recorded profile, if any
    std::optional<std::string> time;              // status: the recorded time, if any
    std::optional<std::vector<SectionPreview>> preview;
};

// The result's name in the JSON object, one per exit code.
const char* ResultName(int exit_code);

void WriteText(std::ostream& out, const Report& report);
void WriteJson(std::ostream& out, const Report& report);

// text as a JSON string: bytes that are not UTF-8 stand for the Latin-1
// character of their value, as the windows show such names.
std::string JsonString(std::string_view text);

}  // namespace ardmon::cli
