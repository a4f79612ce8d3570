// ardmon-cli: the command-line twin of Ardmon's main window.
#include <iostream>

#include "ardmon_cli.h"

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto platform = ardmon::MakeHostLoadPlatform();
    const int code = ardmon::cli::RunCli(args, *platform, std::cout, std::cerr);
    std::cout.flush();
    return code;
}
