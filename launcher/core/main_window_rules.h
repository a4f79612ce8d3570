// The main window's rules, free of any window: which files of env/ are
// profiles, the start-up checks, the last-load text, what a launch result
// means, where the minimized icon goes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "folder.h"
#include "names_and_messages.h"

namespace ardmon {

// A directory entry is a profile when it is not a folder and its name ends
// in ".ini" exactly, case included.
bool IsListedProfile(const std::string& name, bool is_directory);

// The profiles of folder (a file or a missing folder yields none), in the
// order the folder lists them.
std::vector<std::string> ListProfiles(const std::string& folder);

// The start-up checks in order: env, halvoclient.ini, VovuvAvavar.exe, each
// of any kind. The message for the first one missing, or nothing.
std::optional<std::string> FirstMissingEntryMessage(const std::string& work_dir);

// Edit box 1005's text for the recorded "Last Loaded File".
std::string LastLoadDisplayText(const std::string& recorded);

// The recorded "Last Loaded File" of work_dir's client file, as the buffer of
// the read leaves it (cut to kRecordBufferSize - 1 characters), or kNoRecord.
inline constexpr unsigned kRecordBufferSize = 100;
std::string ReadLastLoadRecord(const std::string& work_dir);

// The recorded "Time" of the last load, or empty when there is none.
std::string ReadLoadRecordTime(const std::string& work_dir);

// What the window does with a start result.
struct LaunchOutcome {
    bool close_launcher = false;
    std::string message;  // shown when not empty
};
LaunchOutcome InterpretLaunchResult(std::intptr_t result);

// Where the icon goes in a minimized window's client area.
struct IconOrigin {
    int x = 0;
    int y = 0;
};
IconOrigin MinimizedIconOrigin(int client_width, int client_height, int icon_width, int icon_height);

}  // namespace ardmon
