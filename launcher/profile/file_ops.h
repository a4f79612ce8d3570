// The launcher's calls to the file system on this host, all of them, behind
// one small seam so that tests
// can make any one of them fail (a full disk, a folder that turned read-only,
// an owner that may not be kept) whatever the privileges of the process.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ardmon::profile {

// Each call returns what the POSIX call it is named after returns and leaves
// errno set on failure.
class FileOps {
public:
    virtual ~FileOps() = default;
    virtual int Stat(const std::string& path, struct stat& st);
    virtual int Lstat(const std::string& path, struct stat& st);
    virtual int Fstat(int fd, struct stat& st);
    // Opens a folder for reading, to flush it (fsync) or list it.
    virtual int OpenFolder(const std::string& path);
    // The names in a folder, without "." and ".."; false when it cannot be read.
    virtual bool ListFolder(const std::string& path, std::vector<std::string>& names);
    // The working directory, whole; empty when it cannot be read.
    virtual std::string WorkDir();
    // fopen.
    virtual std::FILE* OpenStream(const std::string& path, const char* mode);
    // The target of a symbolic link; false when path is no link.
    virtual bool ReadLink(const std::string& path, std::string& target);
    virtual int Access(const std::string& path, int mode);
    // Reads a whole regular file; st describes the file that was read.
    virtual int ReadFile(const std::string& path, std::string& bytes, struct stat& st);
    // Creates a new file (O_EXCL) for writing with the given mode (less the
    // umask) and returns its descriptor.
    virtual int CreateNew(const std::string& path, mode_t mode);
    virtual ssize_t Write(int fd, const char* data, size_t size);
    virtual int Fchown(int fd, uid_t owner, gid_t group);
    virtual int Fchmod(int fd, mode_t mode);
    virtual int Fsync(int fd);
    virtual int Close(int fd);
    virtual int Rename(const std::string& from, const std::string& to);
    virtual int Unlink(const std::string& path);
    // Opens an existing file for writing in place, without truncating it.
    virtual int OpenForRewrite(const std::string& path);
    // posix_fallocate and ftruncate; both return 0 or set errno.
    virtual int Reserve(int fd, off_t length);
    virtual int Truncate(int fd, off_t length);
    // Opens (making it where needed) the file whose lock guards an update;
    // a lock needs no write permission, so it opens for reading.
    virtual int OpenLockFile(const std::string& path);
    // Waits for the exclusive lock of fd (flock), which ends with the close.
    virtual int LockExclusive(int fd);
    // The extended attributes of the file at path (no link is followed), as
    // name and value; an access control list is the attribute
    // "system.posix_acl_access". None when the file system keeps none.
    virtual std::vector<std::pair<std::string, std::string>> ReadAttributes(const std::string& path);
    virtual int SetAttribute(int fd, const std::string& name, const std::string& value);
};

// The operations in use: the real ones unless a ScopedFileOps is alive.
FileOps& CurrentFileOps();

class ScopedFileOps {
public:
    explicit ScopedFileOps(FileOps& ops);
    ~ScopedFileOps();
    ScopedFileOps(const ScopedFileOps&) = delete;
    ScopedFileOps& operator=(const ScopedFileOps&) = delete;

private:
    FileOps* previous_;
};

}  // namespace ardmon::profile
