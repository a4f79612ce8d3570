// The names of the terminal folder and of the load record, how paths in it
// are built, and the messages that the load and the windows share: one
// definition of each.
#pragma once

#include <string>
#include <string_view>

namespace ardmon {

// The separator every path of the launcher is built with.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// dir, the separator and name.
inline std::string JoinPath(std::string_view dir, std::string_view name)
{
    std::string path(dir);
    if (path.empty() || path.back() != kPathSeparator) {
        path += kPathSeparator;  // the root folder has it already
    }
    return path.append(name);
}

// Entries of the terminal folder, the launcher's working directory.
inline constexpr char kProfileFolder[] = "env";
inline constexpr char kClientFile[] = "halvoclient.ini";
inline constexpr char kTerminalFile[] = "VovuvAvavar.exe";

// The load record in the client file.
inline constexpr char kRecordSection[] = "HALVO_LAUNCHER";
inline constexpr char kRecordProfileKey[] = "Last Loaded File";
inline constexpr char kRecordTimeKey[] = "Time";
// What reading the record gives when there is none.
inline constexpr char kNoRecord[] = "String not found";

// What "Current Environment" shows for a loaded profile.
inline std::string LoadedProfileText(std::string_view profile)
{
    return std::string(kClientFile) + "<" + std::string(profile) + ">";
}

// Messages of the load and the windows.
inline constexpr char kSelectProfileMessage[] = "Please Select any ini file";
inline constexpr char kTooManySectionsMessage[] = "Section names are more , so cant load the file";
// Another load kept halvoclient.ini locked for longer than the wait.
inline constexpr char kClientFileBusyMessage[] =
    "halvoclient.ini is in use by another load, the environment was not loaded. Please try again";
inline std::string TooManyKeysMessage(std::string_view section)
{
    return "more keys are associated with " + std::string(section) + " section";
}
inline std::string LoadedSuccessfullyMessage(std::string_view profile)
{
    // Built by appending: GCC 12 at -O3 takes the chained + for an overlapping copy.
    std::string text = "\"";
    text.append(profile);
    text.append("\" file loaded to halvoclient.ini successfully");
    return text;
}

}  // namespace ardmon
