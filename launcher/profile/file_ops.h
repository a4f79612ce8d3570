// The file operations of the profile layer, behind a small seam so that tests
// can make any one of them fail (a full disk, a folder that turned read-only)
// whatever the privileges of the process.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>
#include <string_view>

namespace ardmon::profile {

// Each call returns what the POSIX call it is named after returns and leaves
// errno set on failure.
class FileOps {
public:
    virtual ~FileOps() = default;
    virtual int Stat(const std::string& path, struct stat& st);
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

// Replaces the file at path with bytes, or leaves it exactly as it was. A
// symbolic link is followed (to a target that may not exist yet) and stays a
// link. The bytes go to a new file beside the target, made with the target's
// permissions from the start so that it is never readable by more users than
// the target is, and given the target's owner where the process may do so;
// the new file is flushed to disk, renamed over the target, and the folder is
// flushed too. On any failure the new file is removed. A new target gets the
// permissions any new file gets. A file without any write permission bit
// counts as read-only even for a privileged process, as a read-only file does
// on Windows. A path that is not a regular file is refused. A folder in which
// no new file can be made refuses the write even when the file itself is
// writable (Windows would rewrite such a file in place); a file that is never
// half-written is worth that. Nothing of the process (umask, working
// directory) is changed.
bool ReplaceFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace ardmon::profile
