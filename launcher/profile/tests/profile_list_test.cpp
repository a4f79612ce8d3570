// The buffer contract of the two list reads at the launcher's buffer sizes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "private_profile.h"
#include "test_files.h"

using namespace ardmon::test;
using namespace std::string_literals;

namespace {

constexpr char kGuard = '\x5A';

// Section names whose list (each name and its NUL) is exactly length long.
std::vector<std::string> NamesOfListLength(size_t length)
{
    std::vector<std::string> names;
    size_t used = 0;
    int i = 0;
    while (length - used > 20) {
        std::string name = "sect" + std::to_string(100000 + i++);  // 10 characters
        used += name.size() + 1;
        names.push_back(name);
    }
    names.push_back("last" + std::string(length - used - 5, 'z'));
    return names;
}

class ProfileList : public ::testing::Test {
protected:
    // A buffer of size characters with guard bytes after it.
    std::vector<char> Buffer(size_t size) { return std::vector<char>(size + 8, kGuard); }
    void ExpectGuardIntact(const std::vector<char>& buf, size_t size)
    {
        for (size_t i = size; i < buf.size(); ++i)
            ASSERT_EQ(buf[i], kGuard) << "written at " << i;
    }
    TempDir dir_;
};

std::string Joined(const std::vector<std::string>& names)
{
    std::string list;
    for (const auto& n : names)
        list += n + '\0';
    return list;
}

TEST_F(ProfileList, SectionNamesAroundTheOverflowBoundary)
{
    struct Case {
        size_t length;
        DWORD result;
    } cases[] = {{4997, 4997}, {4998, 4998}, {4999, 4998}, {5000, 4998}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        std::vector<std::string> names = NamesOfListLength(c.length);
        std::string file_text;
        for (const auto& n : names)
            file_text += "[" + n + "]\r\n";
        std::string path = dir_ / "names.ini";
        WriteFile(path, file_text);
        std::string list = Joined(names);
        ASSERT_EQ(list.size(), c.length);

        auto buf = Buffer(5000);
        DWORD n = GetPrivateProfileSectionNamesA(buf.data(), 5000, path.c_str());
        EXPECT_EQ(n, c.result);
        ExpectGuardIntact(buf, 5000);
        if (c.length <= 4998) {  // everything, then the closing NUL
            EXPECT_EQ(std::string(buf.data(), c.length + 1), list + '\0');
        } else {  // the first 4998 characters, then two NULs
            EXPECT_EQ(std::string(buf.data(), 5000), list.substr(0, 4998) + "\0\0"s);
        }
    }
}

TEST_F(ProfileList, SectionContentAroundTheOverflowBoundary)
{
    for (size_t length : {15997u, 15998u, 15999u, 16000u}) {
        SCOPED_TRACE(length);
        // Entries "kNNNN=vvv..." of 20 characters with their NUL, and a last one to fit.
        std::string list, file_text = "[s]\r\n";
        for (int i = 0; list.size() + 40 < length; ++i) {
            std::string entry = "k";  // appended: GCC 12 at -O3 takes a chained + for an overlapping copy
            entry.append(std::to_string(1000 + i)).append("=").append(14, 'v');
            list += entry + '\0';
            file_text += entry + "\r\n";
        }
        std::string last = "last=" + std::string(length - list.size() - 6, 'w');
        list += last + '\0';
        file_text += last + "\r\n";
        ASSERT_EQ(list.size(), length);
        std::string path = dir_ / "section.ini";
        WriteFile(path, file_text);

        auto buf = Buffer(16000);
        DWORD n = GetPrivateProfileSectionA("s", buf.data(), 16000, path.c_str());
        EXPECT_EQ(n, length <= 15998 ? length : 15998u);
        ExpectGuardIntact(buf, 16000);
        if (length <= 15998) {
            EXPECT_EQ(std::string(buf.data(), length + 1), list + '\0');
        } else {
            EXPECT_EQ(std::string(buf.data(), 16000), list.substr(0, 15998) + "\0\0"s);
        }
    }
}

TEST_F(ProfileList, CutsAndSmallBuffers)
{
    std::string path = dir_ / "small.ini";
    WriteFile(path, "[s]\r\nab=1\r\nzzz\r\n[t]\r\n");
    auto buf = Buffer(8);
    // "ab=1\0zzz\0" is 9 long: cut after "ab=1\0zz", NUL, NUL.
    EXPECT_EQ(GetPrivateProfileSectionA("s", buf.data(), 8, path.c_str()), 6u);
    EXPECT_EQ(std::string(buf.data(), 8), "ab=1\0z\0\0"s);
    ExpectGuardIntact(buf, 8);
    // A cut just after a string's NUL leaves three NULs.
    buf = Buffer(7);
    EXPECT_EQ(GetPrivateProfileSectionA("s", buf.data(), 7, path.c_str()), 5u);
    EXPECT_EQ(std::string(buf.data(), 7), "ab=1\0\0\0"s);
    // An empty section gives two NULs; sizes 1 and 0 are safe.
    buf = Buffer(4);
    EXPECT_EQ(GetPrivateProfileSectionA("t", buf.data(), 4, path.c_str()), 0u);
    EXPECT_EQ(std::string(buf.data(), 2), "\0\0"s);
    buf = Buffer(1);
    EXPECT_EQ(GetPrivateProfileSectionNamesA(buf.data(), 1, path.c_str()), 0u);
    EXPECT_EQ(buf[0], '\0');
    ExpectGuardIntact(buf, 1);
    EXPECT_EQ(GetPrivateProfileSectionNamesA(buf.data(), 0, path.c_str()), 0u);
    EXPECT_EQ(buf[0], '\0');
}

}  // namespace
