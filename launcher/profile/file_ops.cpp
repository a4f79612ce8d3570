#include "file_ops.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace ardmon::profile {

int FileOps::Stat(const std::string& path, struct stat& st)
{
    return ::stat(path.c_str(), &st);
}

bool FileOps::ReadLink(const std::string& path, std::string& target)
{
    std::string buffer(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
        if (n < 0) return false;
        if (static_cast<size_t>(n) < buffer.size()) {
            target.assign(buffer.data(), static_cast<size_t>(n));
            return true;
        }
        buffer.resize(buffer.size() * 2);  // it may have been cut
    }
}

int FileOps::Access(const std::string& path, int mode)
{
    return ::access(path.c_str(), mode);
}

int FileOps::ReadFile(const std::string& path, std::string& bytes, struct stat& st)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);  // a FIFO must not block
    if (fd < 0) return -1;
    if (::fstat(fd, &st) != 0) {
        int err = errno;
        ::close(fd);
        errno = err;
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EISDIR;
        return -1;
    }
    bytes.clear();
    bytes.resize(static_cast<size_t>(st.st_size));
    size_t got = 0;
    for (;;) {
        if (got == bytes.size()) bytes.resize(bytes.size() + 4096);  // the file grew
        ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            int err = errno;
            ::close(fd);
            errno = err;
            return -1;
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    bytes.resize(got);
    ::close(fd);
    return 0;
}

int FileOps::CreateNew(const std::string& path, mode_t mode)
{
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
}

ssize_t FileOps::Write(int fd, const char* data, size_t size)
{
    return ::write(fd, data, size);
}

int FileOps::Fchown(int fd, uid_t owner, gid_t group)
{
    return ::fchown(fd, owner, group);
}

int FileOps::Fchmod(int fd, mode_t mode)
{
    return ::fchmod(fd, mode);
}

int FileOps::Fsync(int fd)
{
    return ::fsync(fd);
}

int FileOps::Close(int fd)
{
    return ::close(fd);
}

int FileOps::Rename(const std::string& from, const std::string& to)
{
    return ::rename(from.c_str(), to.c_str());
}

int FileOps::Unlink(const std::string& path)
{
    return ::unlink(path.c_str());
}

namespace {

FileOps g_real_ops;
FileOps* g_ops = &g_real_ops;

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

struct TempFile {
    std::string path;
    int fd = -1;
};

// A new file with a free name beside path, made with mode.
TempFile CreateTempBeside(FileOps& ops, const std::string& path, mode_t mode)
{
    const std::string folder = FolderOf(path);
    const std::string base = path.substr(folder.size());
    TempFile temp;
    for (int attempt = 0; attempt < 100 && temp.fd < 0; ++attempt) {
        temp.path =
            folder + "." + base + "." + std::to_string(::getpid()) + "-" + std::to_string(attempt) + ".tmp";
        temp.fd = ops.CreateNew(temp.path, mode);
        if (temp.fd < 0 && errno != EEXIST) break;
    }
    return temp;
}

// Gives the temporary file the original's owner and then its permissions
// (a change of owner may clear the set-id bits). A process that may not
// change the owner leaves the file to whoever wrote it, as a new file is.
bool TakeOver(FileOps& ops, int fd, const struct stat& original)
{
    ops.Fchown(fd, original.st_uid, original.st_gid);
    return ops.Fchmod(fd, original.st_mode & 07777) == 0;
}

// Makes the rename itself durable; the file is already replaced either way.
void SyncFolder(FileOps& ops, const std::string& folder)
{
    const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ops.Fsync(dir);
        ::close(dir);
    }
}

}  // namespace

FileOps& CurrentFileOps()
{
    return *g_ops;
}

ScopedFileOps::ScopedFileOps(FileOps& ops) : previous_(g_ops)
{
    g_ops = &ops;
}

ScopedFileOps::~ScopedFileOps()
{
    g_ops = previous_;
}

bool ReplaceFileAtomically(const std::string& given_path, std::string_view bytes)
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

    // Never more permissive than the file it replaces, not even for a moment.
    const TempFile temp = CreateTempBeside(ops, path, exists ? (st.st_mode & 0777) : 0666);
    if (temp.fd < 0) return false;
    bool ok =
        (!exists || TakeOver(ops, temp.fd, st)) && WriteAll(ops, temp.fd, bytes) && ops.Fsync(temp.fd) == 0;
    int err = errno;
    if (ops.Close(temp.fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ops.Rename(temp.path, path) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ops.Unlink(temp.path);
        errno = err;
        return false;
    }
    SyncFolder(ops, FolderOf(path));
    return true;
}

}  // namespace ardmon::profile
