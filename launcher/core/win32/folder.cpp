// The file-system calls of folder.h on Windows.
#include <direct.h>
#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "folder.h"
#include "names_and_messages.h"

namespace ardmon {

std::vector<FolderEntry> ReadFolder(const std::string& folder)
{
    std::vector<FolderEntry> entries;
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA(JoinPath(folder, "*.*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return entries;
    }
    do {
        if (std::strcmp(data.cFileName, ".") != 0 && std::strcmp(data.cFileName, "..") != 0) {
            entries.push_back({data.cFileName, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
        }
    } while (::FindNextFileA(find, &data));
    ::FindClose(find);
    return entries;
}

bool EntryExists(const std::string& path)
{
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return false;
    }
    ::FindClose(find);
    return true;
}

std::string CurrentWorkDir()
{
    char buffer[1000];
    if (::_getcwd(buffer, sizeof buffer) != nullptr) {
        return buffer;
    }
    if (errno != ERANGE) {
        return {};
    }
    // Longer than 999 characters: cutting it would build every path in a
    // folder that is not this one, so it is read again whole.
    char* whole = ::_getcwd(nullptr, 0);
    if (whole == nullptr) {
        return {};
    }
    std::string dir(whole);
    std::free(whole);
    return dir;
}

}  // namespace ardmon
