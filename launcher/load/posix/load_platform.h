// The load's platform on this host: the project's profile layer, whose write
// batch collects the writes and replaces the client file once at the commit.
#pragma once

#include <memory>

#include "environment_load.h"

namespace ardmon {

namespace profile {
class WriteBatch;
}

class PosixLoadPlatform : public LoadPlatform {
public:
    PosixLoadPlatform();
    ~PosixLoadPlatform() override;

    DWORD GetPrivateProfileSectionNamesA(LPSTR buffer, DWORD size, LPCSTR file) override;
    DWORD GetPrivateProfileSectionA(LPCSTR section, LPSTR buffer, DWORD size, LPCSTR file) override;
    std::FILE* OpenForUpdate(const std::string& path) override;
    // While the writes are collected, the profile layer's reads of that file
    // see them too.
    void BeginWrites(const std::string& path) override;
    BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) override;
    CommitResult CommitWrites() override;
    std::time_t Now() override;
    long long FileSize(const std::string& path) override;
    std::vector<std::pair<std::string, std::string>> ReadLosses(const std::string& path) override;

private:
    std::unique_ptr<profile::WriteBatch> batch_;
};

}  // namespace ardmon
