#include "fileio/ReplaceFile.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>

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

// The file a chain of symbolic links at path ends in (the path itself when it
// is no link); a link to a file that does not exist yet names that file.
std::string ResolveLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        char buffer[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer - 1);
        if (n <= 0) break;
        std::string next(buffer, static_cast<std::size_t>(n));
        path = next.front() == '/' ? next : FolderOf(path) + "/" + next;
    }
    return path;
}

std::string RandomSuffix() {
    thread_local std::mt19937_64 rng{std::random_device{}() ^ static_cast<std::uint64_t>(::getpid())};
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string s;
    for (int i = 0; i < 6; ++i) s += letters[rng() % 36];
    return s;
}

// True when a failed creation means the folder lets no new file be made,
// while the file already there may still be rewritten. A full disk is not
// such a case: rewriting in place there could spoil the file it holds.
bool FolderRefusesNewFiles(int err) { return err == EACCES || err == EPERM; }

// The temporary file's name: hidden, beside the target.
std::string TemporaryName(const std::string& target) {
    const std::size_t slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    return folder + "." + name + ".~" + RandomSuffix();
}

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

std::unique_ptr<FileReplacement> FileReplacement::Begin(const std::string& path, std::string& error) {
    std::unique_ptr<FileReplacement> out(new FileReplacement);
    out->path_ = path;
    out->target_ = ResolveLinks(path);
    const std::string& target = out->target_;
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        error = "Could not write \"" + path +
                "\": " + (S_ISDIR(existing.st_mode) ? "it is a folder." : "it is not a regular file.");
        return nullptr;
    }
    if (exists && ::access(target.c_str(), W_OK) != 0) {
        error = out->Describe(errno);
        return nullptr;
    }

    // Created with the final mode (for a new file: 0666 less the umask, which
    // open applies), so it is never readable by more users than the result.
    const mode_t mode = exists ? (existing.st_mode & 07777) : 0666;
    for (int attempt = 0; attempt < 100 && out->fd_ < 0; ++attempt) {
        out->working_ = TemporaryName(target);
        out->fd_ = Open(out->working_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode & 0777);
        if (out->fd_ < 0 && errno != EEXIST) break;
    }
    if (out->fd_ < 0) {
        const int err = errno;
        out->working_.clear();
        if (!exists || !FolderRefusesNewFiles(err)) {
            error = out->Describe(err);
            return nullptr;
        }
        // The folder takes no new file, but the file itself may be written.
        out->fd_ = Open(target.c_str(), O_WRONLY | O_CLOEXEC, 0);
        if (out->fd_ < 0) {
            error = out->Describe(errno);
            return nullptr;
        }
        out->working_ = target;
        out->inPlace_ = true;
        return out;
    }
    if (exists) {
        // The owner first (changing it may clear set-id bits), then the mode
        // the umask may have narrowed. Neither is an error when not allowed.
        if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid())
            (void)Fchown(out->fd_, existing.st_uid, existing.st_gid);
        (void)Fchmod(out->fd_, mode);
    }
    return out;
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
    working_.clear();
}

FileReplacement::~FileReplacement() { Abandon(); }

bool ReplaceFileContent(const std::string& path, std::string_view content, std::string& error) {
    std::unique_ptr<FileReplacement> file = FileReplacement::Begin(path, error);
    return file && file->Write(content, error) && file->Commit(error);
}

}  // namespace ledgra::fileio
