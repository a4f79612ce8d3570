// The command line of ardmon-cli: a command and its options, which may come
// before or after the command, as GNU tools take them.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ardmon::cli {

enum class Command { kNone, kList, kStatus, kLoad };

struct Arguments {
    Command command = Command::kNone;
    std::string profile;             // load's profile, as env/ names it
    std::optional<std::string> dir;  // --dir; the working directory without it
    bool dry_run = false;
    bool show_secrets = false;
    bool json = false;
    bool help = false;
    bool version = false;
};

struct ParsedArguments {
    Arguments arguments;
    std::string error;  // what is wrong with the command line; empty when nothing is
};

// args without the program's name.
ParsedArguments ParseArguments(const std::vector<std::string>& args);

// The command's name as the command line gives it.
const char* CommandName(Command command);

}  // namespace ardmon::cli
