// The file-system calls of folder.h on a POSIX system.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "folder.h"

namespace ardmon {

std::vector<FolderEntry> ReadFolder(const std::string& folder)
{
    std::vector<FolderEntry> entries;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return entries;
    }
    while (const dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) {
            continue;
        }
        struct stat st {};
        const std::string path = folder + "/" + entry->d_name;
        const bool is_directory = stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        entries.push_back({entry->d_name, is_directory});
    }
    closedir(dir);
    return entries;
}

bool EntryExists(const std::string& path)
{
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

std::string CurrentWorkDir()
{
    std::string dir(256, '\0');
    while (getcwd(dir.data(), dir.size()) == nullptr) {
        if (errno != ERANGE) {
            return {};
        }
        dir.resize(dir.size() * 2);
    }
    dir.resize(std::strlen(dir.c_str()));
    return dir;
}

}  // namespace ardmon
