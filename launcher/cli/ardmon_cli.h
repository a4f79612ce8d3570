// ardmon-cli: the main window's list, its "Current Environment" and its Load
// for a terminal folder, from the command line, through the same core and
// load as the window. Messages go to err in the window's texts, the result to
// out; the exit code says how it went.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "environment_load.h"

namespace ardmon::cli {

// args without the program's name; platform is the load's (the host's, or a
// test's).
int RunCli(const std::vector<std::string>& args, LoadPlatform& platform, std::ostream& out,
           std::ostream& err);

// The exit code of a load's result; a dry run that would load exits 0.
int ExitCodeFor(LoadResult result, bool dry_run);

}  // namespace ardmon::cli
