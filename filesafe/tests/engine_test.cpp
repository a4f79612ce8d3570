// The engine proven by failing every step, and its lock, sweep, recovery
// files and refusals of what is no regular file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "filesafe.h"
#include "names.h"
#include "step_failure.h"

namespace {

namespace fs = std::filesystem;
using filesafe::Call;

class Folder {
public:
    Folder() {
        std::string pattern = (fs::temp_directory_path() / "filesafe-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~Folder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

std::string Listing(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    std::string text;
    for (const std::string& name : names) text += name + "\n";
    return text;
}

// The new content comes in three writes, so a failure can fall between them;
// the disk is asked to start on the first piece, as a large writer does.
bool ReplaceInPieces(const std::string& path, std::string& error) {
    std::unique_ptr<filesafe::Replacement> file = filesafe::Replacement::Begin(path, error);
    if (!file || !file->Reserve(30000, error) || !file->Write(std::string(10000, 'a'), error)) return false;
    file->StartFlush();
    return file->Write(std::string(10000, 'b'), error) && file->Write(std::string(10000, 'c'), error) &&
           file->Commit(error);
}
const std::string kNew = std::string(10000, 'a') + std::string(10000, 'b') + std::string(10000, 'c');
const std::string kOld = "old content\n";

// What is left after a run that failed or stopped at any step: the whole old
// or the whole new content, nothing readable by more users than the target
// was, and nothing that the next sweep would not remove.
void ExpectWholeAndPrivate(const Folder& dir, const std::string& target, mode_t mode, bool existed) {
    const bool present = fs::exists(target);
    const std::string content = present ? Read(target) : "";
    EXPECT_TRUE((existed && content == kOld) || content == kNew || (!existed && !present)) << content.size();
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_EQ(ModeOf(entry.path().string()) & ~mode, 0u) << entry.path();
    filesafe::SweepStaleTemporaries(dir.path().string());
    EXPECT_EQ(Listing(dir.path()), present ? "Out.txt\n" : "");
}

struct Scenario {
    const char* name;
    bool existing;
};
const Scenario kScenarios[] = {{"an existing private file", true}, {"a new file", false}};

TEST(StepFailure, EveryFailingStepLeavesTheWholeOldOrNewFileAndTellsTheTruth) {
    for (const Scenario& scenario : kScenarios) {
        SCOPED_TRACE(scenario.name);
        Folder dir;
        const std::string target = dir / "Out.txt";
        const mode_t mode = scenario.existing ? 0640 : 0666 & ~[] {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            return mask;
        }();
        std::string error;
        filesafe::test::FailEveryStep(
            [&] {
                fs::remove(target);
                error.clear();
                if (scenario.existing) {
                    Write(target, kOld);
                    ::chmod(target.c_str(), 0640);
                }
            },
            [&] { return ReplaceInPieces(target, error); },
            [&](const filesafe::test::Step& step, bool ok) {
                SCOPED_TRACE(std::string(filesafe::CallName(step.call)) + " at call " +
                             std::to_string(step.index));
                const bool saved = fs::exists(target) && Read(target) == kNew;
                EXPECT_EQ(saved, ok);
                EXPECT_EQ(error.empty(), ok) << error;
                EXPECT_EQ(ModeOf(target), fs::exists(target) ? mode : 0);
                ExpectWholeAndPrivate(dir, target, mode, scenario.existing);
            });
    }
}

TEST(StepFailure, AWriterStoppedDeadAtAnyStepLeavesTheWholeOldOrNewFile) {
    for (const Scenario& scenario : kScenarios) {
        SCOPED_TRACE(scenario.name);
        Folder dir;
        const std::string target = dir / "Out.txt";
        filesafe::test::StopAtEveryStep(
            [&] {
                fs::remove(target);
                if (scenario.existing) {
                    Write(target, kOld);
                    ::chmod(target.c_str(), 0640);
                }
            },
            [&] {
                std::string error;
                return ReplaceInPieces(target, error);
            },
            [&](const filesafe::test::Step& step) {
                SCOPED_TRACE(std::string(filesafe::CallName(step.call)) + " at call " +
                             std::to_string(step.index));
                ExpectWholeAndPrivate(dir, target, scenario.existing ? 0640 : 0666, scenario.existing);
            });
    }
}

// The update lock: one object per file (the file itself), a bounded wait that
// keeps calling the pump, and a refusal at once of what no regular file is.
TEST(UpdateLock, WaitsABoundedTimeAndRefusesWhatIsNoRegularFile) {
    Folder dir;
    const std::string path = dir / "client.ini";
    Write(path, "x");
    ASSERT_EQ(::mkfifo((dir / "fifo.ini").c_str(), 0600), 0);
    int pumped = 0;
    const filesafe::LockWait wait{std::chrono::milliseconds(200), [&] { ++pumped; }};
    using State = filesafe::UpdateLock::State;
    EXPECT_EQ(filesafe::UpdateLock(dir / "fifo.ini", wait).state(), State::kRefused);
    EXPECT_EQ(filesafe::UpdateLock(dir / "missing.ini", wait).state(), State::kNoFile);
    {
        const filesafe::UpdateLock first(path, wait);
        EXPECT_EQ(first.state(), State::kHeld);
        EXPECT_EQ(filesafe::UpdateLock(path, wait).state(), State::kBusy);
        EXPECT_GT(pumped, 0);
    }
    EXPECT_EQ(filesafe::UpdateLock(path, wait).state(), State::kHeld);
    // A reader's shared lock on the file keeps no update out.
    const int reader = ::open(path.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(reader, LOCK_SH), 0);
    EXPECT_EQ(filesafe::UpdateLock(path, wait).state(), State::kHeld);
    ::close(reader);
}

// A waiter whose holder put a new file in place locks the new one: a third
// writer that locks it at once is then kept out.
TEST(UpdateLock, AWaiterLocksTheFileNowAtThePath) {
    Folder dir;
    const std::string path = dir / "client.ini";
    Write(path, "old");
    std::atomic<bool> waiting{false};
    auto third = filesafe::UpdateLock::State::kHeld;
    auto holder = std::make_unique<filesafe::UpdateLock>(path);
    std::thread waiter([&] {
        waiting = true;
        const filesafe::UpdateLock lock(path);
        third = filesafe::UpdateLock(path, filesafe::LockWait{std::chrono::milliseconds(0), {}}).state();
    });
    while (!waiting) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::string error;
    ASSERT_TRUE(filesafe::ReplaceFileContent(path, "new", error)) << error;
    holder.reset();
    waiter.join();
    EXPECT_EQ(third, filesafe::UpdateLock::State::kBusy);
}

// What the sweep removes: only this user's temporary files that no live
// writer holds, proven by the lock the writer keeps, not by a process id.
TEST(Sweep, RemovesOnlyTemporaryFilesNobodyHolds) {
    Folder dir;
    const std::string stale = filesafe::TemporaryName();
    const std::string live = filesafe::TemporaryName();
    const std::string link = filesafe::TemporaryName();
    const std::string folder = filesafe::TemporaryName();
    Write(dir / stale, "password=half written");
    Write(dir / live, "being written");
    Write(dir / "Out.txt.tmp", "not ours");
    ASSERT_EQ(::symlink("Out.txt.tmp", (dir / link).c_str()), 0);
    ASSERT_EQ(::mkdir((dir / folder).c_str(), 0700), 0);
    const int writer = ::open((dir / live).c_str(), O_WRONLY);
    ASSERT_EQ(::flock(writer, LOCK_EX), 0);
    std::vector<std::string> kept = {live, link, folder, "Out.txt.tmp"};
    if (::geteuid() == 0) {  // another user's leftover in a shared folder
        const std::string others = filesafe::TemporaryName();
        Write(dir / others, "theirs");
        ASSERT_EQ(::chown((dir / others).c_str(), 4321, 4321), 0);
        kept.push_back(others);
    }
    filesafe::SweepStaleTemporaries(dir.path().string());
    ::close(writer);
    std::sort(kept.begin(), kept.end());
    std::string expected;
    for (const std::string& name : kept) expected += name + "\n";
    EXPECT_EQ(Listing(dir.path()), expected);
}

// A recovery file is no more readable than the chosen file, whatever the umask.
TEST(RecoveryFile, IsNoMoreReadableThanTheChosenFile) {
    Folder dir;
    const std::string chosen = dir / "Data.xls";
    Write(chosen, "");
    const mode_t mask = ::umask(022);
    for (const mode_t mode : {0600, 0640}) {
        ::chmod(chosen.c_str(), mode);
        std::string error;
        const std::string name = filesafe::SaveRecoveryFile(chosen, "-Sheet1.csv", "secret", error);
        ASSERT_FALSE(name.empty()) << error;
        EXPECT_EQ(ModeOf(name), mode);
        fs::remove(name);
    }
    ::umask(mask);
}

// Two savers replace one file at once, many times (the race between finding
// the target and naming it is narrow): each save succeeds, and the file is
// always one of them whole.
TEST(Replacement, TwoSaversAtOnceNeitherFailsAndOneWinsWhole) {
    Folder dir;
    const std::string path = dir / "Out.txt";
    Write(path, "start");
    std::atomic<int> failures{0};
    std::string lastError;
    auto saver = [&](char letter) {
        for (int i = 0; i < 1000; ++i) {
            std::string error;
            if (!filesafe::ReplaceFileContent(path, std::string(1000, letter), error)) {
                ++failures;
                lastError = error;
            }
        }
    };
    std::thread a(saver, 'a'), b(saver, 'b');
    a.join();
    b.join();
    EXPECT_EQ(failures, 0) << lastError;
    const std::string content = Read(path);
    EXPECT_TRUE(content == std::string(1000, 'a') || content == std::string(1000, 'b'));
    EXPECT_EQ(Listing(dir.path()), "Out.txt\n");
}

// A FIFO, a device, a folder: refused at once, never opened so as to block.
TEST(Refusal, WhatIsNoRegularFileIsRefusedAtOnce) {
    Folder dir;
    ASSERT_EQ(::mkfifo((dir / "fifo.xls").c_str(), 0600), 0);
    Write(dir / "plain.ini", "[s]\n");
    struct Case {
        std::string path;
        bool regular;
    } cases[] = {{dir / "fifo.xls", false},
                 {"/dev/null", false},
                 {dir.path().string(), false},
                 {dir / "plain.ini", true},
                 {dir / "missing.ini", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(filesafe::CanReadRegularFile(c.path), c.regular);
        EXPECT_EQ(filesafe::IsNonRegularFile(c.path), !c.regular && c.path != dir / "missing.ini");
        std::string bytes = "stale";
        EXPECT_EQ(filesafe::ReadRegularFile(c.path, 2, bytes), c.regular);
        EXPECT_EQ(bytes, c.regular ? "[s" : "");
        if (c.regular || c.path == dir / "missing.ini") continue;
        std::string error;
        EXPECT_FALSE(filesafe::ReplaceFileContent(c.path, "x", error));
        EXPECT_NE(error, "");
    }
}

}  // namespace
