// Writing as Windows writes: placement of new lines, in-place replacement,
// every other byte kept. Whole files are compared byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filesafe.h"
#include "profile_calls.h"
#include "test_files.h"
#include "write_batch.h"

using namespace ardmon::test;
using namespace std::string_literals;

namespace {

class ProfileWrite : public ::testing::Test {
protected:
    std::string File(const std::string& bytes)
    {
        WriteFile(path_, bytes);
        return path_;
    }
    std::string Fixture(const char* name)
    {
        return ReadFile(std::string(ARDMON_PROFILE_FIXTURES) + "/" + name);
    }
    TempDir dir_;
    std::string path_ = dir_ / "client.ini";
};

TEST_F(ProfileWrite, MissingFileIsCreatedWithCrlfLines)
{
    EXPECT_TRUE(Put(path_, "sec", "key", "value"));
    EXPECT_TRUE(Put(path_, "sec", "empty", ""));
    EXPECT_EQ(ReadFile(path_), "[sec]\r\nkey=value\r\nempty=\r\n");
}

TEST_F(ProfileWrite, NewSectionGoesAtTheEndAfterABreakIfTheLastLineHasNone)
{
    File("[a]\r\nx=1");
    EXPECT_TRUE(Put(path_, "b", "y", "2"));
    EXPECT_TRUE(Put(path_, "c", "z", "3"));
    EXPECT_EQ(ReadFile(path_), "[a]\r\nx=1\r\n[b]\r\ny=2\r\n[c]\r\nz=3\r\n");
}

TEST_F(ProfileWrite, NewKeysFollowTheSectionsLastKeyInWriteOrder)
{
    File("; head\n[a]\nx=1\nbare\n\n; about b\n[b]\ny=2\n[empty]\n[c]\n");
    EXPECT_TRUE(Put(path_, "A", "new1", "n1"));
    EXPECT_TRUE(Put(path_, "a", "new2", "n2"));
    EXPECT_TRUE(Put(path_, "empty", "e", "1"));  // right after its header
    EXPECT_EQ(ReadFile(path_),
              "; head\n[a]\nx=1\nbare\nnew1=n1\r\nnew2=n2\r\n\n; about b\n[b]\ny=2\n"
              "[empty]\ne=1\r\n[c]\n");
}

TEST_F(ProfileWrite, ExistingValueIsReplacedOnItsLineWithItsSpellingKept)
{
    File("[Sec]\n  Key = old  \nOther=1\n[sec]\nKey=second copy\n[t]\nlast=x");
    EXPECT_TRUE(Put(path_, "SEC", "KEY", "new"));
    EXPECT_TRUE(Put(path_, "t", "last", "y"));
    EXPECT_EQ(ReadFile(path_), "[Sec]\n  Key =new\nOther=1\n[sec]\nKey=second copy\n[t]\nlast=y\r\n");
}

TEST_F(ProfileWrite, SpacesAroundSectionAndKeyGoTheValueIsWrittenAsGiven)
{
    EXPECT_TRUE(Put(path_, "   sec   ", "  key  ", " value "));
    EXPECT_EQ(ReadFile(path_), "[sec]\r\nkey= value \r\n");
    EXPECT_EQ(Get(path_, "sec", "key"), "value");
}

TEST_F(ProfileWrite, WritesThatWouldBreakTheFileAreRefused)
{
    const std::string original = "[s]\r\nk=v\r\n";
    File(original);
    EXPECT_FALSE(Put(path_, "s", "k", "two\r\nlines"));
    EXPECT_FALSE(Put(path_, "s", "a\nb", "v"));
    EXPECT_FALSE(Put(path_, "s]x", "k", "v"));
    EXPECT_FALSE(Put(path_, "s", ";k", "v"));
    EXPECT_FALSE(Put(path_, "s", "[k", "v"));
    EXPECT_FALSE(Put(path_, "s", "a=b", "v"));
    EXPECT_FALSE(Put(path_, "s", "k", nullptr));  // deleting is not offered
    EXPECT_FALSE(Put("", "s", "k", "v"));
    const std::string too_large(ardmon::profile::ProfileDocument::kMaxBytes,
                                'x');  // the file could not be read
    EXPECT_FALSE(Put(path_, "s", "k", too_large.c_str()));
    EXPECT_EQ(ReadFile(path_), original);
    // Characters that mean nothing in those places are written as they are.
    EXPECT_TRUE(Put(path_, "s", "#k", "a;b=c\"'"));
    EXPECT_EQ(Get(path_, "s", "#k"), "a;b=c\"'");
}

TEST_F(ProfileWrite, Utf16leFileStaysUtf16le)
{
    File(Fixture("utf16le.ini"));
    EXPECT_TRUE(Put(path_, "caf\xC9", "price", "5\x80"));  // 0x80 is the euro sign
    EXPECT_TRUE(Put(path_, "New", "k", "\xFC"));
    EXPECT_EQ(ReadFile(path_), Fixture("utf16le_after_write.ini"));
    EXPECT_EQ(Get(path_, "new", "k"), "\xFC");
}

TEST_F(ProfileWrite, NamesOutsideTheCodePageAreNotMistakenForQuestionMarks)
{
    auto utf16 = [](std::u16string_view text) {
        std::string bytes = "\xFF\xFE";
        for (char16_t u : text)
            bytes += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
        return bytes;
    };
    File(utf16(u"[\u6F22]\r\nk=1\r\n\u6F22=2\r\n"));
    EXPECT_EQ(Names(path_), "?\0"s);  // listed as Windows converts it
    EXPECT_EQ(Get(path_, "?", "k"), "<none>");
    EXPECT_TRUE(Put(path_, "?", "?", "3"));
    EXPECT_EQ(ReadFile(path_), utf16(u"[\u6F22]\r\nk=1\r\n\u6F22=2\r\n[?]\r\n?=3\r\n"));
}

TEST_F(ProfileWrite, NulBytesAndJunkOfOtherLinesAreKept)
{
    File(Fixture("nul_junk.ini"));
    EXPECT_TRUE(Put(path_, "s", "n", "new"));
    EXPECT_TRUE(Put(path_, "t", "u", "1"));
    EXPECT_EQ(ReadFile(path_), Fixture("nul_junk_after_write.ini"));
}

TEST_F(ProfileWrite, BatchIsSeenByReadsAndReachesTheFileOnceOnCommit)
{
    const std::string original = "[a]\r\nx=1\r\n";
    File(original);
    int replacements = 0;
    filesafe::ScopedCallHook hook([&](filesafe::Call call, const std::string&) {
        replacements += call == filesafe::Call::kReplace;
        return 0;
    });
    {
        ardmon::profile::WriteBatch batch(path_);
        EXPECT_TRUE(Put(path_, "a", "x", "2"));
        EXPECT_TRUE(Put(path_, "b", "y", "3"));
        EXPECT_TRUE(Put(path_, "A", "X", "4"));  // the later value wins
        EXPECT_EQ(Get(path_, "a", "x"), "4");
        EXPECT_EQ(Names(path_), "a\0b\0"s);
        EXPECT_EQ(ReadFile(path_), original);
        EXPECT_TRUE(batch.Commit());
    }
    EXPECT_EQ(replacements, 1);
    EXPECT_EQ(ReadFile(path_), "[a]\r\nx=4\r\n[b]\r\ny=3\r\n");
    {
        ardmon::profile::WriteBatch dropped(path_);
        EXPECT_TRUE(Put(path_, "a", "x", "5"));
    }
    EXPECT_EQ(ReadFile(path_), "[a]\r\nx=4\r\n[b]\r\ny=3\r\n");
    EXPECT_EQ(replacements, 1);
}

TEST_F(ProfileWrite, WritesOfASectionJustReadGiveWhatCopiedWritesGive)
{
    // Sections with bare lines, comments, blanks around keys and keys twice.
    std::string profile = "; head\r\n";
    for (int s = 0; s < 8; ++s) {
        profile += "[S" + std::to_string(s) + "]\r\n";
        for (int k = 0; k < 500; ++k) {
            if (k % 50 == 7) profile += "bare line\r\n; note\r\n\r\n";
            profile += " Key" + std::to_string(k % 490) + " = v" + std::to_string(s * k) + "\r\n";
        }
    }
    const std::string source = dir_ / "profile.ini";
    WriteFile(source, profile);
    struct Write {
        std::string section, key, value;
    };
    // A section's entries as read, with some written with other values, some
    // twice, some left out and writes to another section in between.
    // Names built by appending (GCC 12 at -O3 warns falsely on "S" + text).
    const auto section_name = [](int s) { return std::string("S").append(std::to_string(s)); };
    auto writes_of = [&](int s) {
        const std::string name = section_name(s);
        const std::string list = Section(source, name.c_str());
        std::vector<Write> writes;
        size_t i = 0;
        for (size_t at = 0; at < list.size(); at = list.find('\0', at) + 1, ++i) {
            const std::string entry = list.substr(at, list.find('\0', at) - at);
            const size_t equals = entry.find('=');
            if (equals == std::string::npos || i == 470) continue;
            writes.push_back({name, entry.substr(0, equals), entry.substr(equals + 1)});
            if (i % 89 == 3) writes.back().value += "x";
            if (i % 101 == 9) writes.push_back({section_name((s + 1) % 9), writes.back().key, "moved"});
            if (i % 103 == 11) writes.push_back(writes.back());
        }
        return writes;
    };
    auto put = [&](const std::vector<Write>& writes) {
        for (const Write& w : writes)
            EXPECT_TRUE(Put(path_, w.section.c_str(), w.key.c_str(), w.value.c_str()));
    };
    for (const std::string& client : {"[S1]\r\nKey5=old\r\n[Own]\r\na=1"s, Fixture("utf16le.ini")}) {
        std::vector<Write> all;  // read before any batch: written as copies
        for (int s = 0; s < 8; ++s) {
            const std::vector<Write> writes = writes_of(s);
            all.insert(all.end(), writes.begin(), writes.end());
        }
        File(client);
        {
            ardmon::profile::WriteBatch copied(path_);
            put(all);
            EXPECT_TRUE(copied.Commit());
        }
        const std::string expected = ReadFile(path_);
        File(client);
        {
            ardmon::profile::WriteBatch followed(path_);
            for (int s = 0; s < 8; ++s)
                put(writes_of(s));  // each right after its section was read
            EXPECT_TRUE(followed.Commit());
        }
        EXPECT_EQ(ReadFile(path_), expected);
        EXPECT_GT(expected.size(), 40000u);  // more than one piece of the writer
    }
}

}  // namespace
