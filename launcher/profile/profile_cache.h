// Parsed profile files, kept between calls. A file is parsed again only when
// its identity changed: device, inode, size, and the modification and status
// change times in nanoseconds. A replacement by rename always gets a new inode,
// and an edit in place moves the times.
//
// File times advance in ticks of the system clock, so a second edit within the
// tick of the first keeps them. A parsed file is therefore trusted only when
// its last change lies a whole tick before the moment it was read; a file read
// within the tick of its last change is read again on the next call. That way
// an external change is always seen.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "profile_document.h"

namespace ardmon::profile {

enum class FileState {
    kPresent,
    kMissing,     // no such file (or no such folder): reads as empty
    kUnreadable,  // there, but not a regular file we can read
};

struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t mtime_ns = 0;
    std::int64_t ctime_ns = 0;
    bool operator==(const FileIdentity&) const = default;
};

class ProfileCache {
public:
    static constexpr size_t kCapacity = 8;

    // The parsed file at path; an empty document when it is missing or
    // unreadable, as state tells.
    std::shared_ptr<const ProfileDocument> Load(const std::string& path, FileState& state);
    void Forget(const std::string& path);
    void Clear();
    // How many times a file was read and parsed (for tests).
    size_t parses() const { return parses_; }

private:
    struct Slot {
        std::string path;
        FileIdentity identity;
        std::shared_ptr<const ProfileDocument> doc;
        bool trusted = false;
        std::uint64_t used = 0;
    };
    std::vector<Slot> slots_;
    std::uint64_t clock_ = 0;
    size_t parses_ = 0;
};

ProfileCache& SharedProfileCache();

}  // namespace ardmon::profile
