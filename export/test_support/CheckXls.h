// Helpers for the workbook writer's tests: running the reader script, and the
// files helpers all of Ledgra's tests share.
#pragma once

#include "test_support/TestFiles.h"

#include <cstdio>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

namespace xlstest {

using ledgra::test::Listing;
using ledgra::test::ReadFile;
using ledgra::test::TempDir;
using ledgra::test::WriteFile;

// Runs a command and returns its standard output.
inline std::string Run(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[65536];
        std::size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        pclose(p);
    }
    return out;
}

// What the reader script prints for `mode` ("cells", "summary", "gnumeric", "ole").
inline std::string Check(const std::string& mode, const std::string& path) {
    return Run("/usr/bin/python3 " XLS_CHECKER " " + mode + " '" + path + "' 2>&1");
}

}  // namespace xlstest
