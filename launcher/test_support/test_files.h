// Small helpers for tests that look at the files in a folder.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "test_folder.h"

namespace ardmon::test {

// Names of the entries of a folder, sorted.
inline std::vector<std::string> ListFolder(const std::string& path)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

inline mode_t ModeOf(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

}  // namespace ardmon::test
