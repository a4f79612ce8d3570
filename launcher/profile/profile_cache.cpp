#include "profile_cache.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "file_ops.h"

namespace ardmon::profile {
namespace {

FileIdentity IdentityOf(const struct stat& st) {
    FileIdentity id;
    id.device = st.st_dev;
    id.inode = st.st_ino;
    id.size = st.st_size;
    id.mtime_ns = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    id.ctime_ns = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return id;
}

std::shared_ptr<const ProfileDocument> EmptyDocument() {
    static const auto empty = std::make_shared<const ProfileDocument>();
    return empty;
}

}  // namespace

std::shared_ptr<const ProfileDocument> ProfileCache::Load(const std::string& path,
                                                          FileState& state) {
    FileOps& ops = CurrentFileOps();
    struct stat st;
    if (ops.Stat(path, st) != 0) {
        state = (errno == ENOENT || errno == ENOTDIR) ? FileState::kMissing : FileState::kUnreadable;
        Forget(path);
        return EmptyDocument();
    }
    if (!S_ISREG(st.st_mode)) {
        state = FileState::kUnreadable;
        Forget(path);
        return EmptyDocument();
    }
    auto slot = std::find_if(slots_.begin(), slots_.end(), [&](const Slot& s) { return s.path == path; });
    if (slot != slots_.end() && slot->identity == IdentityOf(st)) {
        slot->used = ++clock_;
        state = FileState::kPresent;
        return slot->doc;
    }
    std::string bytes;
    if (ops.ReadFile(path, bytes, st) != 0) {
        state = errno == ENOENT ? FileState::kMissing : FileState::kUnreadable;
        Forget(path);
        return EmptyDocument();
    }
    ++parses_;
    auto doc = std::make_shared<const ProfileDocument>(ProfileDocument::FromFileBytes(std::move(bytes)));
    if (slot == slots_.end()) {
        if (slots_.size() < kCapacity) {
            slots_.emplace_back();
            slot = slots_.end() - 1;
        } else {
            slot = std::min_element(slots_.begin(), slots_.end(),
                                    [](const Slot& a, const Slot& b) { return a.used < b.used; });
        }
    }
    slot->path = path;
    slot->identity = IdentityOf(st);
    slot->doc = doc;
    slot->used = ++clock_;
    state = FileState::kPresent;
    return doc;
}

void ProfileCache::Forget(const std::string& path) {
    std::erase_if(slots_, [&](const Slot& s) { return s.path == path; });
}

void ProfileCache::Clear() { slots_.clear(); }

ProfileCache& SharedProfileCache() {
    static ProfileCache cache;
    return cache;
}

}  // namespace ardmon::profile
