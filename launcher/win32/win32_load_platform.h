// The load's calls to Windows. The profile functions are the system's own;
// the writes to the client file go to a copy of it in the same folder,
// which replaces the original only when the load commits, so a load that
// fails leaves halvoclient.ini byte for byte as it was.
#pragma once

#include <windows.h>

#include <string>

#include "environment_load.h"

namespace ardmon::win32 {

class Win32LoadPlatform final : public LoadPlatform {
public:
    Win32LoadPlatform() = default;
    // Removes the copy if the load did not commit.
    ~Win32LoadPlatform() override;

    Win32LoadPlatform(const Win32LoadPlatform&) = delete;
    Win32LoadPlatform& operator=(const Win32LoadPlatform&) = delete;

    DWORD GetPrivateProfileSectionNamesA(LPSTR buffer, DWORD size, LPCSTR file) override;
    DWORD GetPrivateProfileSectionA(LPCSTR section, LPSTR buffer, DWORD size, LPCSTR file) override;
    // A write to the client file goes to its copy.
    BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) override;
    // Opens the client file for update, sharing it so that it can be
    // replaced while open, and makes the copy beside it. Null when either
    // fails: nothing has been written then.
    std::FILE* OpenForUpdate(const std::string& path) override;
    std::time_t Now() override;
    // Replaces the client file with the copy (ReplaceFileA, else MoveFileExA
    // with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH).
    bool Commit() override;

private:
    void DiscardCopy();

    std::string m_strClient;
    std::string m_strCopy;
};

}  // namespace ardmon::win32
