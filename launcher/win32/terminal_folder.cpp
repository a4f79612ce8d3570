#include "terminal_folder.h"

#include <direct.h>
#include <windows.h>

#include <cerrno>
#include <cstdlib>

#include "ardmon_logic.h"

namespace ardmon::win32 {

std::string GetWorkDir()
{
    char buffer[1000];
    if (::_getcwd(buffer, sizeof buffer) != nullptr) return buffer;
    if (errno != ERANGE) return std::string();
    // Longer than 999 characters: taking the first 999 would build every
    // path in a folder that is not this one.
    char* whole = ::_getcwd(nullptr, 0);
    if (whole == nullptr) return std::string();
    std::string result(whole);
    std::free(whole);
    return result;
}

std::string WinPath(const std::string& dir, const std::string& name)
{
    if (!dir.empty() && dir.back() == '\\') return dir + name;
    return dir + '\\' + name;
}

bool EntryExists(const std::string& path)
{
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    ::FindClose(find);
    return true;
}

std::vector<std::string> FindProfiles(const std::string& workDir)
{
    std::vector<std::string> names;
    const std::string pattern = WinPath(WinPath(workDir, kProfileFolder), "*.*");
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        const bool isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (IsListedProfile(data.cFileName, isDirectory)) names.push_back(data.cFileName);
    } while (::FindNextFileA(find, &data));
    ::FindClose(find);
    return names;
}

std::optional<std::string> FirstMissingEntryMessage(const std::string& workDir)
{
    struct Check {
        const char* name;
        const char* message;
    };
    static constexpr Check checks[] = {
        {kProfileFolder, "No folder found "},
        {kClientFile, "No file found "},
        {kTerminalFile, "No file found "},
    };
    for (const Check& check : checks) {
        const std::string path = WinPath(workDir, check.name);
        if (!EntryExists(path)) return check.message + path;
    }
    return std::nullopt;
}

}  // namespace ardmon::win32

namespace ardmon::win32 {

std::string ReadRecordedLoad(const std::string& clientPath)
{
    char recorded[100] = {};
    ::GetPrivateProfileStringA("HALVO_LAUNCHER", "Last Loaded File", "String not found", recorded,
                               sizeof recorded, clientPath.c_str());
    recorded[sizeof recorded - 1] = '\0';
    return recorded;
}

}  // namespace ardmon::win32
