#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "shell_execute.h"
#include "test_folder.h"

namespace fs = std::filesystem;
using namespace ardmon;
using namespace ardmon::test;

namespace {

class ShellExecuteTest : public testing::Test {
protected:
    fs::path Write(const std::string& name, const std::string& content, bool executable)
    {
        const fs::path p = dir_ / name;
        WriteFile(p, content);
        fs::permissions(p, executable ? fs::perms(0755) : fs::perms(0644));
        return p;
    }

    static bool WaitFor(const fs::path& p)
    {
        for (int i = 0; i < 500; ++i) {
            if (fs::exists(p) && fs::file_size(p) > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    TempDir temp_;
    const fs::path& dir_ = temp_.path();
};

TEST_F(ShellExecuteTest, StartsDetachedInTheFolderWithOnlyTheStandardDescriptors)
{
    // A descriptor of ours without close-on-exec must not reach the program.
    const int stray = open("/dev/null", O_RDONLY);
    ASSERT_GE(stray, 0);
    ASSERT_EQ(dup2(stray, 77), 77);
    close(stray);

    const fs::path program = Write("VovuvAvavar.exe",
                                   "#!/usr/bin/python3\n"
                                   "import os\n"
                                   "fds = sorted(int(f) for f in os.listdir('/proc/self/fd'))\n"
                                   "line = '%s|%d|%s' % (os.getcwd(), os.getsid(0), fds)\n"
                                   "open('report.tmp', 'w').write(line)\n"
                                   "os.rename('report.tmp', 'report')\n",
                                   true);
    ScopedWorkDir elsewhere(fs::temp_directory_path());
    EXPECT_EQ(ShellExecuteOpen(program.string(), dir_.string()), SHELL_STARTED);
    close(77);

    ASSERT_TRUE(WaitFor(dir_ / "report"));
    const std::string report = ReadFile(dir_ / "report");
    const std::string expected_start = dir_.string() + "|";
    EXPECT_EQ(report.rfind(expected_start, 0), 0u) << report;
    EXPECT_EQ(report.find(std::to_string(getsid(0)) + "|"), std::string::npos) << report;
    const std::string descriptors = report.substr(report.rfind('|') + 1);
    EXPECT_EQ(descriptors.find("77"), std::string::npos) << report;
}

TEST_F(ShellExecuteTest, MissingFileIsFileNotFound)
{
    EXPECT_EQ(ShellExecuteOpen((dir_ / "VovuvAvavar.exe").string(), dir_.string()), SE_ERR_FNF);
}

TEST_F(ShellExecuteTest, FileWithoutExecuteRightIsAccessDenied)
{
    const fs::path p = Write("VovuvAvavar.exe", "#!/bin/sh\n", false);
    EXPECT_EQ(ShellExecuteOpen(p.string(), dir_.string()), SE_ERR_ACCESSDENIED);
    fs::create_directory(dir_ / "folder.exe");
    EXPECT_EQ(ShellExecuteOpen((dir_ / "folder.exe").string(), dir_.string()), SE_ERR_ACCESSDENIED);
}

TEST_F(ShellExecuteTest, ExecutableThatCannotRunIsBadFormat)
{
    const fs::path garbage = Write("garbage.exe", "\x01\x02\x03 not a program", true);
    EXPECT_EQ(ShellExecuteOpen(garbage.string(), dir_.string()), ERROR_BAD_FORMAT);
    const fs::path no_interpreter = Write("script.exe", "#!/no/such/interpreter\n", true);
    EXPECT_EQ(ShellExecuteOpen(no_interpreter.string(), dir_.string()), ERROR_BAD_FORMAT);
}

TEST_F(ShellExecuteTest, FileBeingWrittenIsASharingViolation)
{
    const fs::path p = Write("VovuvAvavar.exe", "#!/bin/sh\nexit 0\n", true);
    const int writer = open(p.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    EXPECT_EQ(ShellExecuteOpen(p.string(), dir_.string()), SE_ERR_SHARE);
    close(writer);
}

TEST_F(ShellExecuteTest, MissingStartFolderIsPathNotFound)
{
    const fs::path p = Write("VovuvAvavar.exe", "#!/bin/sh\nexit 0\n", true);
    EXPECT_EQ(ShellExecuteOpen(p.string(), (dir_ / "gone").string()), SE_ERR_PNF);
}

TEST_F(ShellExecuteTest, WindowsProgramGoesToWineFromThePath)
{
    const fs::path bin = dir_ / "bin";
    fs::create_directory(bin);
    std::ofstream(bin / "wine") << "#!/bin/sh\nprintf '%s' \"$1\" > \"$(pwd)/wine-ran.tmp\"\n"
                                   "mv wine-ran.tmp wine-ran\n";
    fs::permissions(bin / "wine", fs::perms(0755));
    const fs::path program = Write("VovuvAvavar.exe", std::string("MZ\x90\0\x03", 5), false);

    const char* path = std::getenv("PATH");
    ScopedEnv with_bin("PATH", (bin.string() + ":" + (path ? path : "")).c_str());
    EXPECT_EQ(FindWineOnPath(), (bin / "wine").string());
    EXPECT_EQ(ShellExecuteOpen(program.string(), dir_.string()), SHELL_STARTED);
    ASSERT_TRUE(WaitFor(dir_ / "wine-ran"));
    EXPECT_EQ(ReadFile(dir_ / "wine-ran"), program.string());
}

TEST_F(ShellExecuteTest, WindowsProgramWithoutWineIsBadFormat)
{
    const fs::path program = Write("VovuvAvavar.exe", "MZ rest", false);
    EXPECT_EQ(PlanStart(program.string(), "").error, ERROR_BAD_FORMAT);
    const StartPlan with_wine = PlanStart(program.string(), "/opt/wine/bin/wine");
    EXPECT_EQ(with_wine.error, 0);
    EXPECT_EQ(with_wine.program, "/opt/wine/bin/wine");
    EXPECT_EQ(with_wine.argument, program.string());
}

}  // namespace
