// The client file's replacement on Windows, run under wine: two loads that
// commit at the same moment both arrive, and a load leaves nothing behind.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>
#include <thread>

#include "win32/client_file.h"

namespace {

std::string Read(const std::string& path, const char* section, const char* key)
{
    char value[100] = {};
    ::GetPrivateProfileStringA(section, key, "", value, sizeof value, path.c_str());
    return value;
}

TEST(ClientFile, TwoCommitsAtOnceBothArrive)
{
    const auto folder =
        std::filesystem::temp_directory_path() / ("ardmon-client-" + std::to_string(::GetCurrentProcessId()));
    std::filesystem::create_directories(folder);
    const std::string client = (folder / "halvoclient.ini").string();
    for (int trial = 0; trial < 30 && !HasFailure(); ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        ::DeleteFileA(client.c_str());
        ASSERT_TRUE(::WritePrivateProfileStringA("Keep", "x", "1", client.c_str()));
        bool a = false;
        bool b = false;
        std::thread first([&] { a = ardmon::ReplaceClientFile(client, {{"A", "from", "a"}}); });
        std::thread second([&] { b = ardmon::ReplaceClientFile(client, {{"B", "from", "b"}}); });
        first.join();
        second.join();
        EXPECT_TRUE(a && b);
        EXPECT_EQ(Read(client, "A", "from") + Read(client, "B", "from") + Read(client, "Keep", "x"), "ab1");
    }
    std::error_code ec;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);  // no copy, no lock
    std::filesystem::remove_all(folder, ec);
}

}  // namespace
