// Replacing a file's content safely, the one way Ledgra does it on every
// system: a new file in the same folder as the target (the target found the
// way the system follows links, with its protections: a symbolic link stays a
// link and its file is replaced), written, flushed to the disk and moved over
// the target only when complete. It starts no wider than the target's mode,
// and ends with the target's owner (else its group, else no access for group
// and others), its extended attributes and access lists. On every failure it
// is removed and the target is untouched.
//
// When the folder refuses a new file but the target may be written, the
// target is rewritten in place, after room for the whole content has been
// reserved: a user who may change the file expects to be able to save it, and
// with the room taken first a full disk cannot cut it half way (a crash
// while writing still could: that is the price of such a folder).
//
// Temporary files carry this computer's tag and the writer's process id;
// those a writer that is gone left behind in the folder are removed by the
// next replacement there. No process-wide state (umask, locale, working
// directory) is touched.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/types.h>
#endif

#include <cstdio>

namespace ledgra::fileio {

// Replaces path's content with content in one step.
bool ReplaceFileContent(const std::string& path, std::string_view content, std::string& error);

// Creates name as a new, empty file: never through a link, never over a file
// already there. True when made; otherwise exists tells whether the name was
// taken, and error says why not.
bool CreateNewFile(const std::string& name, bool& exists, std::string& error);

// Removes a file this process made (a recovery file it could not fill).
void RemoveFile(const std::string& name);

// Makes the first free name of RecoveryName(path, suffix, n) a new, empty
// file, for a writer that then fills it through the replacement: the name,
// or "" with error set.
std::string ReserveRecoveryFile(const std::string& path, const std::string& suffix, std::string& error);

// Saves content in a new recovery file beside path: the name written, or ""
// with error set (nothing is then left behind).
std::string SaveRecoveryFile(const std::string& path, const std::string& suffix, std::string_view content,
                             std::string& error);

// A new, empty folder of the system's temporary folder that only this user
// may enter; removed, with the files named to it, when this goes.
class PrivateFolder {
public:
    PrivateFolder() = default;
    ~PrivateFolder();
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    bool Create();
    // A new, empty file of the folder named name: its path, or "" when it
    // cannot be made. It is removed with the folder.
    std::string NewFile(const std::string& name);

private:
    std::string path_;
    std::string file_;
};

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
    // When the folder takes no new file but the target may be written: the
    // target itself, opened for rewriting (Commit then cuts it to its length).
    unsigned long OpenInPlace(const std::string& target);
    // Takes room for bytes in a file rewritten in place before any is written.
    unsigned long Reserve(unsigned long long bytes);
    unsigned long Commit(const std::string& target);

private:
    std::string path_;
    std::FILE* file_ = nullptr;
    bool inPlace_ = false;
};

class FileReplacement {
public:
    static std::unique_ptr<FileReplacement> Begin(const std::string& path, std::string& error);
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;
    ~FileReplacement() = default;

    bool Reserve(unsigned long long bytes, std::string& error);
    bool Write(std::string_view bytes, std::string& error);
    // The file being written, for a writer with a stream of its own.
    std::FILE* Stream() const { return temp_.File(); }
    bool Commit(std::string& error);

private:
    FileReplacement() = default;
    std::string path_;
    TemporaryFile temp_;
};

// "Could not write "path": the system's text for status."
std::string CouldNotWrite(const std::string& path, unsigned long status);
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

    // Takes room for bytes before any is written, so a file rewritten in
    // place is not cut half way by a full disk (nothing to do otherwise).
    bool Reserve(off_t bytes, std::string& error);
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
    bool Locate(std::string& error);
    bool Create(std::string& error);
    void Abandon();

    std::string path_;     // as given, for messages
    std::string target_;   // where the system's link resolution leads
    std::string working_;  // the temporary file, or target_ in place
    struct stat existing_ {};
    bool exists_ = false;
    bool createdTarget_ = false;  // a link to nothing was followed to make its file
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
