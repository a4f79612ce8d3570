// The engine on POSIX systems; its policy is written in filesafe.h.
#include "filesafe.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "names.h"

namespace filesafe {

namespace {

constexpr char kAccessList[] = "system.posix_acl_access";

// Makes call through the seam: the hook's error instead of the call, or the
// call itself.
template <class F>
auto Sys(Call call, const std::string& path, F f) -> decltype(f()) {
    if (const int code = detail::Check(call, path); code != 0) {
        errno = code;
        return -1;
    }
    return f();
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// True when the name at path (no link followed) is the file open at fd.
bool StillNamed(int fd, int folder, const char* path) {
    struct stat open {
    }, named{};
    return ::fstat(fd, &open) == 0 && ::fstatat(folder, path, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           SameFile(open, named);
}

// The name the system gives the file open at fd: where its own resolution
// of links led, with the protections it applies on the way.
bool NameOfOpenFile(int fd, std::string& name) {
    char buffer[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer - 1);
    if (n <= 0 || buffer[0] != '/') return false;
    name.assign(buffer, static_cast<std::size_t>(n));
    return true;
}

// Copies the user attributes and the access list of file to fd; false when
// the file has an access list that could not be copied.
bool KeepAttributes(const std::string& file, int fd, const std::string& working) {
    const ssize_t size = ::listxattr(file.c_str(), nullptr, 0);
    if (size <= 0) return true;
    std::vector<char> names(static_cast<std::size_t>(size));
    const ssize_t got = ::listxattr(file.c_str(), names.data(), names.size());
    if (got <= 0) return true;
    bool listKept = true;
    std::vector<char> value;
    for (std::size_t at = 0; at < static_cast<std::size_t>(got);) {
        const std::string name(names.data() + at);
        at += name.size() + 1;
        if (name.rfind("user.", 0) != 0 && name != kAccessList) continue;
        const ssize_t length = ::getxattr(file.c_str(), name.c_str(), nullptr, 0);
        if (length < 0) continue;
        value.resize(static_cast<std::size_t>(length));
        const ssize_t n = ::getxattr(file.c_str(), name.c_str(), value.data(), value.size());
        const bool set =
            n >= 0 && Sys(Call::kSetAttributes, working, [&] {
                          return ::fsetxattr(fd, name.c_str(), value.data(), static_cast<std::size_t>(n), 0);
                      }) == 0;
        if (!set && name == kAccessList) listKept = false;
    }
    return listKept;
}

// True when a failed creation means the folder lets no new file be made,
// while the file already there may still be rewritten. A full disk is not
// such a case: rewriting in place there could spoil the file it holds.
bool FolderRefusesNewFiles(int err) { return err == EACCES || err == EPERM; }

void SyncFolder(const std::string& path) {
    const int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return;
    Sys(Call::kFlushFolder, FolderOf(path), [&] { return ::fsync(dir); });  // the file is in place either way
    ::close(dir);
}

// Opens path for reading without blocking (a FIFO with no writer, a device):
// its descriptor, or -1 with errno set.
int OpenForReading(const std::string& path) {
    return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

bool IsRegular(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::string CouldNotWrite(const std::string& path, int code) {
    return "Could not write \"" + path + "\": " + std::strerror(code) + ".";
}

bool ReadRegularFile(const std::string& path, std::size_t limit, std::string& bytes) {
    bytes.clear();
    const int fd = OpenForReading(path);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) bytes.resize(std::min(limit, static_cast<std::size_t>(st.st_size)));
    std::size_t got = 0;
    while (ok && got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // shorter than it was: what is there
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    bytes.resize(ok ? got : 0);
    return ok;
}

bool CanReadRegularFile(const std::string& path) {
    const int fd = OpenForReading(path);
    if (fd < 0) return false;
    const bool regular = IsRegular(fd);
    ::close(fd);
    return regular;
}

bool IsNonRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

bool Replacement::Fail(int code, std::string& error) {
    error = CouldNotWrite(path_, code);
    return false;
}

// Finds the file path names the way the system does when it opens it, links
// followed with the system's protections (a link in a shared sticky folder
// that the system refuses to follow is refused here too). A link to a file
// that does not exist yet is followed to create that file. A target that
// another writer replaces meanwhile is looked up again.
bool Replacement::Locate(std::string& error) {
    constexpr int kTries = 100;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        int fd = ::open(path_.c_str(), O_PATH | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT) {
            struct stat link {};
            if (::lstat(path_.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) {
                target_ = path_;  // a new file
                return true;
            }
            fd = Sys(Call::kCreate, path_, [&] {
                return ::open(path_.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
            });
            createdTarget_ = fd >= 0;
        }
        if (fd < 0) return Fail(errno, error);
        const bool named = NameOfOpenFile(fd, target_);
        struct stat st {};
        exists_ = !createdTarget_ && ::fstat(fd, &st) == 0;
        ::close(fd);
        if (named && target_.ends_with(" (deleted)")) continue;  // replaced by another writer just now
        if (!named) {
            struct stat link {};
            if (::lstat(path_.c_str(), &link) != 0 || S_ISLNK(link.st_mode)) {
                error = "Could not write \"" + path_ + "\": the file its link leads to cannot be found.";
                return false;
            }
            target_ = path_;
        }
        if (exists_ && !S_ISREG(st.st_mode)) {
            error = "Could not write \"" + path_ +
                    "\": " + (S_ISDIR(st.st_mode) ? "it is a folder." : "it is not a regular file.");
            return false;
        }
        // A file without any write bit is read-only even for a privileged
        // process, as a read-only file is on Windows.
        if (exists_ && (st.st_mode & 0222) == 0) return Fail(EACCES, error);
        if (exists_ && ::access(target_.c_str(), W_OK) != 0) return Fail(errno, error);
        mode_ = st.st_mode & 07777;
        owner_ = st.st_uid;
        group_ = st.st_gid;
        return true;
    }
    return Fail(EBUSY, error);
}

// Makes the temporary file beside the target and takes its lock, which tells
// every sweep that its writer lives; or, when the folder takes no new file,
// opens the target to be rewritten in place.
bool Replacement::Create(std::string& error) {
    // A new file starts with 0666 less the umask (open applies it); a
    // replacement with its owner's rights only, widened once its owner and
    // group are settled.
    const mode_t mode = exists_ ? (mode_ & 0700) : 0666;
    const std::string folder = FolderOf(target_);
    const int folderFd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    int err = EEXIST;
    for (int attempt = 0; attempt < 100 && handle_ < 0 && folderFd >= 0; ++attempt) {
        const std::string name = TemporaryName();
        const int fd = Sys(Call::kCreate, folder + "/" + name, [&] {
            return ::openat(folderFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                            mode);
        });
        err = errno;
        if (fd < 0 && err == EEXIST) continue;
        if (fd < 0) break;
        // A sweep that holds the lock right now removes the file: take another
        // name. A file system without such locks has no sweep that could.
        const bool locked =
            Sys(Call::kLock, folder + "/" + name, [&] { return ::flock(fd, LOCK_EX | LOCK_NB); }) == 0 ||
            errno != EWOULDBLOCK;
        if (locked && StillNamed(fd, folderFd, name.c_str())) {
            handle_ = fd;
            working_ = folder + "/" + name;
        } else {
            ::close(fd);
        }
    }
    if (folderFd < 0) err = errno;
    if (folderFd >= 0) ::close(folderFd);
    if (handle_ >= 0) return true;
    if (!exists_ || !FolderRefusesNewFiles(err)) return Fail(err, error);
    const int fd = Sys(Call::kOpen, target_,
                       [&] { return ::open(target_.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC); });
    if (fd < 0) return Fail(errno, error);
    if (!IsRegular(fd)) {
        ::close(fd);
        return Fail(EINVAL, error);
    }
    handle_ = fd;
    working_ = target_;
    inPlace_ = true;
    return true;
}

// The owner first (changing it may clear set-id bits), then the attributes
// (an access list sets the group bits), then the mode. The owner goes where
// the system allows: owner and group, else the group alone (a member may give
// a file to its group), else neither, and then group and others get no access
// they did not have through the owner; without its access list, the group
// bits would grant what the list's mask allowed its named users, so the file
// is kept to its owner then too.
bool Replacement::KeepIdentity(std::string& error) {
    const int fd = static_cast<int>(handle_);
    mode_t mode = static_cast<mode_t>(mode_);
    const uid_t owner = static_cast<uid_t>(owner_);
    const gid_t group = static_cast<gid_t>(group_);
    if (owner != ::geteuid() || group != ::getegid()) {
        if (Sys(Call::kSetOwner, working_, [&] { return ::fchown(fd, owner, group); }) != 0) {
            mode &= ~S_ISUID;
            if (owner == ::geteuid() || Sys(Call::kSetGroup, working_,
                                            [&] { return ::fchown(fd, static_cast<uid_t>(-1), group); }) != 0)
                mode &= ~(S_ISGID | 077);
        }
    }
    if (!KeepAttributes(target_, fd, working_)) mode &= ~077;
    if (Sys(Call::kSetMode, working_, [&] { return ::fchmod(fd, mode); }) != 0) return Fail(errno, error);
    return true;
}

std::unique_ptr<Replacement> Replacement::Begin(const std::string& path, std::string& error) {
    std::unique_ptr<Replacement> out(new Replacement);
    out->path_ = path;
    if (path.empty()) {
        out->Fail(ENOENT, error);
        return nullptr;
    }
    if (!out->Locate(error)) return nullptr;
    SweepStaleTemporaries(FolderOf(out->target_));
    if (!out->Create(error)) return nullptr;
    if (out->exists_ && !out->inPlace_ && !out->KeepIdentity(error)) return nullptr;
    return out;
}

bool Replacement::Reserve(unsigned long long bytes, std::string& error) {
    if (!inPlace_ || bytes == 0) return true;
    const int fd = static_cast<int>(handle_);
    // Where the file system cannot reserve (EOPNOTSUPP), writing in place
    // could run out of room half way: the old content stays instead.
    if (Sys(Call::kReserve, working_, [&] { return ::fallocate(fd, 0, 0, static_cast<off_t>(bytes)); }) == 0)
        return true;
    return Fail(errno, error);
}

bool Replacement::Write(std::string_view bytes, std::string& error) {
    const int fd = static_cast<int>(handle_);
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = Sys(Call::kWrite, working_, [&] { return ::write(fd, p, left); });
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Fail(n < 0 ? errno : ENOSPC, error);
        p += n;
        left -= static_cast<std::size_t>(n);
        written_ += static_cast<unsigned long long>(n);
    }
    if (written_ > length_) length_ = written_;
    return true;
}

void Replacement::StartFlush() {
    const int fd = static_cast<int>(handle_);
    Sys(Call::kStartFlush, working_, [&] { return ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE); });
}

bool Replacement::Commit(std::string& error) {
    const int fd = static_cast<int>(handle_);
    int err = 0;
    if (inPlace_ &&
        Sys(Call::kTruncate, working_, [&] { return ::ftruncate(fd, static_cast<off_t>(length_)); }) != 0)
        err = errno;
    // On the disk before it replaces the target, so a power loss right after
    // the rename cannot leave an empty file in the old one's place.
    if (err == 0 && Sys(Call::kFlush, working_, [&] { return ::fsync(fd); }) != 0) err = errno;
    // Renamed while still locked, so no sweep can take it on the way.
    if (err == 0 && !inPlace_ &&
        Sys(Call::kReplace, target_, [&] { return ::rename(working_.c_str(), target_.c_str()); }) != 0)
        err = errno;
    if (err != 0) {
        Abandon();
        return Fail(err, error);
    }
    committed_ = true;
    // The content is on the disk and in place: a failing close changes nothing.
    detail::Check(Call::kClose, target_);
    ::close(fd);
    handle_ = -1;
    SyncFolder(target_);
    return true;
}

void Replacement::Abandon() {
    if (handle_ >= 0) {
        ::close(static_cast<int>(handle_));
        handle_ = -1;
    }
    // A removal that fails leaves a file nobody holds: the next sweep takes it.
    if (!committed_ && !inPlace_ && !working_.empty())
        Sys(Call::kRemove, working_, [&] { return ::unlink(working_.c_str()); });
    if (!committed_ && createdTarget_) ::unlink(target_.c_str());
    working_.clear();
}

Replacement::~Replacement() { Abandon(); }

void SweepStaleTemporaries(const std::string& folder) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return;
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsTemporaryName(entry->d_name)) continue;
        const int fd =
            ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st {};
        // Only this user's own files, only those no live writer holds, and
        // only while the name is still that file.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 && StillNamed(fd, dirFd, entry->d_name))
            Sys(Call::kRemove, entry->d_name, [&] { return ::unlinkat(dirFd, entry->d_name, 0); });
        ::close(fd);
    }
    ::closedir(dir);
}

namespace {

// The region every holder locks: one byte far beyond the end of any file, so
// that the lock keeps no reader out, whatever locks readers take.
bool LockRegion(int fd) {
    struct flock region {};
    region.l_type = F_WRLCK;
    region.l_whence = SEEK_SET;
    region.l_start = off_t{1} << 62;
    region.l_len = 1;
    return ::fcntl(fd, F_OFD_SETLK, &region) == 0;
}

}  // namespace

UpdateLock::UpdateLock(const std::string& path, const LockWait& wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait.bound;
    for (;;) {
        // Whoever may load may write the file, so may open it so (a lock
        // for writing needs it); it is never written through this descriptor.
        const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            state_ = errno == ENOENT ? State::kNoFile : errno == ENXIO ? State::kRefused : State::kUnusable;
            error_ = errno;
            return;
        }
        if (!IsRegular(fd)) {
            ::close(fd);
            state_ = State::kRefused;
            return;
        }
        while (Sys(Call::kLock, path, [&] { return LockRegion(fd) ? 0 : -1; }) != 0) {
            if (errno != EAGAIN && errno != EACCES && errno != EINTR) break;  // no locks here: unguarded
            if (std::chrono::steady_clock::now() >= deadline) {
                ::close(fd);
                state_ = State::kBusy;
                return;
            }
            if (wait.pump) wait.pump();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        // The holder before may have put a new file in place: lock that one.
        struct stat held {
        }, named{};
        if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 && SameFile(held, named)) {
            handle_ = fd;
            state_ = State::kHeld;
            return;
        }
        ::close(fd);
    }
}

UpdateLock::~UpdateLock() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

bool CreateNewFile(const std::string& name, const std::string& like, bool& exists, std::string& error) {
    struct stat st {};
    const mode_t mode =
        !like.empty() && ::stat(like.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? (st.st_mode & 0666) : 0666;
    const int fd = Sys(Call::kCreate, name, [&] {
        return ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    });
    exists = fd < 0 && errno == EEXIST;
    if (fd < 0) {
        error = CouldNotWrite(name, errno);
        return false;
    }
    ::close(fd);
    return true;
}

void RemoveFile(const std::string& name) { ::unlink(name.c_str()); }

bool PrivateFolder::Create() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp == '/' ? tmp : "/tmp") + "/halvo-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return false;  // made with mode 0700
    path_ = pattern;
    return true;
}

PrivateFolder::~PrivateFolder() {
    if (!file_.empty()) ::unlink(file_.c_str());
    if (!path_.empty()) ::rmdir(path_.c_str());
}

}  // namespace filesafe
