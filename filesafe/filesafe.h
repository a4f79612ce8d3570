// The one way both tools write a user's file, so that nothing a user owns is
// lost, left half written or shown to more people than before. Its policy:
//
// A replacement writes a new file in the target's folder (the target found
// the way the system follows links: a link stays a link and its file is
// replaced), writes it whole, flushes it to the disk, gives it the target's
// identity (owner, else its group, else no access for group and others; its
// mode; its user attributes and access list; on Windows its security
// descriptor) and only then moves it over the target. The new file starts no
// wider than the target's owner bits, so it is never readable by more users
// than the result. On every failure it is removed and the target is as it was.
// On Windows the system's replacement is given a backup name, and when it
// fails half way the new file is moved in place or the old one back; the only
// copy of a content is never deleted.
//
// Only where the folder refuses a new file while the target may be written
// (a shared folder of someone else), or where another program holds the
// target open and will not let it be replaced (Windows), is the target
// rewritten in place, and only after room for the whole content has been
// reserved. Where the system cannot reserve room (a file system without
// fallocate), the old content stays and the failure is reported. What in
// place cannot promise: a process killed or a machine stopped in the middle
// leaves the file part new, part old (with a tail of zero bytes where it
// grew); only the replacement through a new file is all-or-nothing.
//
// Anything that is not a regular file (a FIFO, a device, a socket, a folder)
// is refused at once and never opened in a way that could block.
//
// A temporary file is named ".~halvo-<random>.tmp" and its writer holds a
// lock on it (an advisory lock on Linux, its open handle on Windows) for as
// long as it lives; the next replacement in the folder removes those of this
// user that nobody holds. A process id or a host name proves nothing across
// containers or shared folders; the lock does.
//
// An update of a file (read, change, put in place) holds the file's update
// lock: one lock object per file, the file itself (one byte far past its end,
// so no reader is kept out), which everyone who may update it may open. Its
// wait is bounded, and a waiter that got the lock checks that the file is
// still the one at the path.
//
// No process-wide state (umask, locale, working directory) is touched.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace filesafe {

// Every kind of system call the engine makes, for the seam below.
enum class Call {
    kCreate,         // a new file (temporary, recovery)
    kOpen,           // an existing file, to rewrite it in place
    kLock,           // the update lock, or a temporary file's lock
    kReserve,        // room for the content
    kWrite,          // a piece of the content
    kSetOwner,       // owner and group
    kSetGroup,       // the group alone
    kSetAttributes,  // user attributes, access list, security descriptor
    kSetMode,        // the permission bits
    kStartFlush,     // the disk asked to start on what was written so far
    kFlush,          // the file to the disk
    kTruncate,       // the length of a file rewritten in place
    kClose,          // the file
    kReplace,        // the new file over the target
    kFlushFolder,    // the folder to the disk
    kRemove,         // a temporary or abandoned file
};
const char* CallName(Call call);

// The seam: a hook sees each call before it is made and returns 0 to let it
// go on, or an error code that call can give (errno; on Windows a system
// error code) with which it then fails. path names the file the call
// works on (for kReplace, the target).
using CallHook = std::function<int(Call call, const std::string& path)>;

// Installs a hook for the lifetime of this object (one at a time).
class ScopedCallHook {
public:
    explicit ScopedCallHook(CallHook hook);
    ~ScopedCallHook();
    ScopedCallHook(const ScopedCallHook&) = delete;
    ScopedCallHook& operator=(const ScopedCallHook&) = delete;

private:
    CallHook previous_;
};

// How long an update lock is waited for, and what runs between tries (a
// window's message pump, so the window keeps painting).
struct LockWait {
    std::chrono::milliseconds bound{10000};
    std::function<void()> pump;
};
// The wait every update lock uses; a front end sets its pump, tests a short bound.
LockWait& DefaultLockWait();

// "Could not write "path": the system's text for code." (errno, or a Windows code).
std::string CouldNotWrite(const std::string& path, int code);

// True when path names an existing regular file that this user may open for
// reading; it is opened so that it cannot block, and closed at once.
bool CanReadRegularFile(const std::string& path);

// Reads at most limit bytes from the start of the regular file at path into
// bytes, opening it so that it cannot block; false (bytes empty) when it
// cannot be opened or is no regular file.
bool ReadRegularFile(const std::string& path, std::size_t limit, std::string& bytes);

// True when something is at path that is not a regular file (a FIFO, a
// device, a socket, a folder), found without opening it.
bool IsNonRegularFile(const std::string& path);

class Replacement {
public:
    // Starts replacing path: null with error set when it cannot be written.
    static std::unique_ptr<Replacement> Begin(const std::string& path, std::string& error);
    ~Replacement();  // not committed: the temporary file is removed
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    // Takes room for bytes before any is written. Only a file rewritten in
    // place needs it; there, a system that cannot reserve room refuses.
    bool Reserve(unsigned long long bytes, std::string& error);
    bool Write(std::string_view bytes, std::string& error);
    // Has the disk start on what was written so far and returns at once, so
    // that the flush of Commit waits for less; a writer of a large file calls
    // it after each large piece. Only a request: where the system has none,
    // or it fails, Commit's flush does it all.
    void StartFlush();
    // Flushes the file and puts it in the target's place; false with error
    // set when a step fails (the target is then as it was).
    bool Commit(std::string& error);

#ifdef _WIN32
    // The file being written, for a writer with a stream of its own.
    std::FILE* Stream() const { return stream_; }
#else
    // The file being written, for a writer that writes through it itself;
    // SetLength then tells how much it wrote.
    int Descriptor() const { return static_cast<int>(handle_); }
    void SetLength(unsigned long long length) { length_ = length; }
#endif
    bool InPlace() const { return inPlace_; }

private:
    Replacement() = default;
    bool Locate(std::string& error);
    bool Create(std::string& error);
    bool KeepIdentity(std::string& error);
    bool Fail(int code, std::string& error);
    void Abandon();

    std::string path_;     // as given, for messages
    std::string target_;   // where the system's link resolution leads
    std::string working_;  // the temporary file, or target_ in place
    bool exists_ = false;
    bool createdTarget_ = false;  // a link to nothing was followed to make its file
    bool inPlace_ = false;
    bool committed_ = false;
    std::intptr_t handle_ = -1;
    std::FILE* stream_ = nullptr;
    unsigned long long written_ = 0;
    unsigned long long length_ = 0;
    unsigned long mode_ = 0;  // the target's mode (POSIX)
    unsigned long owner_ = 0, group_ = 0;
};

// Replaces path's content with content in one step.
bool ReplaceFileContent(const std::string& path, std::string_view content, std::string& error);

// The update lock of the file at path, held from construction to
// destruction: whoever reads a file, changes it and puts the result in place
// holds it throughout, so that a second writer starts from the first one's
// result.
class UpdateLock {
public:
    enum class State {
        kHeld,      // this process holds it
        kNoFile,    // nothing at the path yet: nothing to guard
        kBusy,      // another holder kept it longer than the wait
        kRefused,   // the path names no regular file
        kUnusable,  // the file cannot be opened to lock it (error tells why)
    };
    explicit UpdateLock(const std::string& path, const LockWait& wait = DefaultLockWait());
    ~UpdateLock();
    UpdateLock(const UpdateLock&) = delete;
    UpdateLock& operator=(const UpdateLock&) = delete;

    State state() const { return state_; }
    int error() const { return error_; }

private:
    State state_ = State::kNoFile;
    int error_ = 0;
    std::intptr_t handle_ = -1;
};

// Removes the temporary files in folder that this user's writers, now gone,
// left behind: only those nobody holds. folder is "" for the working folder.
void SweepStaleTemporaries(const std::string& folder);

// Creates name as a new, empty file: never through a link, never over a file
// already there; no more readable than like (when like names a file). True
// when made; otherwise exists tells whether the name was taken.
bool CreateNewFile(const std::string& name, const std::string& like, bool& exists, std::string& error);

// Removes a file this process made (a recovery file it could not fill).
void RemoveFile(const std::string& name);

// Makes the first free name of RecoveryName(path, suffix, n) a new, empty
// file, no more readable than the file at path (or, with none there yet,
// than the user's default), for a writer that then fills it through a
// replacement: the name, or "" with error set.
std::string ReserveRecoveryFile(const std::string& path, const std::string& suffix, std::string& error);

// Saves content in a new recovery file beside path: the name written, or ""
// with error set (nothing is then left behind).
std::string SaveRecoveryFile(const std::string& path, const std::string& suffix, std::string_view content,
                             std::string& error);

// A new, empty folder of the system's temporary folder that only this user
// may enter; removed, with the file named to it, when this goes.
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

namespace detail {
// Asks the hook about call; 0 to go on.
int Check(Call call, const std::string& path);
}  // namespace detail

}  // namespace filesafe
