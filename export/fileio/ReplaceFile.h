// Replacing a file's content safely, the one way Ledgra does it: a temporary
// file beside the target (a symbolic link is followed and stays a link),
// created with the target's final mode from the start, written, synced,
// renamed over the target, and the folder synced; the owner of a file already
// there is kept where allowed. The temporary file is removed on every failure,
// so the target is then untouched. When the folder lets no file be created
// but the target exists and may be written, it is rewritten in place instead
// (there a failure part way leaves it partly written: it cannot be helped).
// No process-wide state (umask, locale, working directory) is touched.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#ifndef _WIN32
#include <sys/types.h>
#endif

#include <cstdio>

namespace ledgra::fileio {

// Replaces path's content with content in one step.
bool ReplaceFileContent(const std::string& path, std::string_view content, std::string& error);

#ifdef _WIN32
// On Windows: a new file beside the target, removed unless Commit flushed it
// to the disk and moved it over the target. Statuses are Windows error codes.
class TemporaryFile {
public:
    TemporaryFile() = default;
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    unsigned long Create(const std::string& target);
    std::FILE* File() const { return file_; }
    unsigned long Commit(const std::string& target);

private:
    std::string path_;
    std::FILE* file_ = nullptr;
};
#else
class FileReplacement {
public:
    // Starts replacing path: null with error set when it cannot be written.
    static std::unique_ptr<FileReplacement> Begin(const std::string& path, std::string& error);
    ~FileReplacement();  // not committed: the temporary file is removed
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // The file being written (the temporary file, or the target in place).
    int Descriptor() const { return fd_; }
    const std::string& WorkingPath() const { return working_; }

    bool Write(std::string_view bytes, std::string& error);
    // For a caller that writes through Descriptor() itself: the length of
    // what it wrote (a file rewritten in place is cut there).
    void SetLength(off_t length) { length_ = length; }
    // Syncs the file, renames it over the target and syncs the folder; false
    // with error set when a step fails (the temporary file is then removed).
    bool Commit(std::string& error);

private:
    FileReplacement() = default;
    std::string Describe(int err) const;
    void Abandon();

    std::string path_;     // as given, for messages
    std::string target_;   // symbolic links resolved
    std::string working_;  // the temporary file, or target_ in place
    int fd_ = -1;
    bool inPlace_ = false;
    bool committed_ = false;
    off_t written_ = 0;
    off_t length_ = 0;
};

// The system calls the replacement makes, replaceable by tests (the members
// left null use the real ones).
struct SystemCalls {
    int (*open)(const char* path, int flags, mode_t mode) = nullptr;
    ssize_t (*write)(int fd, const void* data, size_t size) = nullptr;
    int (*fchmod)(int fd, mode_t mode) = nullptr;
    int (*fchown)(int fd, uid_t owner, gid_t group) = nullptr;
    int (*fsync)(int fd) = nullptr;
    int (*rename)(const char* from, const char* to) = nullptr;
};
// Installs calls for a test; a default-constructed SystemCalls restores the real ones.
void SetSystemCallsForTesting(const SystemCalls& calls);
#endif

}  // namespace ledgra::fileio
