// The engine on Windows, run under wine: the step-failing loop through the
// same seam, the sweep that a live writer's open file keeps out, the bounded
// lock, and a target another program holds open.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "filesafe.h"
#include "names.h"
#include "step_failure.h"

namespace {

namespace fs = std::filesystem;

class Folder {
public:
    Folder() { fs::create_directories(path_); }
    ~Folder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    std::string str() const { return path_.string() + "\\"; }
    const fs::path& path() const { return path_; }

private:
    // One of its own for each test: a frozen writer keeps its files to the end.
    static inline int made = 0;
    fs::path path_ = fs::temp_directory_path() /
                     ("filesafe-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++made));
};

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string Listing(const fs::path& dir) {
    std::string text;
    for (const auto& entry : fs::directory_iterator(dir)) text += entry.path().filename().string() + "\n";
    return text;
}

const std::string kOld = "old content\r\n";
const std::string kNew = std::string(10000, 'a') + std::string(10000, 'b');

bool ReplaceInPieces(const std::string& path, std::string& error) {
    std::unique_ptr<filesafe::Replacement> file = filesafe::Replacement::Begin(path, error);
    return file && file->Reserve(kNew.size(), error) && file->Write(kNew.substr(0, 10000), error) &&
           file->Write(kNew.substr(10000), error) && file->Commit(error);
}

TEST(StepFailure, EveryFailingStepLeavesTheWholeOldOrNewFileAndTellsTheTruth) {
    for (const bool existing : {true, false}) {
        SCOPED_TRACE(existing ? "an existing file" : "a new file");
        Folder dir;
        const std::string target = dir / "Out.txt";
        std::string error;
        filesafe::test::FailEveryStep(
            [&] {
                DeleteFileA(target.c_str());
                error.clear();
                if (existing) Write(target, kOld);
            },
            [&] { return ReplaceInPieces(target, error); },
            [&](const filesafe::test::Step& step, bool ok) {
                SCOPED_TRACE(std::string(filesafe::CallName(step.call)) + " at call " +
                             std::to_string(step.index));
                const bool present = fs::exists(target);
                const std::string content = present ? Read(target) : "";
                EXPECT_TRUE(content == kNew || (existing && content == kOld) || (!existing && !present));
                EXPECT_EQ(content == kNew, ok);
                EXPECT_EQ(error.empty(), ok) << error;
                filesafe::SweepStaleTemporaries(dir.str());
                EXPECT_EQ(Listing(dir.path()), present ? "Out.txt\n" : "");
            });
    }
}

// A writer frozen after any call keeps its files open: the target is the
// whole old or new content meanwhile, and all else in the folder is a
// temporary file of a writer that still holds it.
TEST(StepFailure, AWriterStoppedDeadAtAnyStepLeavesTheWholeOldOrNewFile) {
    Folder dir;
    const std::string target = dir / "Out.txt";
    filesafe::test::StopAtEveryStep([&] { Write(target, kOld); },
                                    [&] {
                                        std::string error;
                                        return ReplaceInPieces(target, error);
                                    },
                                    [&](const filesafe::test::Step& step) {
                                        SCOPED_TRACE(std::string(filesafe::CallName(step.call)) +
                                                     " at call " + std::to_string(step.index));
                                        const std::string content = Read(target);
                                        EXPECT_TRUE(content == kOld || content == kNew) << content.size();
                                        filesafe::SweepStaleTemporaries(dir.str());
                                        for (const auto& entry : fs::directory_iterator(dir.path())) {
                                            const std::string name = entry.path().filename().string();
                                            EXPECT_TRUE(name == "Out.txt" || filesafe::IsTemporaryName(name))
                                                << name;
                                        }
                                    });
}

// A live writer's temporary file is open, sharing nothing: the sweep leaves
// it; one nobody holds goes.
TEST(Sweep, RemovesOnlyTemporaryFilesNobodyHolds) {
    Folder dir;
    const std::string stale = filesafe::TemporaryName();
    const std::string live = filesafe::TemporaryName();
    Write(dir / stale, "half written");
    const HANDLE writer = CreateFileA((dir / live).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    filesafe::SweepStaleTemporaries(dir.str());
    EXPECT_EQ(Listing(dir.path()), live + "\n");
    CloseHandle(writer);
}

// A reserved device name is no file, wherever it stands and however it is
// written; names that only look alike are files.
TEST(Replacement, AReservedDeviceNameIsRefusedAtOnce) {
    Folder dir;
    for (const char* name : {"NUL", "nul.csv", "Con.xls", "AUX .txt", "com1.xls", "LPT9", "conout$"}) {
        const std::string path = dir / name;
        EXPECT_TRUE(filesafe::IsNonRegularFile(path)) << name;
        std::string error;
        EXPECT_EQ(filesafe::Replacement::Begin(path, error), nullptr) << name;
        EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    }
    for (const char* name : {"NULL.csv", "console.xls", "COM0", "LPT10.txt", "xNUL"})
        EXPECT_FALSE(filesafe::IsDeviceName(dir / name)) << name;
}

TEST(UpdateLock, WaitsABoundedTimeWhilePumping) {
    Folder dir;
    const std::string path = dir / "client.ini";
    Write(path, "x");
    int pumped = 0;
    const filesafe::LockWait wait{std::chrono::milliseconds(200), [&] { ++pumped; }};
    using State = filesafe::UpdateLock::State;
    {
        const filesafe::UpdateLock first(path, wait);
        EXPECT_EQ(first.state(), State::kHeld);
        EXPECT_EQ(filesafe::UpdateLock(path, wait).state(), State::kBusy);
        EXPECT_GT(pumped, 0);
        // A holder that replaces the file keeps its lock on the old one; the
        // file at the path is then free.
        std::string error;
        ASSERT_TRUE(filesafe::ReplaceFileContent(path, "new", error)) << error;
        EXPECT_EQ(filesafe::UpdateLock(path, wait).state(), State::kHeld);
    }
    EXPECT_EQ(filesafe::UpdateLock(dir / "missing.ini", wait).state(), State::kNoFile);
    EXPECT_EQ(filesafe::UpdateLock(dir.path().string(), wait).state(), State::kRefused);
}

// Another program holds the target open, sharing reading and writing but not
// deletion: the content goes into it in place.
TEST(Replacement, ATargetHeldOpenByAnotherProgramIsWrittenInPlace) {
    Folder dir;
    const std::string path = dir / "Out.csv";
    Write(path, std::string(50000, 'o'));
    const HANDLE other = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    std::string error;
    EXPECT_TRUE(filesafe::ReplaceFileContent(path, "a,b\r\n", error)) << error;
    CloseHandle(other);
    EXPECT_EQ(Read(path), "a,b\r\n");
    EXPECT_EQ(Listing(dir.path()), "Out.csv\n");
}

// The system's replacement fails half way (ERROR_UNABLE_TO_MOVE_REPLACEMENT_2):
// the target went to the backup and the new file did not follow. The new
// file is then moved in place, or, when that fails too, the old one back;
// the only copy of a content is never deleted.
TEST(Replacement, AReplacementThatFailsHalfWayLosesNeitherContent) {
    struct Case {
        const char* name;
        int failedMoves;  // moves of the new file that fail after the system's replacement
        bool saved;
    } cases[] = {{"the new file is moved in place", 0, true}, {"the old file is moved back", 2, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Folder dir;
        const std::string target = dir / "Out.txt";
        Write(target, kOld);
        int replaces = 0;
        filesafe::ScopedCallHook hook([&](filesafe::Call call, const std::string&) -> int {
            if (call != filesafe::Call::kReplace) return 0;
            if (++replaces > 1) return replaces - 1 <= c.failedMoves ? ERROR_WRITE_FAULT : 0;
            // What the system does before it gives up: the target becomes the backup.
            for (const auto& entry : fs::directory_iterator(dir.path())) {
                std::string backup = entry.path().string();
                if (backup.size() < 4 || backup.substr(backup.size() - 4) != ".tmp") continue;
                backup.replace(backup.size() - 4, 4, ".bak");
                MoveFileA(target.c_str(), backup.c_str());
            }
            return ERROR_UNABLE_TO_MOVE_REPLACEMENT_2;
        });
        std::string error;
        EXPECT_EQ(filesafe::ReplaceFileContent(target, kNew, error), c.saved) << error;
        EXPECT_TRUE(Read(target) == (c.saved ? kNew : kOld));
        EXPECT_EQ(Listing(dir.path()), "Out.txt\n");
    }
}

}  // namespace
