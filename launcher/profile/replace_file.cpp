#include "replace_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <vector>

#include "file_ops.h"

namespace ardmon::profile {
namespace {

constexpr char kAccessList[] = "system.posix_acl_access";

bool WriteAll(FileOps& ops, int fd, std::string_view bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ops.Write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// The folder part of path with its final '/', or empty for a bare name.
std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The file a chain of symbolic links leads to, whether it exists yet or not;
// path itself when it is no link. A loop ends at some link of it, which the
// caller then finds it cannot use.
std::string ResolveLinks(FileOps& ops, std::string path)
{
    constexpr int kMaxLinks = 40;
    std::string target;
    for (int i = 0; i < kMaxLinks && ops.ReadLink(path, target); ++i) {
        path = target.starts_with('/') ? target : FolderOf(path) + target;
    }
    return path;
}

// Whether the existing file at path may be replaced; errno tells why not.
bool MayReplace(FileOps& ops, const std::string& path, const struct stat& st)
{
    if (!S_ISREG(st.st_mode)) {
        errno = EISDIR;
        return false;
    }
    if ((st.st_mode & 0222) == 0 || ops.Access(path, W_OK) != 0) {
        errno = EACCES;
        return false;
    }
    return true;
}

// A folder that refuses a new file for want of permission, as opposed to a
// full disk or a read-only file system, which refuse the file itself too.
bool FolderRefusesNewFiles(int err)
{
    return err == EACCES || err == EPERM;
}

struct TempFile {
    std::string path;
    int fd = -1;
};

std::string TemporaryPrefix(const std::string& path)
{
    const std::string folder = FolderOf(path);
    return folder + "." + path.substr(folder.size()) + ".";
}

// A new file with a free name beside path, made with mode.
TempFile CreateTempBeside(FileOps& ops, const std::string& path, mode_t mode)
{
    const std::string prefix = TemporaryPrefix(path) + std::to_string(::getpid()) + "-";
    TempFile temp;
    for (int attempt = 0; attempt < 100 && temp.fd < 0; ++attempt) {
        temp.path = prefix + std::to_string(attempt) + ".tmp";
        temp.fd = ops.CreateNew(temp.path, mode);
        if (temp.fd < 0 && errno != EEXIST) break;
    }
    return temp;
}

// Copies the extended attributes of the file at from to fd; false when the
// file has an access control list that could not be copied.
bool CopyAttributes(FileOps& ops, const std::string& from, int fd)
{
    bool list_kept = true;
    for (const auto& [name, value] : ops.ReadAttributes(from)) {
        if (ops.SetAttribute(fd, name, value) != 0 && name == kAccessList) list_kept = false;
    }
    return list_kept;
}

// Hands the new file to the original's owner and group, or as near as the
// process may (see ReplaceFileContent), then gives it the original's
// attributes and permissions. The permissions come last: a change of owner
// may clear the set-id bits, and they set the list's mask as the original's.
bool TakeOver(FileOps& ops, int fd, const std::string& original_path, const struct stat& original)
{
    mode_t mode = original.st_mode & 07777;
    if (ops.Fchown(fd, original.st_uid, original.st_gid) != 0) {
        mode &= ~S_ISUID;
        if (ops.Fchown(fd, static_cast<uid_t>(-1), original.st_gid) != 0) mode &= ~(S_ISGID | 077);
    }
    // Without its access list, the group bits would grant what the list's
    // mask allowed to its named users: keep the file to its owner instead.
    if (!CopyAttributes(ops, original_path, fd)) mode &= ~077;
    return ops.Fchmod(fd, mode) == 0;
}

// Makes the rename itself durable; the file is already replaced either way.
void SyncFolder(FileOps& ops, const std::string& folder)
{
    const int dir = ops.OpenFolder(folder);
    if (dir >= 0) {
        ops.Fsync(dir);
        ops.Close(dir);
    }
}

bool CloseKeepingError(FileOps& ops, int fd, bool ok)
{
    const int err = errno;
    if (ops.Close(fd) != 0 && ok) return false;
    errno = err;
    return ok;
}

// Writes bytes to the temporary file and renames it over path; removes it on
// any failure. original is null for a new file.
bool ReplaceThrough(FileOps& ops, const TempFile& temp, const std::string& path, const struct stat* original,
                    std::string_view bytes)
{
    bool ok = (original == nullptr || TakeOver(ops, temp.fd, path, *original)) &&
              WriteAll(ops, temp.fd, bytes) && ops.Fsync(temp.fd) == 0;
    ok = CloseKeepingError(ops, temp.fd, ok) && ops.Rename(temp.path, path) == 0;
    if (!ok) {
        const int err = errno;
        ops.Unlink(temp.path);
        errno = err;
        return false;
    }
    SyncFolder(ops, FolderOf(path));
    return true;
}

// Rewrites the file at path in place, after reserving room for bytes.
bool RewriteInPlace(FileOps& ops, const std::string& path, std::string_view bytes)
{
    const int fd = ops.OpenForRewrite(path);
    if (fd < 0) return false;
    const off_t length = static_cast<off_t>(bytes.size());
    const bool reserved = length == 0 || ops.Reserve(fd, length) == 0 || errno == EOPNOTSUPP;
    const bool ok =
        reserved && WriteAll(ops, fd, bytes) && ops.Truncate(fd, length) == 0 && ops.Fsync(fd) == 0;
    return CloseKeepingError(ops, fd, ok);
}

// The process id in name when it is the name of a temporary file made by a
// replacement that prefix begins, else 0.
pid_t WriterOf(std::string_view name, std::string_view prefix)
{
    constexpr std::string_view kEnd = ".tmp";
    if (!name.starts_with(prefix) || !name.ends_with(kEnd)) return 0;
    name = name.substr(prefix.size(), name.size() - prefix.size() - kEnd.size());
    const size_t dash = name.find('-');
    if (dash == std::string_view::npos || dash + 1 == name.size()) return 0;
    const std::string_view number = name.substr(dash + 1);
    if (number.find_first_not_of("0123456789") != std::string_view::npos) return 0;
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + dash, pid);
    return error == std::errc() && end == name.data() + dash && pid > 0 ? pid : 0;
}

void RemoveStaleTemporaryFiles(FileOps& ops, const std::string& path)
{
    const std::string folder = FolderOf(path);
    const std::string prefix = TemporaryPrefix(path).substr(folder.size());
    std::vector<std::string> names;
    ops.ListFolder(folder, names);
    for (const std::string& name : names) {
        const pid_t writer = WriterOf(name, prefix);
        if (writer == 0 || ::kill(writer, 0) == 0 || errno != ESRCH)
            continue;  // not ours, or its writer lives
        struct stat st;
        if (ops.Lstat(folder + name, st) == 0 && S_ISREG(st.st_mode)) ops.Unlink(folder + name);
    }
}

}  // namespace

bool ReplaceFileContent(const std::string& given_path, std::string_view bytes)
{
    FileOps& ops = CurrentFileOps();
    if (given_path.empty()) {
        errno = ENOENT;
        return false;
    }
    const std::string path = ResolveLinks(ops, given_path);
    struct stat st;
    const bool exists = ops.Stat(path, st) == 0;
    if (!exists && errno != ENOENT) return false;
    if (exists && !MayReplace(ops, path, st)) return false;

    const TempFile temp = CreateTempBeside(ops, path, exists ? 0600 : 0666);
    if (temp.fd >= 0) return ReplaceThrough(ops, temp, path, exists ? &st : nullptr, bytes);
    if (exists && FolderRefusesNewFiles(errno)) return RewriteInPlace(ops, path, bytes);
    return false;
}

UpdateLock::UpdateLock(const std::string& given_path)
{
    FileOps& ops = CurrentFileOps();
    const std::string path = ResolveLinks(ops, given_path);
    const std::string folder = FolderOf(path);
    lock_file_ = folder + "." + path.substr(folder.size()) + ".lock";
    if (!LockFile(ops, lock_file_)) {
        lock_file_.clear();
        struct stat st;
        if (ops.Stat(path, st) == 0 && S_ISREG(st.st_mode)) LockFile(ops, path);
    }
    if (fd_ >= 0) RemoveStaleTemporaryFiles(ops, path);
}

bool UpdateLock::LockFile(FileOps& ops, const std::string& path)
{
    // The holder before may have removed the file it locked: then the lock
    // is taken again on the file now under that name.
    for (int attempt = 0; attempt < 100; ++attempt) {
        fd_ = ops.OpenLockFile(path);
        if (fd_ < 0) return false;
        struct stat held, named;
        if (ops.LockExclusive(fd_) == 0 && ops.Fstat(fd_, held) == 0 && ops.Stat(path, named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            return true;
        }
        ops.Close(fd_);
        fd_ = -1;
    }
    return false;
}

UpdateLock::~UpdateLock()
{
    if (fd_ < 0) return;
    FileOps& ops = CurrentFileOps();
    // Removed while still locked, so that the folder keeps no trace of it.
    if (!lock_file_.empty()) ops.Unlink(lock_file_);
    ops.Close(fd_);
}

}  // namespace ardmon::profile
