#include "fileio/ReplaceFile.h"

#include "fileio/Names.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace ledgra::fileio {

namespace {

SystemCalls calls;

int Open(const char* path, int flags, mode_t mode) {
    return calls.open ? calls.open(path, flags, mode) : ::open(path, flags, mode);
}
ssize_t WriteSome(int fd, const void* data, size_t size) {
    return calls.write ? calls.write(fd, data, size) : ::write(fd, data, size);
}
int Fchmod(int fd, mode_t mode) { return calls.fchmod ? calls.fchmod(fd, mode) : ::fchmod(fd, mode); }
int Fchown(int fd, uid_t owner, gid_t group) {
    return calls.fchown ? calls.fchown(fd, owner, group) : ::fchown(fd, owner, group);
}
int Fsync(int fd) { return calls.fsync ? calls.fsync(fd) : ::fsync(fd); }
int Rename(const char* from, const char* to) {
    return calls.rename ? calls.rename(from, to) : ::rename(from, to);
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
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

bool WriterAlive(unsigned long pid) {
    if (pid == 0 || pid > static_cast<unsigned long>(INT_MAX)) return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// Removes the temporary files that writers of this computer, now gone, left
// in folder: only regular files of this user with names of ours.
void RemoveStaleTemporaries(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return;
    const int dirFd = ::dirfd(dir);
    const unsigned long self = static_cast<unsigned long>(::getpid());
    while (const dirent* entry = ::readdir(dir)) {
        unsigned long pid = 0;
        if (!IsTemporaryName(entry->d_name, pid) || pid == self || WriterAlive(pid)) continue;
        struct stat st {};
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            st.st_uid == ::geteuid())
            ::unlinkat(dirFd, entry->d_name, 0);
    }
    ::closedir(dir);
}

// The owner and group of the file replaced go to its replacement where the
// system allows: the owner (and group) when permitted, else the group alone
// (a member may give a file to its group), else neither, and then the group
// and others get no access they did not have through the owner. Set-id bits
// survive only with the owner. Returns the mode the replacement ends with.
mode_t KeepOwnership(int fd, const struct stat& existing) {
    const mode_t mode = existing.st_mode & 07777;
    if (existing.st_uid == ::geteuid() && existing.st_gid == ::getegid()) return mode;
    if (Fchown(fd, existing.st_uid, existing.st_gid) == 0) return mode;
    if (existing.st_uid != ::geteuid()) {
        if (Fchown(fd, static_cast<uid_t>(-1), existing.st_gid) == 0) return mode & 0777;
    }
    return mode & 0700;
}

// Copies the user attributes and the access list of file to fd; what the
// file system or the user's rights refuse is left out.
void KeepAttributes(const std::string& file, int fd) {
    const ssize_t size = ::listxattr(file.c_str(), nullptr, 0);
    if (size <= 0) return;
    std::vector<char> names(static_cast<std::size_t>(size));
    const ssize_t got = ::listxattr(file.c_str(), names.data(), names.size());
    if (got <= 0) return;
    std::vector<char> value;
    for (std::size_t at = 0; at < static_cast<std::size_t>(got);) {
        const std::string name(names.data() + at);
        at += name.size() + 1;
        if (name.rfind("user.", 0) != 0 && name != "system.posix_acl_access") continue;
        const ssize_t length = ::getxattr(file.c_str(), name.c_str(), nullptr, 0);
        if (length < 0) continue;
        value.resize(static_cast<std::size_t>(length));
        const ssize_t n = ::getxattr(file.c_str(), name.c_str(), value.data(), value.size());
        if (n >= 0) ::fsetxattr(fd, name.c_str(), value.data(), static_cast<std::size_t>(n), 0);
    }
}

// True when a failed creation means the folder lets no new file be made,
// while the file already there may still be rewritten. A full disk is not
// such a case: rewriting in place there could spoil the file it holds.
bool FolderRefusesNewFiles(int err) { return err == EACCES || err == EPERM; }

void SyncFolder(const std::string& path) {
    const int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return;
    ::fsync(dir);  // not every file system syncs folders; the file is in place either way
    ::close(dir);
}

}  // namespace

void SetSystemCallsForTesting(const SystemCalls& replacement) { calls = replacement; }

std::string FileReplacement::Describe(int err) const {
    return "Could not write \"" + path_ + "\": " + std::strerror(err) + ".";
}

// Finds the file path names the way the system does when it opens it, links
// followed with the system's protections (a link in a shared sticky folder
// that the system refuses to follow is refused here too). A link to a file
// that does not exist yet is followed to create that file.
bool FileReplacement::Locate(std::string& error) {
    int fd = ::open(path_.c_str(), O_PATH | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        struct stat link {};
        if (::lstat(path_.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) {
            target_ = path_;  // a new file
            return true;
        }
        fd = Open(path_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
        createdTarget_ = fd >= 0;
    }
    if (fd < 0) {
        error = Describe(errno);
        return false;
    }
    const bool named = NameOfOpenFile(fd, target_);
    exists_ = !createdTarget_ && ::fstat(fd, &existing_) == 0;
    ::close(fd);
    if (!named) {
        struct stat link {};
        if (::lstat(path_.c_str(), &link) != 0 || S_ISLNK(link.st_mode)) {
            error = "Could not write \"" + path_ + "\": the file its link leads to cannot be found.";
            return false;
        }
        target_ = path_;
    }
    if (exists_ && !S_ISREG(existing_.st_mode)) {
        error = "Could not write \"" + path_ +
                "\": " + (S_ISDIR(existing_.st_mode) ? "it is a folder." : "it is not a regular file.");
        return false;
    }
    if (exists_ && ::access(target_.c_str(), W_OK) != 0) {
        error = Describe(errno);
        return false;
    }
    return true;
}

// Makes the temporary file beside the target, or, when the folder takes no
// new file, opens the target to be rewritten in place.
bool FileReplacement::Create(std::string& error) {
    // A new file starts with 0666 less the umask (open applies it); a
    // replacement with its owner's rights only, widened once its owner and
    // group are settled, so it is never readable by more users than the result.
    const mode_t mode = exists_ ? (existing_.st_mode & 0700) : 0666;
    const std::string folder = FolderOf(target_) + "/";
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        working_ = folder + TemporaryName(static_cast<unsigned long>(::getpid()));
        fd_ = Open(working_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ >= 0) return true;
    const int err = errno;
    working_.clear();
    if (!exists_ || !FolderRefusesNewFiles(err)) {
        error = Describe(err);
        return false;
    }
    fd_ = Open(target_.c_str(), O_WRONLY | O_CLOEXEC, 0);
    if (fd_ < 0) {
        error = Describe(errno);
        return false;
    }
    working_ = target_;
    inPlace_ = true;
    return true;
}

std::unique_ptr<FileReplacement> FileReplacement::Begin(const std::string& path, std::string& error) {
    std::unique_ptr<FileReplacement> out(new FileReplacement);
    out->path_ = path;
    if (!out->Locate(error)) return nullptr;
    RemoveStaleTemporaries(FolderOf(out->target_));
    if (!out->Create(error)) return nullptr;
    if (out->exists_ && !out->inPlace_) {
        // The owner first (changing it may clear set-id bits), then the
        // attributes (an access list sets the group bits), then the mode.
        const mode_t mode = KeepOwnership(out->fd_, out->existing_);
        KeepAttributes(out->target_, out->fd_);
        (void)Fchmod(out->fd_, mode);
    }
    return out;
}

bool FileReplacement::Reserve(off_t bytes, std::string& error) {
    if (!inPlace_ || bytes <= 0) return true;
    if (::fallocate(fd_, 0, 0, bytes) == 0 || errno == EOPNOTSUPP) return true;
    error = Describe(errno);
    return false;
}

bool FileReplacement::Write(std::string_view bytes, std::string& error) {
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = WriteSome(fd_, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = Describe(n < 0 ? errno : ENOSPC);
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
        written_ += n;
    }
    length_ = std::max(length_, written_);
    return true;
}

bool FileReplacement::Commit(std::string& error) {
    int err = 0;
    if (inPlace_ && ::ftruncate(fd_, length_) != 0) err = errno;
    // On the disk before it replaces the target, so a power loss right after
    // the rename cannot leave an empty file in the old one's place.
    if (err == 0 && Fsync(fd_) != 0) err = errno;
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err == 0 && !inPlace_ && Rename(working_.c_str(), target_.c_str()) != 0) err = errno;
    if (err != 0) {
        error = Describe(err);
        Abandon();
        return false;
    }
    committed_ = true;
    SyncFolder(target_);
    return true;
}

void FileReplacement::Abandon() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!committed_ && !inPlace_ && !working_.empty()) ::unlink(working_.c_str());
    if (!committed_ && createdTarget_) ::unlink(target_.c_str());
    working_.clear();
}

FileReplacement::~FileReplacement() { Abandon(); }

bool ReplaceFileContent(const std::string& path, std::string_view content, std::string& error) {
    std::unique_ptr<FileReplacement> file = FileReplacement::Begin(path, error);
    return file && file->Reserve(static_cast<off_t>(content.size()), error) && file->Write(content, error) &&
           file->Commit(error);
}

bool CreateNewFile(const std::string& name, bool& exists, std::string& error) {
    const int fd = Open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    exists = fd < 0 && errno == EEXIST;
    if (fd < 0) {
        error = "Could not write \"" + name + "\": " + std::strerror(errno) + ".";
        return false;
    }
    ::close(fd);
    return true;
}

void RemoveFile(const std::string& name) { ::unlink(name.c_str()); }

bool PrivateFolder::Create() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp == '/' ? tmp : "/tmp") + "/ledgra-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return false;  // made with mode 0700
    path_ = pattern;
    return true;
}

std::string PrivateFolder::NewFile(const std::string& name) {
    bool exists = false;
    std::string error;
    if (path_.empty() || !file_.empty() || !CreateNewFile(path_ + "/" + name, exists, error))
        return std::string();
    file_ = path_ + "/" + name;
    return file_;
}

PrivateFolder::~PrivateFolder() {
    if (!file_.empty()) ::unlink(file_.c_str());
    if (!path_.empty()) ::rmdir(path_.c_str());
}

}  // namespace ledgra::fileio
