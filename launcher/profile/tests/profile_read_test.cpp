// Reading profile files as Windows reads them.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "profile_cache.h"
#include "profile_calls.h"
#include "profile_document.h"
#include "test_files.h"

using namespace ardmon::test;
using namespace std::string_literals;

namespace {

class ProfileRead : public ::testing::Test {
protected:
    std::string File(const std::string& bytes)
    {
        std::string path = dir_ / "p.ini";
        WriteFile(path, bytes);
        return path;
    }
    std::string Fixture(const char* name) { return std::string(ARDMON_PROFILE_FIXTURES) + "/" + name; }
    TempDir dir_;
};

TEST_F(ProfileRead, LineBreaksAreCrLfOrCrlfAndBlankLinesMeanNothing)
{
    std::string f = File("[a]\rx=1\r\r\n\n[b]\ny=2\r\n[c]\r\nz=3");
    EXPECT_EQ(Names(f), "a\0b\0c\0"s);
    EXPECT_EQ(Get(f, "a", "x"), "1");
    EXPECT_EQ(Get(f, "b", "y"), "2");
    EXPECT_EQ(Get(f, "c", "z"), "3");  // last line without a line break
}

TEST_F(ProfileRead, BlanksAroundNamesKeysAndValuesAreTrimmed)
{
    std::string f = File(" \t[ \tSec \v]  \r\n\t key \t=  a value \t\r\n  bare line  \r\n");
    EXPECT_EQ(Names(f), "Sec\0"s);
    EXPECT_EQ(Section(f, "Sec"), "key=a value\0bare line\0"s);
    EXPECT_EQ(Get(f, "Sec", "key"), "a value");
    // Only spaces are stripped from the arguments.
    EXPECT_EQ(Get(f, "  sec ", " KEY  "), "a value");
    EXPECT_EQ(Get(f, "\tsec", "key"), "<none>");
}

TEST_F(ProfileRead, CommentsAreSemicolonLinesOnly)
{
    std::string f = File("[s]\r\n;c=1\r\n  ; d=2\r\n#k=v\r\nx=a;b\r\n");
    EXPECT_EQ(Section(f, "s"), "#k=v\0x=a;b\0"s);
    EXPECT_EQ(Get(f, "s", ";c"), "<none>");
    EXPECT_EQ(Get(f, "s", "#k"), "v");
    EXPECT_EQ(Get(f, "s", "x"), "a;b");
}

TEST_F(ProfileRead, BareLinesAndEmptyKeys)
{
    std::string f = File("[s]\r\nname3\r\n=val5\r\nk=\r\n");
    EXPECT_EQ(Section(f, "s"), "name3\0=val5\0k=\0"s);
    EXPECT_EQ(Get(f, "s", "name3"), "<none>");
    EXPECT_EQ(Get(f, "s", ""), "val5");
    EXPECT_EQ(Get(f, "s", "k"), "");  // empty, not the default
}

TEST_F(ProfileRead, FirstSectionAndFirstKeyWinButEveryHeaderIsListed)
{
    std::string f = File("[S]\r\nk=1\r\nk=2\r\n[s]\r\nk=3\r\nonly=4\r\n");
    EXPECT_EQ(Names(f), "S\0s\0"s);
    EXPECT_EQ(Get(f, "s", "K"), "1");
    EXPECT_EQ(Get(f, "s", "only"), "<none>");
    EXPECT_EQ(Section(f, "s"), "k=1\0k=2\0"s);
}

TEST_F(ProfileRead, NamesMatchWithoutCaseValuesComeBackAsStored)
{
    std::string f = File("[Caf\xC9]\r\nMiXed=VaLuE\r\n");
    EXPECT_EQ(Get(f, "CAF\xC9", "mixed"), "VaLuE");
    EXPECT_EQ(Get(f, "caf\xE9", "MIXED"), "VaLuE");  // code page 1252 letters fold too
}

TEST_F(ProfileRead, OneOuterPairOfQuotesIsStrippedByStringReadsOnly)
{
    std::string f =
        File("[q]\r\na=  \"  inner  \"  \r\nb=\"mismatch'\r\nc=\"\"double\"\"\r\nd=\"\r\ne='x'\r\n");
    EXPECT_EQ(Get(f, "q", "a"), "  inner  ");
    EXPECT_EQ(Get(f, "q", "b"), "\"mismatch'");
    EXPECT_EQ(Get(f, "q", "c"), "\"double\"");
    EXPECT_EQ(Get(f, "q", "d"), "\"");
    EXPECT_EQ(Get(f, "q", "e"), "x");
    EXPECT_EQ(Section(f, "q"), "a=\"  inner  \"\0b=\"mismatch'\0c=\"\"double\"\"\0d=\"\0e='x'\0"s);
}

TEST_F(ProfileRead, HeadersEndAtTheFirstBracketOrTheLineEnd)
{
    std::string f = File("[a]b]\r\nk=1\r\n[open   \r\nk=2\r\n[t]x=1\r\n");
    EXPECT_EQ(Names(f), "a\0open\0t\0"s);
    EXPECT_EQ(Get(f, "open", "k"), "2");
    EXPECT_EQ(Section(f, "t"), ""s);
}

TEST_F(ProfileRead, LinesBeforeTheFirstHeaderAreUnreachable)
{
    std::string f = File("k=0\r\n[]\r\nk=1\r\n");
    EXPECT_EQ(Get(f, "", "k"), "1");  // the explicit [] section, not the lines above it
    EXPECT_EQ(Names(f), ""s);         // and an empty name is not listed
}

TEST_F(ProfileRead, Utf8BomHidesTheFirstHeaderAsOnWindows)
{
    std::string f = Fixture("utf8_bom.ini");
    EXPECT_EQ(Names(f), "second\0"s);
    EXPECT_EQ(Get(f, "first", "a"), "<none>");
    EXPECT_EQ(Get(f, "second", "b"), "2");
}

TEST_F(ProfileRead, Utf16leFileIsDecodedToCodePage1252)
{
    std::string f = Fixture("utf16le.ini");
    EXPECT_EQ(Names(f), "Caf\xE9\0"s);
    EXPECT_EQ(Get(f, "caf\xC9", "name"), "cr\xE8me");
    EXPECT_EQ(Get(f, "Caf\xE9", "han"), "?");     // not in the code page
    EXPECT_EQ(Get(f, "Caf\xE9", "emoji"), "??");  // one '?' per code unit
}

TEST_F(ProfileRead, NulBytesCutNamesKeysAndValuesAndJunkIsHarmless)
{
    std::string f = Fixture("nul_junk.ini");
    EXPECT_EQ(Names(f), "s\0"s);
    EXPECT_EQ(Get(f, "s", "k"), "val");
    EXPECT_EQ(Get(f, "s", "n"), "ab");
    EXPECT_EQ(Section(f, "s"), "k=val\0n=ab\0\x1a\x7f\x80=\0bin\0"s);
}

TEST_F(ProfileRead, MissingFileReadsAsEmptyWithoutError)
{
    std::string f = dir_ / "none.ini";
    char names[8] = "xxxxxxx";
    EXPECT_EQ(GetPrivateProfileSectionNamesA(names, sizeof names, f.c_str()), 0u);
    EXPECT_EQ(names[0], '\0');
    EXPECT_EQ(names[1], 'x');  // only the first byte is written
    char section[8] = "xxxxxxx";
    EXPECT_EQ(GetPrivateProfileSectionA("s", section, sizeof section, f.c_str()), 0u);
    EXPECT_EQ(std::string(section, 3), "\0\0x"s);
    EXPECT_EQ(Get(f, "s", "k", "  dflt  "), "  dflt");  // trailing spaces of the default go
    EXPECT_EQ(Get(dir_ / "no/folder.ini", "s", "k", nullptr), "");
}

TEST_F(ProfileRead, StringIsCutToSizeMinusOne)
{
    std::string f = File("[s]\r\nfit=" + std::string(99, 'a') + "\r\nlong=" + std::string(150, 'b') +
                         "\r\nq=\"" + std::string(99, 'c') + "\"\r\n");
    EXPECT_EQ(Get(f, "s", "fit"), std::string(99, 'a'));
    EXPECT_EQ(Get(f, "s", "long"), std::string(99, 'b'));
    EXPECT_EQ(Get(f, "s", "q"), std::string(99, 'c'));  // unquoted first, then cut
}

TEST_F(ProfileRead, UnchangedFileIsParsedOnceAndEveryChangeIsSeen)
{
    auto& cache = ardmon::profile::SharedProfileCache();
    std::string f = File("[s]\r\nk=1\r\n");
    // Within the clock tick of its last change a file is read afresh each time.
    EXPECT_EQ(Get(f, "s", "k"), "1");
    WriteFile(f, "[s]\r\nk=2\r\n");  // same size, in place, same tick
    EXPECT_EQ(Get(f, "s", "k"), "2");

    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // a few clock ticks
    EXPECT_EQ(Get(f, "s", "k"), "2");
    size_t parses = cache.parses();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Get(f, "s", "k"), "2");
    EXPECT_EQ(Section(f, "s"), "k=2\0"s);
    EXPECT_EQ(cache.parses(), parses);

    WriteFile(f, "[s]\r\nk=3\r\n");
    EXPECT_EQ(Get(f, "s", "k"), "3");
    std::string other = dir_ / "q.ini";
    WriteFile(other, "[s]\r\nk=4\r\n");
    ASSERT_EQ(std::rename(other.c_str(), f.c_str()), 0);  // replaced by another file
    EXPECT_EQ(Get(f, "s", "k"), "4");
}

// A file of blank lines makes no index: 64 MiB of them are read within a
// few times their size of memory.
TEST(ProfileMemory, BlankLinesCostNothingBeyondTheText)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than any limit";
#else
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(120);  // a child that hangs ends, so the wait below ends too
        std::string text(size_t{64} << 20, '\n');
        long pages = 0;
        std::FILE* statm = std::fopen("/proc/self/statm", "r");
        if (statm == nullptr || std::fscanf(statm, "%ld", &pages) != 1) ::_exit(2);
        std::fclose(statm);
        const rlim_t limit = static_cast<rlim_t>(pages) * ::sysconf(_SC_PAGESIZE) + (rlim_t{256} << 20);
        const struct rlimit cap = {limit, limit};
        if (::setrlimit(RLIMIT_AS, &cap) != 0) ::_exit(2);
        try {
            const auto doc = ardmon::profile::ProfileDocument::FromFileBytes(std::move(text));
            ::_exit(doc.sections().empty() ? 0 : 1);
        } catch (const std::bad_alloc&) {
            ::_exit(1);
        }
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
#endif
}

}  // namespace
