// Refused writes: the function gives 0 and the file keeps every byte, and no
// temporary file is left behind. The conditions hold for a privileged
// process too: a file without write bits is refused by the layer itself, and
// a full disk or a folder that turned read-only is made through the file
// operation seam.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "file_ops.h"
#include "profile_calls.h"
#include "test_files.h"
#include "write_batch.h"

using namespace ardmon::testing;

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

TEST_F(ProfileFault, SymbolicLinkIsFollowedNotReplaced)
{
    std::string link = dir_ / "link.ini";
    ASSERT_EQ(::symlink(path_.c_str(), link.c_str()), 0);
    EXPECT_TRUE(Put(link, "s", "k", "via link"));
    struct stat st;
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadFile(path_), "[s]\r\nk=via link\r\n; note\r\n");
}

}  // namespace
