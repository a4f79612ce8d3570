// The file-system calls of folder.h on a POSIX system, through the
// launcher's one file seam.
#include <sys/stat.h>

#include "file_ops.h"
#include "folder.h"

namespace ardmon {

std::vector<FolderEntry> ReadFolder(const std::string& folder)
{
    profile::FileOps& ops = profile::CurrentFileOps();
    std::vector<std::string> names;
    std::vector<FolderEntry> entries;
    if (!ops.ListFolder(folder, names)) {
        return entries;
    }
    for (std::string& name : names) {
        struct stat st {};
        const bool is_directory = ops.Stat(folder + "/" + name, st) == 0 && S_ISDIR(st.st_mode);
        entries.push_back({std::move(name), is_directory});
    }
    return entries;
}

bool EntryExists(const std::string& path)
{
    struct stat st {};
    return profile::CurrentFileOps().Lstat(path, st) == 0;
}

std::string CurrentWorkDir()
{
    return profile::CurrentFileOps().WorkDir();
}

}  // namespace ardmon
