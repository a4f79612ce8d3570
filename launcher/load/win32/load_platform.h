// The load's calls to Windows. The profile functions are the system's own.
// The writes to the client file are kept until the load commits; then, under
// the client file's update lock, they go to a copy of it, whose content
// replaces the original through the safe-file engine, so a load that fails
// leaves halvoclient.ini byte for byte as it was.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "environment_load.h"

namespace ardmon {

struct ProfileWrite {
    std::string section;
    std::string key;
    std::string value;
};

class Win32LoadPlatform final : public LoadPlatform {
public:
    Win32LoadPlatform() = default;
    Win32LoadPlatform(const Win32LoadPlatform&) = delete;
    Win32LoadPlatform& operator=(const Win32LoadPlatform&) = delete;

    DWORD GetPrivateProfileSectionNamesA(LPSTR buffer, DWORD size, LPCSTR file) override;
    DWORD GetPrivateProfileSectionA(LPCSTR section, LPSTR buffer, DWORD size, LPCSTR file) override;
    // A write to the file of BeginWrites is kept for the commit.
    BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) override;
    // Opens the client file for update ("r+"). Null for a read-only file, as
    // Windows refuses it even to an administrator.
    std::FILE* OpenForUpdate(const std::string& path) override;
    void BeginWrites(const std::string& path) override;
    // Puts the kept writes into the client file.
    CommitResult CommitWrites() override;
    std::time_t Now() override;
    long long FileSize(const std::string& path) override;
    // Read again through the profile functions' UTF-16 side: what does not
    // come back the same in the ANSI code page is lost to the A functions.
    std::vector<std::pair<std::string, std::string>> ReadLosses(const std::string& path) override;

private:
    CommitResult PutWritesInPlace();
    bool ReplaceFrom(std::FILE* in, unsigned long long size);

    std::string client_;  // the file of BeginWrites
    std::vector<ProfileWrite> writes_;
};

}  // namespace ardmon
