#include "file_ops.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace ardmon::profile {

int FileOps::Stat(const std::string& path, struct stat& st)
{
    return ::stat(path.c_str(), &st);
}

int FileOps::Lstat(const std::string& path, struct stat& st)
{
    return ::lstat(path.c_str(), &st);
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

// The file a symbolic link leads to is the one replaced, not the link.
std::string ResolveTarget(FileOps& ops, const std::string& path)
{
    struct stat st;
    if (ops.Lstat(path, st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr) return path;
    std::string target(real);
    std::free(real);
    return target;
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
    const std::string path = ResolveTarget(ops, given_path);
    struct stat st;
    bool exists = ops.Stat(path, st) == 0;
    if (!exists && errno != ENOENT) return false;
    if (exists) {
        if (!S_ISREG(st.st_mode)) {
            errno = EISDIR;
            return false;
        }
        if ((st.st_mode & 0222) == 0 || ops.Access(path, W_OK) != 0) {
            errno = EACCES;
            return false;
        }
    }

    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp =
            folder + "." + base + "." + std::to_string(::getpid()) + "-" + std::to_string(attempt) + ".tmp";
        fd = ops.CreateNew(temp, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;

    // The owner is kept where the process may do so (a privileged one can).
    if (exists && ::fchown(fd, st.st_uid, st.st_gid) != 0) {
        // Not allowed: the file then belongs to whoever wrote it, as a new one would.
    }
    bool ok = WriteAll(ops, fd, bytes) && (!exists || ops.Fchmod(fd, st.st_mode & 07777) == 0) &&
              ops.Fsync(fd) == 0;
    int err = errno;
    if (ops.Close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ops.Rename(temp, path) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ops.Unlink(temp);
        errno = err;
        return false;
    }
    // Make the rename itself durable; the file is already replaced either way.
    int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ops.Fsync(dir);
        ::close(dir);
    }
    return true;
}

}  // namespace ardmon::profile
