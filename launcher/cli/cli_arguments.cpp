#include "cli_arguments.h"

#include <string_view>

namespace ardmon::cli {
namespace {

// Sets the flag option names; false for an option it does not know.
bool SetFlag(Arguments& arguments, std::string_view option)
{
    struct Flag {
        std::string_view name;
        bool Arguments::*member;
    };
    static constexpr Flag flags[] = {
        {"--dry-run", &Arguments::dry_run}, {"--show-secrets", &Arguments::show_secrets},
        {"--json", &Arguments::json},       {"--help", &Arguments::help},
        {"-h", &Arguments::help},           {"--version", &Arguments::version},
    };
    for (const Flag& flag : flags) {
        if (flag.name == option) {
            arguments.*(flag.member) = true;
            return true;
        }
    }
    return false;
}

Command CommandNamed(std::string_view name)
{
    for (const Command command : {Command::kList, Command::kStatus, Command::kLoad}) {
        if (name == CommandName(command)) return command;
    }
    return Command::kNone;
}

// What the command and its operands leave wrong, or nothing.
std::string CheckCommand(Arguments& arguments, const std::vector<std::string>& operands)
{
    if (operands.empty()) return "no command given";
    arguments.command = CommandNamed(operands[0]);
    if (arguments.command == Command::kNone) return "unknown command '" + operands[0] + "'";
    const size_t wanted = arguments.command == Command::kLoad ? 2 : 1;
    if (operands.size() < wanted) return "load needs the name of a profile";
    if (operands.size() > wanted) return "unexpected argument '" + operands[wanted] + "'";
    if (arguments.command == Command::kLoad) {
        arguments.profile = operands[1];
    } else if (arguments.dry_run) {
        return "--dry-run goes with load";
    }
    if (arguments.show_secrets && !arguments.dry_run) return "--show-secrets goes with load --dry-run";
    return {};
}

}  // namespace

const char* CommandName(Command command)
{
    switch (command) {
        case Command::kList:
            return "list";
        case Command::kStatus:
            return "status";
        case Command::kLoad:
            return "load";
        case Command::kNone:
            break;
    }
    return "";
}

ParsedArguments ParseArguments(const std::vector<std::string>& args)
{
    ParsedArguments parsed;
    Arguments& arguments = parsed.arguments;
    std::vector<std::string> operands;
    bool options_ended = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (options_ended || arg.size() < 2 || arg[0] != '-') {
            operands.push_back(arg);
        } else if (arg == "--") {
            options_ended = true;
        } else if (arg == "--dir") {
            if (i + 1 == args.size()) {
                parsed.error = "option '--dir' needs a folder";
                return parsed;
            }
            arguments.dir = args[++i];
        } else if (arg.starts_with("--dir=")) {
            arguments.dir = arg.substr(6);
        } else if (!SetFlag(arguments, arg) && parsed.error.empty()) {
            parsed.error = "unrecognized option '" + arg + "'";
        }
    }
    if (parsed.error.empty()) parsed.error = CheckCommand(arguments, operands);
    if (arguments.dir && arguments.dir->empty() && parsed.error.empty()) {
        parsed.error = "option '--dir' needs a folder";
    }
    return parsed;
}

}  // namespace ardmon::cli
