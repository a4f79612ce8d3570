// The one file replacement, through its seam, for both savers that use it:
// the stand-in's text save and the workbook save.
#include "filesafe.h"
#include "test_support/TestTable.h"
#include "xls/Workbook.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

using namespace ledgra;
using ledgra::test::Listing;
using ledgra::test::ReadFile;
using ledgra::test::TempDir;
using ledgra::test::WriteFile;

namespace {

// What the seam saw: the mode of the file being written at every call
// after its creation, and the calls themselves.
struct Observed {
    std::string workingPath;
    std::vector<mode_t> modes;
    std::vector<std::string> calls;
    int failReplace = 0;  // errno for putting the file in place, 0: the real call
    int failFlush = 0;
    int failCreate = 0;    // errno for creating a new file
    int failSetOwner = 0;  // errno for changing the owner
    int failSetGroup = 0;  // errno for changing the group alone
};
Observed seen;

int Seam(filesafe::Call call, const std::string& path) {
    using filesafe::Call;
    if (call == Call::kCreate || call == Call::kOpen) {
        if (call == Call::kCreate && seen.failCreate) return seen.failCreate;
        seen.workingPath = path;
    } else if (!seen.workingPath.empty() && call != Call::kReplace && call != Call::kFlushFolder) {
        struct stat st {};
        if (::stat(seen.workingPath.c_str(), &st) == 0) seen.modes.push_back(st.st_mode & 07777);
    }
    seen.calls.push_back(filesafe::CallName(call));
    switch (call) {
        case Call::kReplace:
            return seen.failReplace;
        case Call::kFlush:
            return seen.failFlush;
        case Call::kSetOwner:
            return seen.failSetOwner;
        case Call::kSetGroup:
            return seen.failSetGroup;
        default:
            return 0;
    }
}

// A saver: writes some content to path; false with error set on failure.
using Saver = std::function<bool(const std::string& path, std::string& error)>;

bool SaveText(const std::string& path, std::string& error) {
    return filesafe::ReplaceFileContent(path, "new text\r\n", error);
}
bool SaveWorkbook(const std::string& path, std::string& error) {
    auto book = std::make_unique<xls::Workbook>();
    book->InsertSheet(0, "S").SetText(0, 0, "new");
    const xls::SaveResult r = xls::SaveBiff8(*book, path);
    error = r.description;
    return static_cast<bool>(r);
}
bool IsNewContent(const std::string& path) {
    const std::string content = ReadFile(path);
    return content == "new text\r\n" || content.rfind("\xD0\xCF\x11\xE0", 0) == 0;
}

class ReplaceFileTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        seen = Observed{};
        save = std::string(GetParam()) == "text" ? Saver(SaveText) : Saver(SaveWorkbook);
    }

    filesafe::ScopedCallHook hook{Seam};
    TempDir dir;
    Saver save;
    std::string error;
};

}  // namespace

TEST_P(ReplaceFileTest, ALinkStaysALinkAndItsFileIsReplaced) {
    const std::string file = dir / "Real.xls";
    WriteFile(file, "old");
    ASSERT_EQ(::symlink("Real.xls", (dir / "Link.xls").c_str()), 0);
    ASSERT_TRUE(save(dir / "Link.xls", error)) << error;
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "Link.xls"));
    EXPECT_TRUE(IsNewContent(file));
    EXPECT_EQ(Listing(dir.path()), "Link.xls\nReal.xls\n");
    // The temporary file was made beside the file the link names.
    EXPECT_EQ(std::filesystem::path(seen.workingPath).parent_path(), dir.path());
}

TEST_P(ReplaceFileTest, TheModeIsNeverWiderThanTheResultAndTheOwnerIsKept) {
    const std::string path = dir / "Out.xls";
    WriteFile(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(path.c_str(), 4321, 8765), 0);
    }
    const mode_t mask = ::umask(077);  // narrower than the file: the file's mode still wins
    const bool saved = save(path, error);
    ::umask(mask);
    ASSERT_TRUE(saved) << error;
    ASSERT_FALSE(seen.modes.empty());
    for (const mode_t mode : seen.modes) EXPECT_EQ(mode & ~0640u, 0u) << std::oct << mode;
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(st.st_uid, 4321u);
        EXPECT_EQ(st.st_gid, 8765u);
        EXPECT_EQ(seen.calls.at(2), "set owner");  // after the lock, before the mode is widened
    }

    // A new file: 0666 less the umask from the very start.
    seen = Observed{};
    const mode_t old = ::umask(027);
    const bool made = save(dir / "New.xls", error);
    ::umask(old);
    ASSERT_TRUE(made) << error;
    for (const mode_t mode : seen.modes) EXPECT_EQ(mode, 0640u) << std::oct << mode;
}

TEST_P(ReplaceFileTest, AFailedSyncOrRenameLeavesTheOldFileAndNoTemporary) {
    const std::string path = dir / "Out.xls";
    for (const bool flush : {true, false}) {
        WriteFile(path, "old");
        seen = Observed{};
        (flush ? seen.failFlush : seen.failReplace) = flush ? ENOSPC : EACCES;
        EXPECT_FALSE(save(path, error));
        EXPECT_EQ(error, "Could not write \"" + path +
                             "\": " + (flush ? "No space left on device." : "Permission denied."));
        EXPECT_EQ(ReadFile(path), "old");
        EXPECT_EQ(Listing(dir.path()), "Out.xls\n");
    }
}

// A full disk, played by a file size limit in a child process.
TEST_P(ReplaceFileTest, AFullDiskLeavesTheOldFileAndNoTemporary) {
    const std::string path = dir / "Out.xls";
    WriteFile(path, "old");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4, 4};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string e;
        const bool failed = !save(path, e) && e.find("File too large") != std::string::npos;
        if (!failed) std::fprintf(stderr, "%s\n", e.c_str());
        ::_exit(failed ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReadFile(path), "old");
    EXPECT_EQ(Listing(dir.path()), "Out.xls\n");
}

TEST_P(ReplaceFileTest, AFolderThatTakesNoNewFileStillLetsTheFileBeRewrittenInPlace) {
    const std::string path = dir / "Out.xls";
    WriteFile(path, std::string(100000, 'o'));  // longer than the new content
    seen.failCreate = EACCES;
    ASSERT_TRUE(save(path, error)) << error;
    EXPECT_TRUE(IsNewContent(path));
    EXPECT_LT(std::filesystem::file_size(path), 100000u);
    EXPECT_EQ(Listing(dir.path()), "Out.xls\n");
    // Without a file there, nothing can be saved.
    EXPECT_FALSE(save(dir / "New.xls", error));
    EXPECT_EQ(error, "Could not write \"" + (dir / "New.xls") + "\": Permission denied.");
    EXPECT_EQ(Listing(dir.path()), "Out.xls\n");
}

// Replaced by a user who may not keep the owner: the group stays when the
// user may give the file to it, else the group and others lose their access;
// user attributes stay too.
TEST_P(ReplaceFileTest, TheGroupAndAttributesStayOrTheFileIsClosedToOthers) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to hand files to other users";
    const std::string path = dir / "Shared.xls";
    struct Case {
        int failSetGroup;
        gid_t gid;
        mode_t mode;
    };
    for (const Case& c : {Case{0, 8765, 0660}, Case{EPERM, 0, 0600}}) {
        WriteFile(path, "old");
        ASSERT_EQ(::chown(path.c_str(), 4321, 8765), 0);
        ASSERT_EQ(::chmod(path.c_str(), 0660), 0);
        const bool attributes = ::setxattr(path.c_str(), "user.origin", "desk", 4, 0) == 0;
        seen = Observed{};
        seen.failSetOwner = EPERM;
        seen.failSetGroup = c.failSetGroup;
        ASSERT_TRUE(save(path, error)) << error;
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_gid, c.gid);
        EXPECT_EQ(st.st_mode & 07777, c.mode);
        for (const mode_t mode : seen.modes) EXPECT_EQ(mode & ~c.mode, 0u) << std::oct << mode;
        char value[8] = "";
        if (attributes) {
            EXPECT_EQ(::getxattr(path.c_str(), "user.origin", value, sizeof value), 4);
        }
    }
}

// The temporary file's name is short whatever the target's.
TEST_P(ReplaceFileTest, LongNamesSave) {
    const std::string longName = dir / (std::string(251, 'n') + ".xls");
    WriteFile(longName, "old");
    ASSERT_TRUE(save(longName, error)) << error;
    EXPECT_TRUE(IsNewContent(longName));
}

// In a shared sticky folder the system refuses to follow another user's link
// (when its link protection is on): the save is refused as well, and the
// file the link names is untouched.
TEST_P(ReplaceFileTest, ALinkTheSystemWouldNotFollowIsNotFollowed) {
    if (::geteuid() != 0 || ReadFile("/proc/sys/fs/protected_symlinks").substr(0, 1) != "1")
        GTEST_SKIP() << "needs root and the system's link protection";
    const std::string shared = dir / "shared";
    ASSERT_EQ(::mkdir(shared.c_str(), 01777), 0);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    const std::string secret = dir / "secret";
    WriteFile(secret, "private");
    const std::string planted = shared + "/Book.xls";
    ASSERT_EQ(::symlink(secret.c_str(), planted.c_str()), 0);
    ASSERT_EQ(::lchown(planted.c_str(), 4321, 4321), 0);
    EXPECT_FALSE(save(planted, error));
    EXPECT_EQ(ReadFile(secret), "private");
}

INSTANTIATE_TEST_SUITE_P(BothSaves, ReplaceFileTest, ::testing::Values("text", "workbook"));
