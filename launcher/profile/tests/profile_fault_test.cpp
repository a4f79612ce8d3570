// Refused writes: the function gives 0 and the file keeps every byte, and no
// temporary file is left behind. The conditions hold for a privileged
// process too: a file without write bits is refused by the layer itself, and
// a full disk or a folder that turned read-only is made through the safe-file
// engine's seam.
#include <gtest/gtest.h>

#include <sys/xattr.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "filesafe.h"
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

// Fails every call of one kind with an error number.
filesafe::CallHook Failing(filesafe::Call what, int error)
{
    return [what, error](filesafe::Call call, const std::string&) { return call == what ? error : 0; };
}

TEST_F(ProfileFault, SeamFailuresLeaveTheFileAsItWas)
{
    struct Case {
        filesafe::Call what;
        int error;
    } cases[] = {
        {filesafe::Call::kWrite, ENOSPC},    // a full disk
        {filesafe::Call::kCreate, ENOSPC},   // no room for a new file
        {filesafe::Call::kReplace, EACCES},  // the rename refused
        {filesafe::Call::kFlush, EIO},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(filesafe::CallName(c.what));
        filesafe::ScopedCallHook hook(Failing(c.what, c.error));
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

// A folder in which no new file can be made: the file is rewritten in place,
// only when room for the whole content can be reserved (a full disk, or a file
// system that cannot reserve room, keeps the old content).
TEST_F(ProfileFault, FolderThatTakesNoNewFileGetsTheFileRewrittenInPlace)
{
    const ino_t inode = InodeOf(path_);
    int reserve_error = ENOSPC;
    filesafe::ScopedCallHook hook([&](filesafe::Call call, const std::string&) {
        if (call == filesafe::Call::kCreate) return EACCES;
        return call == filesafe::Call::kReserve ? reserve_error : 0;
    });
    for (const int error : {ENOSPC, EOPNOTSUPP}) {
        reserve_error = error;
        EXPECT_FALSE(Put(path_, "s", "k", "a longer value than before"));
        ExpectUntouched();
    }
    reserve_error = 0;
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
        filesafe::ScopedCallHook hook(Failing(filesafe::Call::kWrite, ENOSPC));
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

std::string ModeText(const std::string& path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return "";
    char text[8];
    std::snprintf(text, sizeof text, " %04o", st.st_mode & 07777);
    return text;
}

// The calls of a replacement, with the mode of the file each works on.
struct Recording {
    filesafe::CallHook Hook()
    {
        return [this](filesafe::Call call, const std::string& path) {
            log.push_back(filesafe::CallName(call) + ModeText(path));
            if (call == filesafe::Call::kSetOwner && refused != kNothing) return EPERM;
            return call == filesafe::Call::kSetGroup && refused == kEverything ? EPERM : 0;
        };
    }
    std::vector<std::string> log;
    enum Refusal { kNothing, kOwner, kEverything } refused = kNothing;
};

TEST_F(ProfileFault, APrivateFileIsNeverReadableByOthersWhileItIsReplaced)
{
    ASSERT_EQ(::chmod(path_.c_str(), 0600), 0);
    Recording calls;
    {
        filesafe::ScopedCallHook hook(calls.Hook());
        EXPECT_TRUE(Put(path_, "s", "k", "changed"));
    }
    // The update lock on the file, the new file made with the owner's rights
    // alone and locked, its mode set, written, flushed, put in place.
    EXPECT_EQ(calls.log,
              (std::vector<std::string>{"lock 0600", "create", "lock 0600", "set mode 0600", "write 0600",
                                        "flush 0600", "replace 0600", "close 0600", "flush folder 0700"}));
    EXPECT_EQ(ModeOf(path_), 0600u);
    EXPECT_EQ(ReadFile(path_), "[s]\r\nk=changed\r\n; note\r\n");
}

// alice:finance replaced by bob: bob may not give the file to alice; as a
// member of finance he may give it to that group, else it stays his alone.
TEST_F(ProfileFault, OwnerElseGroupElseNoAccessForGroupOrOthers)
{
    if (::geteuid() != 0) GTEST_SKIP() << "only a privileged process may make a file of another user";
    struct Case {
        const char* name;
        Recording::Refusal refused;
        uid_t uid;
        gid_t gid;
        mode_t mode;
    } cases[] = {
        {"owner kept", Recording::kNothing, 12345, 23456, 06664},
        {"group kept", Recording::kOwner, 0, 23456, 02664},
        {"neither kept", Recording::kEverything, 0, 0, 0600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(::chown(path_.c_str(), 12345, 23456), 0);
        ASSERT_EQ(::chmod(path_.c_str(), 06664), 0);
        Recording calls;
        calls.refused = c.refused;
        filesafe::ScopedCallHook hook(calls.Hook());
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
