// The dry run: the load itself, run against a platform whose reads are the
// real ones and whose writes to the client file are only recorded, then what
// those writes would do to the client file, section by section.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "environment_load.h"

namespace ardmon::cli {

// Passes every call on to another platform; platforms that change a few
// calls derive from it.
class ForwardingLoadPlatform : public LoadPlatform {
public:
    explicit ForwardingLoadPlatform(LoadPlatform& inner) : inner_(inner) {}

    DWORD GetPrivateProfileSectionNamesA(LPSTR buffer, DWORD size, LPCSTR file) override
    {
        return inner_.GetPrivateProfileSectionNamesA(buffer, size, file);
    }
    DWORD GetPrivateProfileSectionA(LPCSTR section, LPSTR buffer, DWORD size, LPCSTR file) override
    {
        return inner_.GetPrivateProfileSectionA(section, buffer, size, file);
    }
    std::FILE* OpenForUpdate(const std::string& path) override { return inner_.OpenForUpdate(path); }
    void BeginWrites(const std::string& path) override { inner_.BeginWrites(path); }
    BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) override
    {
        return inner_.WritePrivateProfileStringA(section, key, value, file);
    }
    CommitResult CommitWrites() override { return inner_.CommitWrites(); }
    std::time_t Now() override { return inner_.Now(); }
    long long FileSize(const std::string& path) override { return inner_.FileSize(path); }
    std::vector<std::pair<std::string, std::string>> ReadLosses(const std::string& path) override
    {
        return inner_.ReadLosses(path);
    }

protected:
    LoadPlatform& inner_;
};

struct RecordedWrite {
    std::string section;
    std::string key;
    std::string value;
};

// Reads go to the real platform; the writes are recorded and never reach
// the platform, which so creates, changes and locks no file. The client
// file is still opened for update, as the load's check that it may be
// written, and closed again unchanged.
class DryRunPlatform final : public ForwardingLoadPlatform {
public:
    using ForwardingLoadPlatform::ForwardingLoadPlatform;

    void BeginWrites(const std::string& path) override
    {
        client_path_ = path;
        writes_.clear();
    }
    BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR) override
    {
        writes_.push_back({section, key, value});
        return 1;  // recorded
    }
    CommitResult CommitWrites() override { return CommitResult::kCommitted; }

    const std::string& ClientPath() const { return client_path_; }
    const std::vector<RecordedWrite>& Writes() const { return writes_; }

private:
    std::string client_path_;
    std::vector<RecordedWrite> writes_;
};

struct KeyChange {
    std::string key;
    std::string old_value;  // empty for a key that would be added
    std::string new_value;
};

// What the writes would do to one section of the client file.
struct SectionPreview {
    std::string name;  // as the first write names it
    std::vector<KeyChange> added;
    std::vector<KeyChange> changed;
    int unchanged = 0;
};

// The writes' effect on the client file at client_path, read through
// platform: sections and keys match without regard to ASCII case, as the
// profile functions match them; a key written twice counts with its last
// value. Sections in the order of their first write.
std::vector<SectionPreview> PreviewWrites(LoadPlatform& platform, const std::string& client_path,
                                          const std::vector<RecordedWrite>& writes);

// Whether a key's name says its value is secret: it contains password,
// passwd, pwd, secret or token, in any case.
bool IsSecretKey(std::string_view key);

}  // namespace ardmon::cli
