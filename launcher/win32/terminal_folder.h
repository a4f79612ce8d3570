// The terminal folder as Windows shows it: the working directory, paths
// joined with '\', entries found with FindFirstFileA.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ardmon::win32 {

// The working directory, whole. _getcwd reads it into 1000 characters; a
// longer one is read again into a buffer of its own size rather than cut.
std::string GetWorkDir();

// dir + '\' + name ("C:\" + name for a drive's root).
std::string WinPath(const std::string& dir, const std::string& name);

// True when an entry of any kind, file or folder, has this path.
bool EntryExists(const std::string& path);

// The profiles of workDir: the entries of "%s\env\*.*" that are no folder
// and whose names end in ".ini" exactly, in the order the folder gives them.
std::vector<std::string> FindProfiles(const std::string& workDir);

// The start-up checks in order (env, halvoclient.ini, VovuvAvavar.exe):
// the message for the first entry missing, or nothing.
std::optional<std::string> FirstMissingEntryMessage(const std::string& workDir);

}  // namespace ardmon::win32

namespace ardmon::win32 {

// The recorded "Last Loaded File" of the client file at clientPath, read
// into 100 characters, or "String not found".
std::string ReadRecordedLoad(const std::string& clientPath);

}  // namespace ardmon::win32
