// Refused writes: the function gives 0 and the file keeps every byte, and no
// temporary file is left behind. The conditions hold for a privileged
// process too: a file without write bits is refused by the layer itself, and
// a full disk or a folder that turned read-only is made through the file
// operation seam.
#include <gtest/gtest.h>

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
        EXPECT_EQ(ListFolder(dir_.path()), std::vector<std::string>{"client.ini"});
    }
    TempDir dir_;
    std::string path_ = dir_ / "client.ini";
};

// Fails one operation with an error number.
struct FailingOps : ardmon::profile::FileOps {
    enum What { kWrite, kCreate, kRename, kFsync } what;
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
};

TEST_F(ProfileFault, SeamFailuresLeaveTheFileAsItWas)
{
    struct Case {
        const char* name;
        FailingOps::What what;
        int error;
    } cases[] = {
        {"full disk", FailingOps::kWrite, ENOSPC},
        {"folder read-only when the file is replaced", FailingOps::kCreate, EACCES},
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
        if (refuse_chown) {
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
    bool refuse_chown = false;
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
                                                 "sync 0600", "close", "rename", "sync folder"}));
    EXPECT_EQ(ops.temp.rfind(dir_ / ".client.ini.", 0), 0u) << ops.temp;
    EXPECT_EQ(ModeOf(path_), 0600u);
    EXPECT_EQ(ReadFile(path_), "[s]\r\nk=changed\r\n; note\r\n");
}

TEST_F(ProfileFault, OwnerIsKeptWhereTheProcessMayKeepIt)
{
    ASSERT_EQ(::chmod(path_.c_str(), 0640), 0);
    RecordingOps ops;
    ops.refuse_chown = true;
    {
        ardmon::profile::ScopedFileOps use(ops);
        EXPECT_TRUE(Put(path_, "s", "k", "not allowed to keep the owner"));
    }
    EXPECT_EQ(ModeOf(path_), 0640u);
    if (::geteuid() != 0) GTEST_SKIP() << "only a privileged process may give a file to another user";
    ASSERT_EQ(::chown(path_.c_str(), 12345, 23456), 0);
    ASSERT_EQ(::chmod(path_.c_str(), 02664), 0);
    EXPECT_TRUE(Put(path_, "s", "k", "changed"));
    struct stat st;
    ASSERT_EQ(::stat(path_.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 12345u);
    EXPECT_EQ(st.st_gid, 23456u);
    EXPECT_EQ(st.st_mode & 07777, 02664u);
}

}  // namespace
