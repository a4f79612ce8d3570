#include "profile_cache.h"

#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "file_ops.h"

namespace ardmon::profile {
namespace {

std::int64_t Nanoseconds(const struct timespec& t)
{
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

FileIdentity IdentityOf(const struct stat& st)
{
    FileIdentity id;
    id.device = st.st_dev;
    id.inode = st.st_ino;
    id.size = st.st_size;
    id.mtime_ns = Nanoseconds(st.st_mtim);
    id.ctime_ns = Nanoseconds(st.st_ctim);
    return id;
}

// The time, in the coarse clock that stamps file changes.
std::int64_t CoarseNow()
{
    struct timespec now;
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return Nanoseconds(now);
}

// Whether a change to a file changed at ctime_ns, read at read_ns, is certain
// to move its times. File systems that keep whole seconds only (or two, for
// FAT) get a window of two seconds.
bool ChangeWouldShow(std::int64_t ctime_ns, std::int64_t read_ns)
{
    static const std::int64_t tick = [] {
        struct timespec res;
        if (::clock_getres(CLOCK_REALTIME_COARSE, &res) != 0) return std::int64_t{10000000};
        return Nanoseconds(res);
    }();
    std::int64_t window = ctime_ns % 1000000000 == 0 ? 2000000000 : tick;
    return ctime_ns + window <= read_ns;
}

std::shared_ptr<const ProfileDocument> EmptyDocument()
{
    static const auto empty = std::make_shared<const ProfileDocument>();
    return empty;
}

}  // namespace

std::shared_ptr<const ProfileDocument> ProfileCache::Load(const std::string& path, FileState& state)
{
    FileOps& ops = CurrentFileOps();
    struct stat st;
    if (ops.Stat(path, st) != 0) {
        state = (errno == ENOENT || errno == ENOTDIR) ? FileState::kMissing : FileState::kUnreadable;
        Forget(path);
        return EmptyDocument();
    }
    if (!S_ISREG(st.st_mode) || static_cast<std::uint64_t>(st.st_size) > ProfileDocument::kMaxBytes) {
        state = FileState::kUnreadable;
        Forget(path);
        return EmptyDocument();
    }
    auto slot = std::find_if(slots_.begin(), slots_.end(), [&](const Slot& s) { return s.path == path; });
    if (slot != slots_.end() && slot->trusted && slot->identity == IdentityOf(st)) {
        slot->used = ++clock_;
        state = FileState::kPresent;
        return slot->doc;
    }
    const std::int64_t read_ns = CoarseNow();
    // A file read again only because it changed so recently needs no new
    // parse (nor a second copy in memory) when its bytes are the same.
    bool same = false;
    if (slot != slots_.end() && slot->identity == IdentityOf(st) &&
        slot->doc->encoding() == Encoding::kAnsi && ops.CompareFile(path, slot->doc->text(), same, st) == 0 &&
        same && slot->identity == IdentityOf(st)) {
        slot->trusted = ChangeWouldShow(slot->identity.ctime_ns, read_ns);
        slot->used = ++clock_;
        state = FileState::kPresent;
        return slot->doc;
    }
    std::string bytes;
    const bool read = ops.ReadFile(path, bytes, st) == 0;
    if (!read || bytes.size() > ProfileDocument::kMaxBytes) {
        state = !read && errno == ENOENT ? FileState::kMissing : FileState::kUnreadable;
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
    slot->trusted = ChangeWouldShow(slot->identity.ctime_ns, read_ns);
    slot->used = ++clock_;
    state = FileState::kPresent;
    return doc;
}

void ProfileCache::Forget(const std::string& path)
{
    std::erase_if(slots_, [&](const Slot& s) { return s.path == path; });
}

void ProfileCache::Clear()
{
    slots_.clear();
}

ProfileCache& SharedProfileCache()
{
    static ProfileCache cache;
    return cache;
}

}  // namespace ardmon::profile
