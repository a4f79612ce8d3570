#include "file_ops.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace ardmon::profile {

int FileOps::Stat(const std::string& path, struct stat& st)
{
    return ::stat(path.c_str(), &st);
}

int FileOps::Lstat(const std::string& path, struct stat& st)
{
    return ::lstat(path.c_str(), &st);
}

int FileOps::Fstat(int fd, struct stat& st)
{
    return ::fstat(fd, &st);
}

int FileOps::OpenFolder(const std::string& path)
{
    return ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

bool FileOps::ListFolder(const std::string& path, std::vector<std::string>& names)
{
    DIR* dir = ::opendir(path.empty() ? "." : path.c_str());
    if (dir == nullptr) return false;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    ::closedir(dir);
    return true;
}

std::string FileOps::WorkDir()
{
    std::string dir(256, '\0');
    while (::getcwd(dir.data(), dir.size()) == nullptr) {
        if (errno != ERANGE) return {};
        dir.resize(dir.size() * 2);
    }
    dir.resize(std::strlen(dir.c_str()));
    return dir;
}

std::FILE* FileOps::OpenStream(const std::string& path, const char* mode)
{
    return std::fopen(path.c_str(), mode);
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

int FileOps::OpenForRewrite(const std::string& path)
{
    return ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
}

int FileOps::Reserve(int fd, off_t length)
{
    const int err = ::posix_fallocate(fd, 0, length);
    errno = err;
    return err == 0 ? 0 : -1;
}

int FileOps::Truncate(int fd, off_t length)
{
    return ::ftruncate(fd, length);
}

int FileOps::OpenLockFile(const std::string& path)
{
    return ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
}

int FileOps::LockExclusive(int fd)
{
    int result;
    do {
        result = ::flock(fd, LOCK_EX);
    } while (result != 0 && errno == EINTR);
    return result;
}

std::vector<std::pair<std::string, std::string>> FileOps::ReadAttributes(const std::string& path)
{
    std::vector<std::pair<std::string, std::string>> attributes;
    std::string names;
    for (;;) {  // the list may grow between the two calls
        const ssize_t size = ::llistxattr(path.c_str(), nullptr, 0);
        if (size <= 0) return attributes;
        names.resize(static_cast<size_t>(size));
        const ssize_t got = ::llistxattr(path.c_str(), names.data(), names.size());
        if (got >= 0) {
            names.resize(static_cast<size_t>(got));
            break;
        }
        if (errno != ERANGE) return attributes;
    }
    for (size_t at = 0; at < names.size();) {
        const size_t end = std::min(names.find('\0', at), names.size());
        const std::string name = names.substr(at, end - at);
        at = end + 1;
        const ssize_t size = ::lgetxattr(path.c_str(), name.c_str(), nullptr, 0);
        std::string value(size > 0 ? static_cast<size_t>(size) : 0, '\0');
        const ssize_t got = ::lgetxattr(path.c_str(), name.c_str(), value.data(), value.size());
        if (got < 0) continue;  // gone meanwhile, or not readable by this process
        value.resize(static_cast<size_t>(got));
        attributes.emplace_back(name, std::move(value));
    }
    return attributes;
}

int FileOps::SetAttribute(int fd, const std::string& name, const std::string& value)
{
    return ::fsetxattr(fd, name.c_str(), value.data(), value.size(), 0);
}

namespace {

FileOps g_real_ops;
FileOps* g_ops = &g_real_ops;

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

}  // namespace ardmon::profile
