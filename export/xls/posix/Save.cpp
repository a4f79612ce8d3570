// SaveBiff8: plan (limits and layout), then stream the records into a compound
// file of our own (PlainCompoundFile) through Ledgra's file replacement, which
// puts it over the target only when everything was written and synced.
#include "filesafe.h"
#include "xls/Biff8.h"
#include "xls/Model.h"
#include "xls/PlainCompoundFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ledgra::xls {
namespace {

std::string CouldNotWrite(const std::string& path, int err) {
    return "Could not write \"" + path + "\": " + std::strerror(err) + ".";
}

// What identifies a file's content: device, file number, size and the times
// of its last change.
std::vector<std::uint64_t> Identity(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev),          static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::uint64_t>(st.st_size),         static_cast<std::uint64_t>(st.st_mtim.tv_sec),
            static_cast<std::uint64_t>(st.st_mtim.tv_nsec), static_cast<std::uint64_t>(st.st_ctim.tv_sec),
            static_cast<std::uint64_t>(st.st_ctim.tv_nsec)};
}

// The stream of the file the previous save wrote at path, opened only when
// path still names that very file (looked at before it is opened, and opened
// so that it cannot block should a FIFO take its place in between).
class EarlierFile final : public detail::EarlierStream {
public:
    EarlierFile(const std::string& path, const SaveMemo::Sheets& memo) {
        if (memo.saves == 0 || memo.savedPath != path || !Same(::stat(path.c_str(), &st_), memo)) return;
        fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ >= 0 && !Same(::fstat(fd_, &st_), memo)) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~EarlierFile() override {
        if (fd_ >= 0) ::close(fd_);
    }
    EarlierFile(const EarlierFile&) = delete;
    EarlierFile& operator=(const EarlierFile&) = delete;

    bool Usable() const { return fd_ >= 0; }
    bool Failed() const { return failed_; }
    bool Read(std::uint64_t offset, void* into, std::size_t size) override {
        auto* p = static_cast<char*>(into);
        off_t at = static_cast<off_t>(detail::kCompoundStreamStart + offset);
        while (size && !failed_) {
            const ssize_t n = ::pread(fd_, p, size, at);
            if (n < 0 && errno == EINTR) continue;
            failed_ = n <= 0;
            if (failed_) break;
            p += n;
            at += n;
            size -= static_cast<std::size_t>(n);
        }
        return !failed_;
    }

private:
    bool Same(int statResult, const SaveMemo::Sheets& memo) const {
        return statResult == 0 && S_ISREG(st_.st_mode) && Identity(st_) == memo.savedFile;
    }

    struct stat st_ {};
    int fd_ = -1;
    bool failed_ = false;
};

// Notes which file the save just made is, for the next save to read back.
void RememberFile(const std::string& path, SaveMemo::Sheets& memo) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        memo.savedPath = path;
        memo.savedFile = Identity(st);
    } else {
        memo.savedPath.clear();
    }
}

// The compound file's stream, each piece handed to the file at once and the
// disk asked to start on it, so that it is written while the next pieces are
// made and the flush before the file is put in place has little left to wait
// for.
class FlushingSink final : public detail::StreamSink {
public:
    FlushingSink(detail::PlainCompoundFile& compound, std::FILE* file, filesafe::Replacement& replacement)
        : compound_(compound), file_(file), replacement_(replacement) {}
    bool Write(const void* data, std::size_t size) override {
        if (!compound_.Write(data, size) || std::fflush(file_) != 0) return false;
        replacement_.StartFlush();
        return true;
    }

private:
    detail::PlainCompoundFile& compound_;
    std::FILE* file_;
    filesafe::Replacement& replacement_;
};

// Writes the compound file through a stdio stream of its own on the
// replacement's file; 0, or the errno of the step that failed.
int WriteCompoundFile(const detail::Biff8Writer& writer, filesafe::Replacement& replacement,
                      detail::EarlierStream* earlier) {
    const int fd = ::dup(replacement.Descriptor());
    std::FILE* file = fd < 0 ? nullptr : ::fdopen(fd, "wb");
    if (!file) {
        const int err = errno;
        if (fd >= 0) ::close(fd);
        return err;
    }
    detail::PlainCompoundFile compound(file);
    FlushingSink sink(compound, file, replacement);
    int err = 0;
    if (!writer.Write(sink, earlier) || !compound.Finish() || std::fflush(file) != 0)
        err = errno ? errno : EIO;
    if (std::fclose(file) != 0 && err == 0) err = errno;
    replacement.SetLength(static_cast<off_t>(compound.FileSize()));
    return err;
}

// Writes the planned stream into a new file that replaces path; the sheets
// of the previous save are read back from its file when earlier is usable.
SaveResult WriteAndCommit(const detail::Biff8Writer& writer, const std::string& path, EarlierFile* earlier) {
    std::string error;
    std::unique_ptr<filesafe::Replacement> replacement = filesafe::Replacement::Begin(path, error);
    if (!replacement ||
        !replacement->Reserve(static_cast<off_t>(detail::CompoundFileRoom(writer.StreamSize())), error))
        return {SaveStatus::WriteFailed, error};
    if (replacement->InPlace()) earlier = nullptr;  // the earlier file is the one being written
    errno = 0;
    if (const int err = WriteCompoundFile(writer, *replacement, earlier); err != 0) {
        if (earlier && earlier->Failed()) {  // the earlier file, not the new one: serialize everything
            replacement.reset();
            return WriteAndCommit(writer, path, nullptr);
        }
        return {SaveStatus::WriteFailed, CouldNotWrite(path, err)};  // the temporary file goes
    }
    if (!replacement->Commit(error)) return {SaveStatus::WriteFailed, error};
    return {};
}

// The file a save replaces is freed when its last holder lets go of it,
// which on a file system that discards freed blocks waits for the disk for
// milliseconds. So the save holds it (a path descriptor, which opens nothing
// and cannot block) until the new file is in its place, and lets it go on a
// thread of its own. One such thread at a time: the next save, and the
// library's unloading or the process's end, wait for it, so that no thread
// runs the library's code once the library is gone.
class Releaser {
public:
    static Releaser& Instance() {
        static Releaser releaser;
        return releaser;
    }
    void Close(int fd) {
        const std::lock_guard<std::mutex> lock(mutex_);
        Finish();
        try {
            last_ = std::thread([fd] { ::close(fd); });
            owner_ = ::getpid();
        } catch (...) {  // no thread to be had: let go here
            ::close(fd);
        }
    }
    ~Releaser() {
        const std::lock_guard<std::mutex> lock(mutex_);
        Finish();
    }

private:
    Releaser() = default;
    // Waits for the last thread; a child forked while it ran has no such
    // thread to wait for and only forgets it.
    void Finish() {
        if (!last_.joinable()) return;
        if (owner_ == ::getpid())
            last_.join();
        else
            last_.detach();
    }

    std::mutex mutex_;
    std::thread last_;
    pid_t owner_ = 0;
};

class ReplacedFile {
public:
    explicit ReplacedFile(const std::string& path) : fd_(::open(path.c_str(), O_PATH | O_CLOEXEC)) {}
    ~ReplacedFile() {
        if (fd_ >= 0) Releaser::Instance().Close(fd_);
    }
    ReplacedFile(const ReplacedFile&) = delete;
    ReplacedFile& operator=(const ReplacedFile&) = delete;

private:
    int fd_;
};

}  // namespace

SaveResult SaveBiff8(const Workbook& workbook, const std::string& path, SaveMemo* memo) {
    detail::Biff8Writer writer(workbook, memo);
    if (SaveResult planned = writer.Plan(); !planned) return planned;
    const ReplacedFile replaced(path);  // let go after the earlier file below
    if (memo == nullptr) return WriteAndCommit(writer, path, nullptr);

    EarlierFile earlier(path, memo->Entries());
    SaveResult saved = WriteAndCommit(writer, path, earlier.Usable() ? &earlier : nullptr);
    if (saved) {
        writer.Remember();
        RememberFile(path, memo->Entries());
    }
    return saved;
}

}  // namespace ledgra::xls
