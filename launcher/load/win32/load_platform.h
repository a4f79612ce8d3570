// The load's calls to Windows. The profile functions are the system's own;
// the writes to the client file go to a copy of it in the same folder,
// which replaces the original only when the load commits, so a load that
// fails leaves halvoclient.ini byte for byte as it was.
#pragma once

#include <windows.h>

#include <string>

#include "environment_load.h"

namespace ardmon {

class Win32LoadPlatform final : public LoadPlatform {
public:
    Win32LoadPlatform() = default;
    // Removes the copy if the load did not commit.
    ~Win32LoadPlatform() override;

    Win32LoadPlatform(const Win32LoadPlatform&) = delete;
    Win32LoadPlatform& operator=(const Win32LoadPlatform&) = delete;

    DWORD GetPrivateProfileSectionNamesA(LPSTR buffer, DWORD size, LPCSTR file) override;
    DWORD GetPrivateProfileSectionA(LPCSTR section, LPSTR buffer, DWORD size, LPCSTR file) override;
    // A write to the file of BeginWrites goes to its copy; one that cannot
    // be made fails.
    BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) override;
    // Opens the client file for update ("r+"). Null for a read-only file, as
    // Windows refuses it even to an administrator.
    std::FILE* OpenForUpdate(const std::string& path) override;
    // Makes the copy of the file at path that the writes go to.
    void BeginWrites(const std::string& path) override;
    // Replaces the client file with the copy (MoveFileExA with
    // MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH). false when the copy
    // could not be made or put in place: the file is then as it was.
    bool CommitWrites() override;
    std::time_t Now() override;

private:
    void DiscardCopy();

    std::string client_;  // the file of BeginWrites
    std::string copy_;    // its copy beside it, empty when none could be made
};

}  // namespace ardmon
