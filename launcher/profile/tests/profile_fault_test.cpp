// Refused writes: the function gives 0 and the file keeps every byte, and no
// temporary file is left behind. The conditions hold for a privileged
// process too: a file without write bits is refused by the layer itself, and
// a full disk or a folder that turned read-only is made through the file
// operation seam.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <sys/xattr.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "file_ops.h"
#include "profile_calls.h"
#include "test_files.h"
#include "write_batch.h"

using namespace ardmon::test;

namespace {

const std::string kOriginal = "[s]\r\nk=v\r\n; note\r\n";

class ProfileFault : public ::testing::Test {
protected:
    void SetUp() override { WriteFile(path_, kOriginal); }
    void ExpectUntouched()
    {
        EXPECT_EQ(ReadFile(path_), kOriginal);
        ExpectFolder({"client.ini"});
    }
    void ExpectFolder(const std::vector<std::string>& names) { EXPECT_EQ(ListFolder(dir_.path()), names); }
    TempDir dir_;
    std::string path_ = dir_ / "client.ini";
};

// Fails one operation with an error number.
struct FailingOps : ardmon::profile::FileOps {
    enum What { kWrite, kCreate, kRename, kFsync, kReserve } what;
    int error;
    FailingOps(What w, int e) : what(w), error(e) {}
    ssize_t Write(int fd, const char* data, size_t size) override
    {
        if (what != kWrite) return FileOps::Write(fd, data, size);
        // Part of the data fits, then the disk is full.
        if (size > 4) return FileOps::Write(fd, data, 4);
        errno = error;
        return -1;
    }
    int CreateNew(const std::string& path, mode_t mode) override
    {
        if (what != kCreate) return FileOps::CreateNew(path, mode);
        errno = error;
        return -1;
    }
    int Rename(const std::string& from, const std::string& to) override
    {
        if (what != kRename) return FileOps::Rename(from, to);
        errno = error;
        return -1;
    }
    int Fsync(int fd) override
    {
        if (what != kFsync) return FileOps::Fsync(fd);
        errno = error;
        return -1;
    }
    int Reserve(int fd, off_t length) override
    {
        if (what != kReserve) return FileOps::Reserve(fd, length);
        errno = error;
        return -1;
    }
};

TEST_F(ProfileFault, SeamFailuresLeaveTheFileAsItWas)
{
    struct Case {
        const char* name;
        FailingOps::What what;
        int error;
    } cases[] = {
        {"full disk", FailingOps::kWrite, ENOSPC},
        {"no room for a new file", FailingOps::kCreate, ENOSPC},
        {"rename refused", FailingOps::kRename, EACCES},
        {"flush failed", FailingOps::kFsync, EIO},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FailingOps ops(c.what, c.error);
        ardmon::profile::ScopedFileOps use(ops);
        EXPECT_FALSE(Put(path_, "s", "k", "changed"));
        EXPECT_FALSE(Put(path_, "new", "k", "v"));
        ExpectUntouched();
        EXPECT_EQ(Get(path_, "s", "k"), "v");
    }
}

ino_t InodeOf(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// A folder in which no new file can be made; the disk may be full too.
struct ReadOnlyFolder : ardmon::profile::FileOps {
    int CreateNew(const std::string&, mode_t) override
    {
        errno = EACCES;
        return -1;
    }
    int OpenLockFile(const std::string& path) override
    {
        if (path.ends_with(".lock")) return CreateNew(path, 0);
        return FileOps::OpenLockFile(path);
    }
    int Reserve(int fd, off_t length) override
    {
        if (!disk_full) return FileOps::Reserve(fd, length);
        errno = ENOSPC;
        return -1;
    }
    bool disk_full = false;
};

TEST_F(ProfileFault, FolderThatTakesNoNewFileGetsTheFileRewrittenInPlace)
{
    const ino_t inode = InodeOf(path_);
    ReadOnlyFolder ops;
    ardmon::profile::ScopedFileOps use(ops);
    ops.disk_full = true;
    EXPECT_FALSE(Put(path_, "s", "k", "a longer value than before"));
    ExpectUntouched();
    ops.disk_full = false;
    EXPECT_TRUE(Put(path_, "s", "k", "a longer value than before"));
    EXPECT_TRUE(Put(path_, "s", "k", "short"));
    EXPECT_EQ(ReadFile(path_), "[s]\r\nk=short\r\n; note\r\n");
    EXPECT_EQ(InodeOf(path_), inode);
    ExpectFolder({"client.ini"});
}

TEST_F(ProfileFault, FailedBatchCommitKeepsTheFileAndTheWrites)
{
    ardmon::profile::WriteBatch batch(path_);
    EXPECT_TRUE(Put(path_, "s", "k", "changed"));
    {
        FailingOps ops(FailingOps::kWrite, ENOSPC);
        ardmon::profile::ScopedFileOps use(ops);
        EXPECT_FALSE(batch.Commit());
    }
    ExpectUntouched();
    EXPECT_TRUE(batch.Commit());  // room again
    EXPECT_EQ(ReadFile(path_), "[s]\r\nk=changed\r\n; note\r\n");
}

TEST_F(ProfileFault, ReadOnlyFileIsRefusedEvenForAPrivilegedProcess)
{
    ASSERT_EQ(::chmod(path_.c_str(), 0444), 0);
    EXPECT_FALSE(Put(path_, "s", "k", "changed"));
    ExpectUntouched();
    EXPECT_EQ(ModeOf(path_), 0444u);
}

TEST_F(ProfileFault, MissingFolderAndPathsThatAreNoFile)
{
    EXPECT_FALSE(Put(dir_ / "missing/client.ini", "s", "k", "v"));
    EXPECT_FALSE(Put(path_ + "/under-a-file.ini", "s", "k", "v"));
    ASSERT_EQ(::mkdir((dir_ / "folder.ini").c_str(), 0755), 0);
    EXPECT_FALSE(Put(dir_ / "folder.ini", "s", "k", "v"));
    EXPECT_EQ(Get(dir_ / "folder.ini", "s", "k"), "<none>");
    EXPECT_EQ(ReadFile(path_), kOriginal);
    EXPECT_FALSE(Put("/dev/full", "s", "k", "v"));  // a device is not replaced
}

TEST_F(ProfileFault, ReplacementKeepsThePermissions)
{
    ASSERT_EQ(::chmod(path_.c_str(), 0640), 0);
    EXPECT_TRUE(Put(path_, "s", "k", "changed"));
    EXPECT_EQ(ModeOf(path_), 0640u);
    EXPECT_EQ(ReadFile(path_), "[s]\r\nk=changed\r\n; note\r\n");
}

bool IsLink(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

TEST_F(ProfileFault, SymbolicLinkIsFollowedNotReplaced)
{
    std::string link = dir_ / "link.ini";
    ASSERT_EQ(::symlink(path_.c_str(), link.c_str()), 0);
    EXPECT_TRUE(Put(link, "s", "k", "via link"));
    EXPECT_TRUE(IsLink(link));
    EXPECT_EQ(ReadFile(path_), "[s]\r\nk=via link\r\n; note\r\n");

    // A relative link to a file not made yet: the file is made, the link stays.
    ASSERT_EQ(::mkdir((dir_ / "sub").c_str(), 0755), 0);
    std::string dangling = dir_ / "dangling.ini";
    ASSERT_EQ(::symlink("sub/new.ini", dangling.c_str()), 0);
    EXPECT_TRUE(Put(dangling, "s", "k", "v"));
    EXPECT_TRUE(IsLink(dangling));
    EXPECT_EQ(ReadFile(dir_ / "sub/new.ini"), "[s]\r\nk=v\r\n");
}

// Logs the operations of a replacement, with the mode the temporary file has
// at each of them.
struct RecordingOps : ardmon::profile::FileOps {
    std::string Mode(int fd)
    {
        struct stat st;
        if (::fstat(fd, &st) != 0) return "?";
        if (S_ISDIR(st.st_mode)) return "folder";
        char text[8];
        std::snprintf(text, sizeof text, "%04o", st.st_mode & 07777);
        return text;
    }
    int CreateNew(const std::string& path, mode_t mode) override
    {
        const int fd = FileOps::CreateNew(path, mode);
        temp = path;
        log.push_back("create " + Mode(fd));
        return fd;
    }
    int Fchown(int fd, uid_t owner, gid_t group) override
    {
        log.push_back("chown " + Mode(fd));
        if (refused == kEverything || (refused == kOwner && owner != static_cast<uid_t>(-1))) {
            errno = EPERM;
            return -1;
        }
        return FileOps::Fchown(fd, owner, group);
    }
    int Fchmod(int fd, mode_t mode) override
    {
        const int result = FileOps::Fchmod(fd, mode);
        log.push_back("chmod " + Mode(fd));
        return result;
    }
    ssize_t Write(int fd, const char* data, size_t size) override
    {
        log.push_back("write " + Mode(fd));
        return FileOps::Write(fd, data, size);
    }
    int Fsync(int fd) override
    {
        log.push_back("sync " + Mode(fd));
        return FileOps::Fsync(fd);
    }
    int Close(int fd) override
    {
        log.push_back("close");
        return FileOps::Close(fd);
    }
    int Rename(const std::string& from, const std::string& to) override
    {
        log.push_back("rename");
        return FileOps::Rename(from, to);
    }
    std::vector<std::string> log;
    std::string temp;
    enum Refusal { kNothing, kOwner, kEverything } refused = kNothing;
};

TEST_F(ProfileFault, APrivateFileIsNeverReadableByOthersWhileItIsReplaced)
{
    ASSERT_EQ(::chmod(path_.c_str(), 0600), 0);
    RecordingOps ops;
    {
        ardmon::profile::ScopedFileOps use(ops);
        EXPECT_TRUE(Put(path_, "s", "k", "changed"));
    }
    EXPECT_EQ(ops.log, (std::vector<std::string>{"create 0600", "chown 0600", "chmod 0600", "write 0600",
                                                 "sync 0600", "close", "rename", "sync folder", "close",
                                                 "close"}));  // the folder, then the update lock
    EXPECT_EQ(ops.temp.rfind(dir_ / ".client.ini.", 0), 0u) << ops.temp;
    EXPECT_EQ(ModeOf(path_), 0600u);
    EXPECT_EQ(ReadFile(path_), "[s]\r\nk=changed\r\n; note\r\n");
}

// Temporary files of a replacement whose process ended mid-way (one holding
// passwords, say) go with the next write; files that are not provably such
// leftovers stay.
TEST_F(ProfileFault, LeftoversOfAGoneWriterAreRemovedAndNothingElse)
{
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
    const std::string dead = std::to_string(gone);
    const std::string alive = std::to_string(::getppid());
    const std::vector<std::string> kept = {
        "." + alive + "-0.tmp",             // no file's name before it
        ".client.ini." + alive + "-0.tmp",  // its writer is still at work
        ".client.ini." + dead + "-0.tmp.old",
        ".client.ini." + dead + "-x.tmp",
        ".other.ini." + dead + "-0.tmp",
        "client.ini." + dead + "-0.tmp",
    };
    for (const std::string& name : kept)
        WriteFile(dir_ / name, "keep");
    WriteFile(dir_ / (".client.ini." + dead + "-0.tmp"), "password=half written");
    WriteFile(dir_ / (".client.ini." + dead + "-17.tmp"), "");
    ASSERT_EQ(::symlink("client.ini", (dir_ / (".client.ini." + dead + "-1.tmp")).c_str()), 0);
    EXPECT_TRUE(Put(path_, "s", "k", "changed"));
    std::vector<std::string> expected = kept;
    expected.push_back(".client.ini." + dead + "-1.tmp");  // a link is never a file of ours
    expected.push_back("client.ini");
    std::sort(expected.begin(), expected.end());
    ExpectFolder(expected);
}

// alice:finance replaced by bob: bob may not give the file to alice; as a
// member of finance he may give it to that group, else it stays his alone.
TEST_F(ProfileFault, OwnerElseGroupElseNoAccessForGroupOrOthers)
{
    if (::geteuid() != 0) GTEST_SKIP() << "only a privileged process may make a file of another user";
    struct Case {
        const char* name;
        RecordingOps::Refusal refused;
        uid_t uid;
        gid_t gid;
        mode_t mode;
    } cases[] = {
        {"owner kept", RecordingOps::kNothing, 12345, 23456, 06664},
        {"group kept", RecordingOps::kOwner, 0, 23456, 02664},
        {"neither kept", RecordingOps::kEverything, 0, 0, 0600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(::chown(path_.c_str(), 12345, 23456), 0);
        ASSERT_EQ(::chmod(path_.c_str(), 06664), 0);
        RecordingOps ops;
        ops.refused = c.refused;
        ardmon::profile::ScopedFileOps use(ops);
        EXPECT_TRUE(Put(path_, "s", "k", c.name));
        struct stat st;
        ASSERT_EQ(::stat(path_.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, c.uid);
        EXPECT_EQ(st.st_gid, c.gid);
        EXPECT_EQ(st.st_mode & 07777, c.mode);
    }
}

// An access control list entry and a user attribute, set as a file manager
// or setfacl would, stay on the file.
TEST_F(ProfileFault, ExtendedAttributesAndAccessListAreKept)
{
    // user::rw- user:12345:r-- group::r-- mask::r-- other::---
    const unsigned char list[] = {2,    0,    0,    0,    1,    0,    6,    0,    0xff, 0xff, 0xff,
                                  0xff, 2,    0,    4,    0,    0x39, 0x30, 0,    0,    4,    0,
                                  4,    0,    0xff, 0xff, 0xff, 0xff, 0x10, 0,    4,    0,    0xff,
                                  0xff, 0xff, 0xff, 0x20, 0,    0,    0,    0xff, 0xff, 0xff, 0xff};
    const std::string acl(reinterpret_cast<const char*>(list), sizeof list);
    if (::setxattr(path_.c_str(), "user.origin", "desk 4", 6, 0) != 0 ||
        ::setxattr(path_.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0) {
        GTEST_SKIP() << "the file system keeps no attributes or access lists";
    }
    EXPECT_TRUE(Put(path_, "s", "k", "changed"));
    char value[64];
    const ssize_t n = ::getxattr(path_.c_str(), "user.origin", value, sizeof value);
    EXPECT_EQ(std::string(value, n > 0 ? static_cast<size_t>(n) : 0), "desk 4");
    std::string kept(acl.size() + 16, '\0');
    kept.resize(static_cast<size_t>(std::max<ssize_t>(
        0, ::getxattr(path_.c_str(), "system.posix_acl_access", kept.data(), kept.size()))));
    EXPECT_EQ(kept, acl);
    EXPECT_EQ(ModeOf(path_), 0640u);
}

}  // namespace
