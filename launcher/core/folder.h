// The calls that the main window's rules make to the file system.
// posix/folder.cpp has them for POSIX systems, win32/folder.cpp for Windows
// (FindFirstFileA, _getcwd).
#pragma once

#include <string>
#include <vector>

namespace ardmon {

struct FolderEntry {
    std::string name;  // the name's own bytes
    bool is_directory = false;
};

// The entries of folder in the order the system lists them, without "." and
// "..". None when folder is not a folder or cannot be read. A link counts as
// what it leads to; a link that leads nowhere is no folder.
std::vector<FolderEntry> ReadFolder(const std::string& folder);

// Whether anything is at path, of any kind; a link whose target is gone
// counts too.
bool EntryExists(const std::string& path);

// The working directory, whole; empty when it cannot be read.
std::string CurrentWorkDir();

}  // namespace ardmon
