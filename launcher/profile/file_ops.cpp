#include "file_ops.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

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

namespace {

// Closes fd keeping the errno of the failure that led here; -1.
int FailClosing(int fd)
{
    const int err = errno;
    ::close(fd);
    errno = err;
    return -1;
}

// Opens the regular file at path for reading, so that a FIFO cannot block:
// its descriptor with st filled, or -1 with errno set (EISDIR for anything
// but a regular file).
int OpenRegular(const std::string& path, struct stat& st)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    if (::fstat(fd, &st) != 0) return FailClosing(fd);
    if (!S_ISREG(st.st_mode)) {
        errno = EISDIR;
        return FailClosing(fd);
    }
    return fd;
}

}  // namespace

int FileOps::ReadFile(const std::string& path, std::string& bytes, struct stat& st)
{
    const int fd = OpenRegular(path, st);
    if (fd < 0) return -1;
    bytes.clear();
    bytes.resize(static_cast<size_t>(st.st_size));
    size_t got = 0;
    for (;;) {
        // A file that grew takes room as it comes; one of the size it had
        // is read without a second buffer.
        char more[4096];
        const bool full = got == bytes.size();
        ssize_t n = full ? ::read(fd, more, sizeof more) : ::read(fd, bytes.data() + got, bytes.size() - got);
        if (full && n > 0) {
            bytes.append(more, static_cast<size_t>(n));
            got += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return FailClosing(fd);
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    bytes.resize(got);
    ::close(fd);
    return 0;
}

int FileOps::CompareFile(const std::string& path, std::string_view text, bool& same, struct stat& st)
{
    same = false;
    const int fd = OpenRegular(path, st);
    if (fd < 0) return -1;
    std::vector<char> piece(64 * 1024);
    size_t at = 0;
    bool differs = static_cast<size_t>(st.st_size) != text.size();
    while (!differs) {
        ssize_t n = ::read(fd, piece.data(), piece.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return FailClosing(fd);
        if (n == 0) break;
        const auto got = static_cast<size_t>(n);
        differs = got > text.size() - at || std::memcmp(piece.data(), text.data() + at, got) != 0;
        at += got;
    }
    ::close(fd);
    same = !differs && at == text.size();
    return 0;
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
