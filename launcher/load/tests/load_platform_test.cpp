// The load's commit on Windows, run under wine: two loads that commit at the
// same moment both arrive, a load leaves nothing behind, and a load kept out
// by another's lock longer than the wait changes nothing.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>
#include <thread>

#include "filesafe.h"
#include "win32/load_platform.h"

namespace {

std::string Read(const std::string& path, const char* section, const char* key)
{
    char value[100] = {};
    ::GetPrivateProfileStringA(section, key, "", value, sizeof value, path.c_str());
    return value;
}

ardmon::CommitResult Commit(const std::string& client, const char* section, const char* value)
{
    ardmon::Win32LoadPlatform platform;
    platform.BeginWrites(client);
    platform.WritePrivateProfileStringA(section, "from", value, client.c_str());
    return platform.CommitWrites();
}

class LoadPlatform : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(folder_);
        ::DeleteFileA(client_.c_str());
        ASSERT_TRUE(::WritePrivateProfileStringA("Keep", "x", "1", client_.c_str()));
    }
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    size_t Entries() const { return std::distance(std::filesystem::directory_iterator(folder_), {}); }

    const std::filesystem::path folder_ =
        std::filesystem::temp_directory_path() / ("ardmon-client-" + std::to_string(::GetCurrentProcessId()));
    const std::string client_ = (folder_ / "halvoclient.ini").string();
};

TEST_F(LoadPlatform, TwoCommitsAtOnceBothArrive)
{
    for (int trial = 0; trial < 30 && !HasFailure(); ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        SetUp();
        ardmon::CommitResult a{}, b{};
        std::thread first([&] { a = Commit(client_, "A", "a"); });
        std::thread second([&] { b = Commit(client_, "B", "b"); });
        first.join();
        second.join();
        EXPECT_EQ(a, ardmon::CommitResult::kCommitted);
        EXPECT_EQ(b, ardmon::CommitResult::kCommitted);
        EXPECT_EQ(Read(client_, "A", "from") + Read(client_, "B", "from") + Read(client_, "Keep", "x"),
                  "ab1");
    }
    EXPECT_EQ(Entries(), 1u);  // no copy, no lock file
}

TEST_F(LoadPlatform, ALockHeldLongerThanTheWaitChangesNothing)
{
    filesafe::LockWait& wait = filesafe::DefaultLockWait();
    const filesafe::LockWait saved = wait;
    int pumped = 0;
    wait = {std::chrono::milliseconds(200), [&] { ++pumped; }};
    {
        const filesafe::UpdateLock other(client_);
        EXPECT_EQ(Commit(client_, "A", "a"), ardmon::CommitResult::kBusy);
    }
    wait = saved;
    EXPECT_GT(pumped, 0);
    EXPECT_EQ(Read(client_, "A", "from"), "");
    EXPECT_EQ(Entries(), 1u);
}

}  // namespace
