// How the launcher replaces a file it writes, and how two launchers that write
// one file at the same moment take turns. Every call goes through the file
// seam (file_ops.h); nothing of the process (umask, working directory) is
// changed.
#pragma once

#include <string>
#include <string_view>

namespace ardmon::profile {

class FileOps;

// Replaces the content of the file at path with bytes. A symbolic link is
// followed (to a target that may not exist yet) and stays a link.
//
// The bytes go to a new file beside the target, named
// ".<name>.<process id>-<n>.tmp", which is flushed to disk and renamed over
// the target; the folder is flushed too. So the file is at every moment
// either wholly old or wholly new, and on any failure it is untouched and the
// new file removed. The new file is made readable by its owner alone; it then
// takes the target's owner and group where the process may give them, else
// the group alone (a member may give a file to its group), else it keeps no
// permission for group or others; then the target's extended attributes (its
// access control list among them) and last its permissions. A new target
// gets the permissions any new file gets.
//
// A folder that takes no new file while the target may be written (a shared
// installation whose folder belongs to someone else) gets the content
// rewritten in place, as Windows' own profile functions would do there:
// refusing would make the file unusable to that user. Room for the whole
// content is reserved first, so a full disk refuses the write before a byte
// changes; only an I/O error after that can leave the file partly written.
//
// A file without any write permission bit counts as read-only even for a
// privileged process, as a read-only file does on Windows. A path that is
// not a regular file is refused. errno tells why a replacement failed.
bool ReplaceFileContent(const std::string& path, std::string_view bytes);

// The update lock of the file at path, held from construction to
// destruction: whoever reads a file, changes it and puts the result in place
// holds it throughout, so that a second writer starts from the first one's
// result. It is an advisory lock on ".<name>.lock" beside the file, made for
// the update and removed at its end (a writer that finds the file it locked
// gone locks the new one); where the folder takes no new file, on the file
// itself, which is then rewritten in place and so stays the same file. When
// neither can be locked the update goes on unguarded, as it did before locks.
//
// Once the lock is held, the temporary files of earlier replacements of the
// same file whose process is gone (a crash, a power cut) are removed: their
// names hold the process id, and while the lock is held no live writer can be
// at work on them. Nothing else is ever removed.
class UpdateLock {
public:
    explicit UpdateLock(const std::string& path);
    ~UpdateLock();
    UpdateLock(const UpdateLock&) = delete;
    UpdateLock& operator=(const UpdateLock&) = delete;

    bool held() const { return fd_ >= 0; }

private:
    bool LockFile(FileOps& ops, const std::string& path);

    int fd_ = -1;
    std::string lock_file_;  // empty when the file itself is locked
};

}  // namespace ardmon::profile
