// The launcher's reads of the file system on this host, behind one small seam
// so that tests can make any one of them fail. Writing goes through the
// safe-file engine (filesafe.h) and its own seam.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdio>
#include <string>
#include <string_view>
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
    // The names in a folder, without "." and ".."; false when it cannot be read.
    virtual bool ListFolder(const std::string& path, std::vector<std::string>& names);
    // The working directory, whole; empty when it cannot be read.
    virtual std::string WorkDir();
    // fopen.
    virtual std::FILE* OpenStream(const std::string& path, const char* mode);
    // Reads a whole regular file; st describes the file that was read.
    virtual int ReadFile(const std::string& path, std::string& bytes, struct stat& st);
    // Whether a regular file holds exactly text, read a piece at a time
    // without taking a copy of it; st describes the file that was read.
    virtual int CompareFile(const std::string& path, std::string_view text, bool& same, struct stat& st);
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
