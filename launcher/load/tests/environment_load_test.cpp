// The environment load driven through a scripted window: every message, the
// edit box, and the client file compared byte for byte.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "environment_load.h"
#include "filesafe.h"
#include "names_and_messages.h"
#include "posix/load_platform.h"
#include "step_failure.h"
#include "test_files.h"

using namespace ardmon::test;

namespace {

constexpr std::time_t kLoadTime = 1700000000;  // 14-Nov-2023 22:13:20 UTC
const std::string kBoxBefore = "halvoclient.ini<old.ini>";

class ScriptedWindow : public ardmon::LoadWindow {
public:
    int GetCurSel() override { return selection; }
    std::string GetLBText(int index) override { return items.at(static_cast<size_t>(index)); }
    std::string WorkDir() override { return work_dir; }
    void SetCurrentEnvironment(const std::string& text) override { box = text; }
    void ShowMessage(const std::string& text) override
    {
        messages.push_back(text);
        box_at_message.push_back(box);
    }

    int selection = 0;
    std::vector<std::string> items;
    std::string work_dir;
    std::string box = kBoxBefore;
    std::vector<std::string> messages;
    std::vector<std::string> box_at_message;
};

// A fixed clock; refuses writes of one key, or the commit, when asked to;
// logs the calls that write.
class TestPlatform : public ardmon::PosixLoadPlatform {
public:
    void BeginWrites(const std::string& path) override
    {
        calls.push_back("begin " + path);
        PosixLoadPlatform::BeginWrites(path);
    }
    BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) override
    {
        calls.push_back(std::string("write ") + key);
        if (refused_key == key) return 0;
        return PosixLoadPlatform::WritePrivateProfileStringA(section, key, value, file);
    }
    ardmon::CommitResult CommitWrites() override
    {
        calls.push_back("commit");
        return refuse_commit ? ardmon::CommitResult::kFailed : PosixLoadPlatform::CommitWrites();
    }
    std::time_t Now() override { return now; }
    std::time_t now = kLoadTime;
    std::string refused_key = "\x01none";
    bool refuse_commit = false;
    std::vector<std::string> calls;
};

class EnvironmentLoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(::mkdir((dir_ / "env").c_str(), 0755), 0);
        window_.work_dir = dir_.path();
        window_.items = {"other.ini", "prof.ini"};
        window_.selection = 1;
        WriteFile(client_, kClient);
    }
    void Profile(const std::string& bytes) { WriteFile(dir_ / "env/prof.ini", bytes); }
    ardmon::LoadResult Load() { return ardmon::RunEnvironmentLoad(window_, platform_); }
    std::vector<std::string> Only(const std::string& message) { return {message}; }

    static constexpr const char* kClient =
        "; client settings\r\n[Server]\r\nHost=old.example\r\nPort=1\r\n\r\n[Keep]\r\nx=1\r\n";
    const std::string kRecord =
        "[HALVO_LAUNCHER]\r\nLast Loaded File=prof.ini\r\nTime=14-Nov-2023 22:13:20\r\n";
    const std::string kSuccess = "\"prof.ini\" file loaded to halvoclient.ini successfully";

    ScopedEnv utc_{"TZ", "UTC", ::tzset};
    TempDir dir_;
    std::string client_ = dir_ / "halvoclient.ini";
    ScriptedWindow window_;
    TestPlatform platform_;
};

TEST_F(EnvironmentLoad, MergesEverySectionThenRecordsTheLoad)
{
    Profile(
        "; test profile\n[server]\nhost = new.example\nTimeout=30\nlist=a=b=c\n"
        "[New]\nempty=\n=nameless\nbare line\ndup=1\ndup=2\n"
        "[HALVO_LAUNCHER]\nTime=from profile\nmine=1\n");
    Load();
    EXPECT_EQ(window_.messages, Only(kSuccess));
    EXPECT_EQ(window_.box, "halvoclient.ini<prof.ini>");
    EXPECT_EQ(window_.box_at_message, Only("halvoclient.ini<prof.ini>"));  // set before the message
    EXPECT_EQ(ReadFile(client_),
              "; client settings\r\n[Server]\r\nHost=new.example\r\nPort=1\r\nTimeout=30\r\nlist=a=b=c\r\n"
              "\r\n[Keep]\r\nx=1\r\n"
              "[New]\r\nempty=\r\n=nameless\r\ndup=2\r\n"
              "[HALVO_LAUNCHER]\r\nTime=14-Nov-2023 22:13:20\r\nmine=1\r\nLast Loaded File=prof.ini\r\n");
}

TEST_F(EnvironmentLoad, LoadingTwiceGivesTheSameEntriesOnlyTheTimeMoves)
{
    Profile("[Server]\r\nHost=h\r\n");
    Load();
    const std::string once = ReadFile(client_);
    platform_.now = kLoadTime + 61;
    Load();
    std::string expected = once;
    expected.replace(expected.find("22:13:20"), 8, "22:14:21");
    EXPECT_EQ(ReadFile(client_), expected);
    EXPECT_EQ(window_.messages, (std::vector<std::string>{kSuccess, kSuccess}));
}

TEST_F(EnvironmentLoad, NothingSelected)
{
    window_.selection = -1;
    Load();
    EXPECT_EQ(window_.messages, Only("Please Select any ini file"));
    EXPECT_EQ(window_.box, kBoxBefore);
    EXPECT_EQ(ReadFile(client_), kClient);
}

TEST_F(EnvironmentLoad, ClientFileThatCannotBeOpenedForUpdate)
{
    Profile("[s]\r\nk=v\r\n");
    const std::string open_failed = "can not open halvoclient.ini in this directory";
    {
        SCOPED_TRACE("read-only (also for a privileged process)");
        ASSERT_EQ(::chmod(client_.c_str(), 0444), 0);
        Load();
        EXPECT_EQ(ReadFile(client_), kClient);
        ASSERT_EQ(::chmod(client_.c_str(), 0644), 0);
    }
    {
        SCOPED_TRACE("missing");
        ASSERT_EQ(std::remove(client_.c_str()), 0);
        Load();
        EXPECT_FALSE(std::filesystem::exists(client_));
    }
    {
        SCOPED_TRACE("a folder in its place");
        ASSERT_EQ(::mkdir(client_.c_str(), 0755), 0);
        Load();
        EXPECT_TRUE(ListFolder(client_).empty());
    }
    EXPECT_EQ(window_.messages, std::vector<std::string>(3, open_failed));
    EXPECT_EQ(window_.box, kBoxBefore);
}

// A profile whose section-name list is length characters long.
std::string ProfileWithNameList(size_t length)
{
    std::string text;
    size_t used = 0;
    for (int i = 0; length - used > 20; ++i) {
        text += "[sect" + std::to_string(100000 + i) + "]\r\nk=v\r\n";
        used += 11;
    }
    text += "[last" + std::string(length - used - 5, 'z') + "]\r\nk=v\r\n";
    return text;
}

TEST_F(EnvironmentLoad, TooManySectionNamesLoadsNothing)
{
    Profile(ProfileWithNameList(4998));
    Load();
    EXPECT_EQ(window_.messages, Only("Section names are more , so cant load the file"));
    EXPECT_EQ(window_.box, kBoxBefore);
    EXPECT_EQ(ReadFile(client_), kClient);

    window_.messages.clear();
    Profile(ProfileWithNameList(4997));  // one shorter: accepted whole
    Load();
    EXPECT_EQ(window_.messages, Only(kSuccess));
    EXPECT_NE(ReadFile(client_).find("[sect100000]\r\nk=v\r\n"), std::string::npos);
    EXPECT_NE(ReadFile(client_).find("zz]\r\nk=v\r\n[HALVO_LAUNCHER]"), std::string::npos);
}

TEST_F(EnvironmentLoad, OverflowingSectionIsSkippedAndTheNextOneMerged)
{
    // "k=" plus 15995 characters and the NUL: exactly 15998.
    Profile("[Big]\r\nk=" + std::string(15995, 'x') + "\r\n[Keep]\r\ny=2\r\n");
    Load();
    EXPECT_EQ(
        window_.messages,
        (std::vector<std::string>{"more keys are associated with Big section", kSuccess,
                                  "Following entries are not loaded as given in the profile:\nBig section"}));
    EXPECT_EQ(ReadFile(client_), std::string(kClient) + "y=2\r\n" + kRecord);
}

TEST_F(EnvironmentLoad, RefusedEntryIsReportedAndTheLoadGoesOn)
{
    Profile("[s]\r\na=1\r\nbad=2\r\nc=3\r\n");
    platform_.refused_key = "bad";
    Load();
    EXPECT_EQ(window_.messages,
              (std::vector<std::string>{"Writing of \"s-bad-2\" entry to halvoclient.ini failed", kSuccess}));
    EXPECT_EQ(ReadFile(client_), std::string(kClient) + "[s]\r\na=1\r\nc=3\r\n" + kRecord);
}

TEST_F(EnvironmentLoad, MissingOrEmptyProfileChangesOnlyTheRecord)
{
    for (const char* profile : {"", "; nothing but a comment\r\n"}) {
        SCOPED_TRACE(profile);
        WriteFile(client_, kClient);
        window_.messages.clear();
        if (*profile != '\0') Profile(profile);  // first round: no profile file at all
        Load();
        EXPECT_EQ(window_.messages, Only(kSuccess));
        EXPECT_EQ(ReadFile(client_), std::string(kClient) + kRecord);
    }
}

TEST_F(EnvironmentLoad, BinaryJunkInTheProfileIsMergedAsTheLayerReadsIt)
{
    // Dead bytes before the first header, a NUL that ends a section name, a
    // key and a value, a bare line (dropped), and no final line break.
    Profile(ReadFile(std::string(ARDMON_PROFILE_FIXTURES) + "/nul_junk.ini"));
    EXPECT_EQ(Load(), ardmon::LoadResult::kLoadedNotAsGiven);
    EXPECT_EQ(window_.messages,
              (std::vector<std::string>{kSuccess,
                                        "Following entries are not loaded as given in the profile:"
                                        "\ns-k\ns-n\ns-\x1a\x7f\x80"}));
    EXPECT_EQ(ReadFile(client_),
              std::string(kClient) + "[s]\r\nk=val\r\nn=ab\r\n\x1a\x7f\x80=\r\n" + kRecord);
}

TEST_F(EnvironmentLoad, FailedWriteOfTheClientFileIsNotReportedAsSuccess)
{
    Profile("[Server]\r\nHost=new\r\n[Added]\r\nk=v\r\n");
    // A full disk; a file system made read-only after the check.
    for (const auto& [call, error] :
         {std::pair{filesafe::Call::kWrite, ENOSPC}, {filesafe::Call::kCreate, EROFS}}) {
        SCOPED_TRACE(filesafe::CallName(call));
        window_.messages.clear();
        filesafe::ScopedCallHook hook(
            [call, error](filesafe::Call c, const std::string&) { return c == call ? error : 0; });
        EXPECT_EQ(Load(), ardmon::LoadResult::kNotLoaded);
        EXPECT_EQ(window_.messages, Only("can not write halvoclient.ini, the environment was not loaded"));
        EXPECT_EQ(window_.box, kBoxBefore);
        EXPECT_EQ(ReadFile(client_), kClient);
        EXPECT_EQ(ListFolder(dir_.path()), (std::vector<std::string>{"env", "halvoclient.ini"}));
    }
}

// The load failed at every system call of its commit, then stopped dead
// after each: the client file holds the whole old or the whole new content,
// the result and the message say which, and nothing is left behind.
TEST_F(EnvironmentLoad, EveryFailingOrStoppedStepLeavesTheClientFileWholeAndTellsTheTruth)
{
    Profile("[Server]\r\nHost=new\r\n[Added]\r\nk=v\r\n");
    const std::string loaded =
        "; client settings\r\n[Server]\r\nHost=new\r\nPort=1\r\n\r\n[Keep]\r\nx=1\r\n"
        "[Added]\r\nk=v\r\n" +
        kRecord;
    ardmon::LoadResult result{};
    const auto setup = [&] {
        WriteFile(client_, kClient);
        window_.messages.clear();
    };
    const auto run = [&] {
        result = Load();
        return result == ardmon::LoadResult::kLoaded;
    };
    const auto whole = [&] {
        const std::string client = ReadFile(client_);
        EXPECT_TRUE(client == kClient || client == loaded) << client;
        filesafe::SweepStaleTemporaries(dir_.str());
        EXPECT_EQ(ListFolder(dir_.path()), (std::vector<std::string>{"env", "halvoclient.ini"}));
        return client == loaded;
    };
    filesafe::test::FailEveryStep(setup, run, [&](const filesafe::test::Step& step, bool ok) {
        SCOPED_TRACE(std::string(filesafe::CallName(step.call)) + " at call " + std::to_string(step.index));
        EXPECT_EQ(whole(), ok);
        EXPECT_EQ(window_.messages,
                  Only(ok ? kSuccess : "can not write halvoclient.ini, the environment was not loaded"));
    });
    filesafe::test::StopAtEveryStep(setup, run, [&](const filesafe::test::Step& step) {
        SCOPED_TRACE(std::string(filesafe::CallName(step.call)) + " at call " + std::to_string(step.index));
        whole();
    });
}

// Another load holds the client file longer than the wait: the user is told,
// nothing changes, and the window's pump ran while it waited. A FIFO for a
// profile or for the client file is refused at once; one where earlier
// versions kept a lock file is nobody's lock.
TEST_F(EnvironmentLoad, NoLoadWaitsUnboundedForALockOrAFifo)
{
    Profile("[s]\r\nk=v\r\n");
    filesafe::LockWait& wait = filesafe::DefaultLockWait();
    const filesafe::LockWait saved = wait;
    int pumped = 0;
    wait = {std::chrono::milliseconds(200), [&] { ++pumped; }};
    {
        const filesafe::UpdateLock other(client_);
        EXPECT_EQ(Load(), ardmon::LoadResult::kBusy);
    }
    wait = saved;
    EXPECT_GT(pumped, 0);
    EXPECT_EQ(window_.messages, Only(ardmon::kClientFileBusyMessage));
    EXPECT_EQ(window_.box, kBoxBefore);
    EXPECT_EQ(ReadFile(client_), kClient);

    struct Case {
        std::string fifo;
        std::string message;
    } cases[] = {
        {dir_ / "env/prof.ini", "\"prof.ini\" file can not be opened, so cant load the file"},
        {client_, "can not open halvoclient.ini in this directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fifo);
        window_.messages.clear();
        std::filesystem::remove(c.fifo);
        ASSERT_EQ(::mkfifo(c.fifo.c_str(), 0600), 0);
        EXPECT_EQ(Load(), ardmon::LoadResult::kNotLoaded);
        EXPECT_EQ(window_.messages, Only(c.message));
        EXPECT_EQ(window_.box, kBoxBefore);
        std::filesystem::remove(c.fifo);
        WriteFile(client_, kClient);
    }
    ASSERT_EQ(::mkfifo((dir_ / ".halvoclient.ini.lock").c_str(), 0600), 0);
    EXPECT_EQ(Load(), ardmon::LoadResult::kLoaded);
}

TEST_F(EnvironmentLoad, TheWritesGoBetweenBeginAndCommitOfThePlatform)
{
    Profile("[s]\r\na=1\r\n");
    platform_.refuse_commit = true;
    Load();
    EXPECT_EQ(platform_.calls, (std::vector<std::string>{"begin " + client_, "write a",
                                                         "write Last Loaded File", "write Time", "commit"}));
    EXPECT_EQ(window_.messages, Only("can not write halvoclient.ini, the environment was not loaded"));
    EXPECT_EQ(window_.box, kBoxBefore);
    EXPECT_EQ(ReadFile(client_), kClient);
}

TEST_F(EnvironmentLoad, ProfileBeyondTheSizeLimitChangesNothing)
{
    Profile("[s]\r\nk=v\r\n");
    ASSERT_EQ(::truncate((dir_ / "env/prof.ini").c_str(), (off_t{256} << 20) + 1), 0);  // sparse
    Load();
    EXPECT_EQ(window_.messages, Only("\"prof.ini\" file is bigger than 256 MB, so cant load the file"));
    EXPECT_EQ(window_.box, kBoxBefore);
    EXPECT_EQ(ReadFile(client_), kClient);
}

// UTF-16LE bytes, with the byte order mark, of text given in code units.
std::string Utf16le(const std::u16string& text)
{
    std::string bytes = "\xff\xfe";
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

TEST_F(EnvironmentLoad, WhatWasNotLoadedAsGivenIsNamedAfterTheLoad)
{
    // Characters outside code page 1252 in a value, a key and a section name,
    // and a line longer than a section read can return.
    Profile(
        Utf16le(u"[Caf\u00e9]\r\nname=cr\u00e8me\r\nhan=\u6f22\r\n\u03a9key=1\r\n"
                u"[Long]\r\nk=" +
                std::u16string(16000, u'x') + u"\r\n[\u03a9]\r\nk=v\r\n[Keep]\r\ny=2\r\n"));
    Load();
    EXPECT_EQ(window_.messages,
              (std::vector<std::string>{"more keys are associated with Long section", kSuccess,
                                        "Following entries are not loaded as given in the profile:\n"
                                        "Caf\xe9-han\nCaf\xe9-?key\nLong section\n? section"}));
    EXPECT_EQ(ReadFile(client_),
              std::string(kClient) + "y=2\r\n[Caf\xe9]\r\nname=cr\xe8me\r\nhan=?\r\n?key=1\r\n" + kRecord);
}

// Profiles the profile functions read otherwise than they are written: each
// loss is named after the load, and the load still goes as Windows reads it.
TEST_F(EnvironmentLoad, EncodingsDuplicatesAndNulBytesThatLoseEntriesAreNamed)
{
    struct Case {
        const char* name;
        std::string profile;
        std::string lost;
    } cases[] = {
        {"UTF-8 byte order mark", "\xEF\xBB\xBF[First]\r\na=1\r\n[Second]\r\nb=2\r\n", "\nFirst section"},
        {"UTF-16 big-endian", std::string("\xFE\xFF\0[\0S\0]\0\r\0\n\0k\0=\0v", 16), "\nS section"},
        {"repeated section", "[S]\r\na=1\r\n[T]\r\nt=1\r\n[s]\r\nb=2\r\n", "\ns-b"},
        {"NUL in a value", std::string("[S]\r\nk=ab\0cd\r\n", 14), "\nS-k"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(client_, kClient);
        window_.messages.clear();
        Profile(c.profile);
        EXPECT_EQ(Load(), ardmon::LoadResult::kLoadedNotAsGiven);
        EXPECT_EQ(window_.messages,
                  (std::vector<std::string>{
                      kSuccess, "Following entries are not loaded as given in the profile:" + c.lost}));
    }
}

// Two launchers load two profiles into one client file at the same moment,
// many times over: every time both profiles arrive.
TEST_F(EnvironmentLoad, TwoLoadsAtOnceBothReachTheClientFile)
{
    WriteFile(dir_ / "env/a.ini", "[A]\r\nfrom=a\r\n");
    WriteFile(dir_ / "env/b.ini", "[B]\r\nfrom=b\r\n");
    for (int trial = 0; trial < 60 && !HasFailure(); ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        WriteFile(client_, kClient);
        int start[2];
        ASSERT_EQ(::pipe(start), 0);
        pid_t loads[2];
        for (int i = 0; i < 2; ++i) {
            loads[i] = ::fork();
            ASSERT_GE(loads[i], 0);
            if (loads[i] == 0) {
                char go;
                ::close(start[1]);
                (void)!::read(start[0], &go, 1);  // both wait for the start
                ScriptedWindow window;
                window.work_dir = dir_.path();
                window.items = {"a.ini", "b.ini"};
                window.selection = i;
                ardmon::RunEnvironmentLoad(window);
                const bool loaded =
                    window.messages.size() == 1 && window.messages[0].ends_with("successfully");
                ::_exit(loaded ? 0 : 1);
            }
        }
        ::close(start[0]);
        ::close(start[1]);
        for (pid_t load : loads) {
            int status = 0;
            ASSERT_EQ(::waitpid(load, &status, 0), load);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        const std::string client = ReadFile(client_);
        EXPECT_NE(client.find("[A]\r\nfrom=a\r\n"), std::string::npos) << client;
        EXPECT_NE(client.find("[B]\r\nfrom=b\r\n"), std::string::npos) << client;
    }
}

// Puts the process's locale back on every way out of a test.
class ScopedLocale {
public:
    ScopedLocale() : previous_(std::setlocale(LC_ALL, nullptr)) {}
    ~ScopedLocale() { std::setlocale(LC_ALL, previous_.c_str()); }

private:
    std::string previous_;
};

TEST(LoadTime, EnglishMonthNamesWhateverTheProcessLocale)
{
    ScopedEnv utc("TZ", "UTC", ::tzset);
    ScopedLocale keep;
    EXPECT_EQ(ardmon::FormatLoadTime(kLoadTime), "14-Nov-2023 22:13:20");
    EXPECT_EQ(ardmon::FormatLoadTime(1704067199), "31-Dec-2023 23:59:59");
    // A GUI toolkit switches to the user's locale at start-up. Where one of
    // these is installed it is used; the text must not change.
    const char* locales[] = {"de_DE.UTF-8", "fr_FR.UTF-8", "es_ES.UTF-8", "ru_RU.UTF-8", "C.UTF-8", ""};
    for (const char* name : locales) {
        if (std::setlocale(LC_ALL, name) == nullptr) continue;
        SCOPED_TRACE(name);
        EXPECT_EQ(ardmon::FormatLoadTime(kLoadTime), "14-Nov-2023 22:13:20");
    }
}

}  // namespace
