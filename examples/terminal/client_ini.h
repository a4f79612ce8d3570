// Reads the load record that the launcher leaves in halvoclient.ini. A tiny
// reader of its own: the terminal shares no code with the launcher.
#pragma once

#include <optional>
#include <string>

namespace terminal {

// The value of key in section of the INI file at path, as Windows profile
// files are read: section and key names match without regard to case, white
// space around names and values is dropped, lines starting with ';' are
// comments, and the first matching key of the first matching section wins.
// Empty when the file cannot be read or has no such key.
std::optional<std::string> ReadIniValue(const std::string& path, const std::string& section,
                                        const std::string& key);

// What the terminal shows about the loaded environment.
struct LoadRecord {
    bool fileFound = false;
    std::optional<std::string> lastLoadedFile;  // "Last Loaded File" of HALVO_LAUNCHER
    std::optional<std::string> time;            // "Time" of HALVO_LAUNCHER
};

LoadRecord ReadLoadRecord(const std::string& clientIniPath);

// One line for the window: "Environment: UAT.ini (loaded 08-Dec-2026 09:14:03)",
// or why there is none.
std::string DescribeLoadRecord(const LoadRecord& record);

}  // namespace terminal
