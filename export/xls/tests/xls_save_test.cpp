// SaveBiff8's refusals and failures: the limits of the format are checked
// before anything is written, and a failed write leaves the target as it was.
#include "filesafe.h"
#include "xls/Workbook.h"

#include "test_support/CheckXls.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <functional>
#include <limits>

#include <sys/resource.h>
#include <sys/stat.h>

namespace ledgra::xls {
namespace {

using xlstest::Listing;
using xlstest::ReadFile;
using xlstest::TempDir;
using xlstest::WriteFile;

struct Outcome {
    SaveStatus status;
    std::string description;
    std::string files;  // what the folder holds afterwards
};

Outcome SaveInto(const Workbook& book, const TempDir& dir) {
    SaveResult r = SaveBiff8(book, dir / "Out.xls");
    return {r.status, r.description, Listing(dir.path())};
}

void ExpectRefused(const Workbook& book, SaveStatus status, const std::string& description) {
    TempDir dir;
    Outcome o = SaveInto(book, dir);
    EXPECT_EQ(static_cast<int>(o.status), static_cast<int>(status));
    EXPECT_EQ(o.description, description);
    EXPECT_EQ(o.files, "");  // nothing written, no temporary file left
}

TEST(XlsSave, CellsTheFormatCannotHoldAreNamed) {
    {
        auto book = std::make_unique<Workbook>();
        book->InsertSheet(0, "Data-Sheet1").SetNumber(0, 256, 1);
        ExpectRefused(*book, SaveStatus::ColumnLimitExceeded,
                      "Data-Sheet1!IW1: the cell is right of column IV, the last column an Excel 97-2003 "
                      "workbook can hold.");
    }
    {
        auto book = std::make_unique<Workbook>();
        book->InsertSheet(0, "Data-Sheet1").SetText(65536, 0, "x");
        ExpectRefused(*book, SaveStatus::RowLimitExceeded,
                      "Data-Sheet1!A65537: the cell is below row 65536, the last row an Excel 97-2003 "
                      "workbook can hold.");
    }
    {
        auto book = std::make_unique<Workbook>();
        book->InsertSheet(0, "S").SetText(2, 27, std::string(32768, 'x'));
        ExpectRefused(
            *book, SaveStatus::TextTooLong,
            "S!AB3: the text is longer than 32767 characters, the most an Excel 97-2003 workbook can "
            "hold in a cell.");
    }
    {
        auto book = std::make_unique<Workbook>();
        // 16384 characters outside the BMP are 32768 UTF-16 units.
        std::string wide;
        for (int i = 0; i < 16384; ++i) wide += "\xf0\x9f\x98\x80";
        book->InsertSheet(0, "S").SetText(0, 0, wide);
        ExpectRefused(
            *book, SaveStatus::TextTooLong,
            "S!A1: the text is longer than 32767 characters, the most an Excel 97-2003 workbook can "
            "hold in a cell.");
    }
    for (double bad :
         {std::nan(""), std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()}) {
        auto book = std::make_unique<Workbook>();
        book->InsertSheet(0, "S");
        book->InsertSheet(1, "T").SetNumber(9, 1, bad);
        const std::string what = std::isnan(bad) ? "not a number (NaN)"
                                 : bad > 0       ? "infinite"
                                                 : "minus infinite";
        ExpectRefused(*book, SaveStatus::NumberNotFinite,
                      "T!B10: the number is " + what + ", which an Excel 97-2003 workbook cannot hold.");
    }
}

TEST(XlsSave, TheFirstProblemInRowOrderIsReported) {
    auto book = std::make_unique<Workbook>();
    Worksheet& s = book->InsertSheet(0, "S");
    s.SetNumber(5, 0, std::nan(""));
    s.SetNumber(2, 300, 1);
    ExpectRefused(
        *book, SaveStatus::ColumnLimitExceeded,
        "S!KO3: the cell is right of column IV, the last column an Excel 97-2003 workbook can hold.");
    s.Clear(2, 300);
    ExpectRefused(*book, SaveStatus::NumberNotFinite,
                  "S!A6: the number is not a number (NaN), which an Excel 97-2003 workbook cannot hold.");
    s.SetNumber(5, 0, 1);  // mended: saves
    TempDir dir;
    EXPECT_TRUE(SaveBiff8(*book, dir / "Out.xls"));
}

TEST(XlsSave, SheetNames) {
    auto refused = [](std::vector<std::string> names, const std::string& description) {
        auto book = std::make_unique<Workbook>();
        for (std::size_t i = 0; i < names.size(); ++i) book->InsertSheet(i, names[i]);
        ExpectRefused(*book, SaveStatus::SheetNameInvalid, description);
    };
    refused({"A", ""}, "Sheet 2 has no name.");
    refused({std::string(32, 'n')},
            "Sheet 1 has a name longer than 31 characters: \"" + std::string(32, 'n') + "\".");
    refused({"a/b"},
            "Sheet 1 has a name with a character a sheet name cannot hold (: \\ / ? * [ ]): \"a/b\".");
    refused({"[x]"},
            "Sheet 1 has a name with a character a sheet name cannot hold (: \\ / ? * [ ]): \"[x]\".");
    refused({"'q"}, "Sheet 1 has a name that begins or ends with an apostrophe: \"'q\".");
    refused({"Data", "\xc3\xa9t\xc3\xa9", "DATA"},
            "Sheet 3 has the same name as an earlier sheet: \"DATA\".");
    refused({"\xc3\xa9t\xc3\xa9", "\xc3\x89T\xc3\x89"},
            "Sheet 2 has the same name as an earlier sheet: \"\xc3\x89T\xc3\x89\".");
    ExpectRefused(Workbook(), SaveStatus::NoSheets, "The workbook has no sheets.");

    // 31 characters is fine, counted in UTF-16 units.
    auto book = std::make_unique<Workbook>();
    book->InsertSheet(0, std::string(31, 'n'));
    std::string emoji;
    for (int i = 0; i < 15; ++i) emoji += "\xf0\x9f\x98\x80";
    book->InsertSheet(1, emoji + "x");
    TempDir dir;
    SaveResult r = SaveBiff8(*book, dir / "Out.xls");
    EXPECT_TRUE(r) << r.description;
    book->Sheet(1).SetName(emoji + "xy");
    EXPECT_EQ(static_cast<int>(SaveBiff8(*book, dir / "Out.xls").status),
              static_cast<int>(SaveStatus::SheetNameInvalid));
}

std::unique_ptr<Workbook> SmallBook() {
    auto book = std::make_unique<Workbook>();
    book->InsertSheet(0, "S").SetText(0, 0, "new");
    return book;
}

TEST(XlsSave, UnwritablePlacesFailWithoutLeavingFiles) {
    TempDir dir;
    auto book = SmallBook();
    WriteFile(dir / "plain", "x");
    struct Case {
        std::string path, description;
    } cases[] = {
        {dir / "missing/Out.xls",
         "Could not write \"" + dir / "missing/Out.xls" + "\": No such file or directory."},
        {dir / "plain/Out.xls", "Could not write \"" + dir / "plain/Out.xls" + "\": Not a directory."},
        {dir.path().string(), "Could not write \"" + dir.path().string() + "\": it is a folder."},
    };
    for (const Case& c : cases) {
        SaveResult r = SaveBiff8(*book, c.path);
        EXPECT_EQ(static_cast<int>(r.status), static_cast<int>(SaveStatus::WriteFailed)) << c.path;
        EXPECT_EQ(r.description, c.description);
    }
    EXPECT_EQ(Listing(dir.path()), "plain\n");
}

TEST(XlsSave, AFailedRenameLeavesTheOldFileAndNoTemporary) {
    TempDir dir;
    const std::string path = dir / "Out.xls";
    WriteFile(path, "old workbook");
    SaveResult r;
    {
        filesafe::ScopedCallHook hook([](filesafe::Call call, const std::string&) {
            return call == filesafe::Call::kReplace ? EACCES : 0;
        });
        r = SaveBiff8(*SmallBook(), path);
    }
    EXPECT_EQ(static_cast<int>(r.status), static_cast<int>(SaveStatus::WriteFailed));
    EXPECT_EQ(r.description, "Could not write \"" + path + "\": Permission denied.");
    EXPECT_EQ(ReadFile(path), "old workbook");
    EXPECT_EQ(Listing(dir.path()), "Out.xls\n");
}

// A full disk, played by a file size limit in a child process: the write
// fails part way, the old workbook stays byte for byte, no temporary is left.
TEST(XlsSave, AFullDiskLeavesTheOldFileUntouched) {
    TempDir dir;
    const std::string path = dir / "Out.xls";
    ASSERT_TRUE(SaveBiff8(*SmallBook(), path));
    const std::string before = ReadFile(path);

    auto big = std::make_unique<Workbook>();
    Worksheet& s = big->InsertSheet(0, "S");
    for (std::uint32_t r = 0; r < 20000; ++r)
        for (std::uint32_t c = 0; c < 10; ++c) s.SetNumber(r, c, r * 0.37 + c);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{1 << 20, 1 << 20};
        setrlimit(RLIMIT_FSIZE, &limit);
        SaveResult r = SaveBiff8(*big, path);
        const bool ok = r.status == SaveStatus::WriteFailed &&
                        r.description == "Could not write \"" + path + "\": File too large.";
        if (!ok) std::fprintf(stderr, "status %d: %s\n", static_cast<int>(r.status), r.description.c_str());
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_EQ(Listing(dir.path()), "Out.xls\n");
}

TEST(XlsSave, ReplacingKeepsPermissionsAndLinks) {
    TempDir dir;
    const std::string path = dir / "Out.xls";
    WriteFile(path, "old");
    chmod(path.c_str(), 0640);
    std::filesystem::create_symlink(path, dir / "Link.xls");
    ASSERT_TRUE(SaveBiff8(*SmallBook(), dir / "Link.xls"));
    struct stat st {};
    ASSERT_EQ(lstat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "Link.xls"));
    EXPECT_EQ(ReadFile(path).substr(0, 8), "\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1");
    EXPECT_EQ(Listing(dir.path()), "Link.xls\nOut.xls\n");

    // A new file gets the usual permissions (0666 less the umask).
    const mode_t mask = umask(022);
    ASSERT_TRUE(SaveBiff8(*SmallBook(), dir / "New.xls"));
    umask(mask);
    ASSERT_EQ(stat((dir / "New.xls").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

// Saving again and again with a memo (unchanged sheets read back from the
// previous file) writes exactly what a fresh save of the same workbook writes.
TEST(XlsSave, RepeatedSavesWriteWhatAFreshSaveWrites) {
    TempDir dir;
    const std::string path = dir / "Out.xls", fresh = dir / "Fresh.xls";
    Workbook book;
    SaveMemo memo;
    auto fill = [](Worksheet& sheet, const std::string& tag, std::uint32_t rows) {
        for (std::uint32_t r = 0; r < rows; ++r) {
            sheet.SetText(r, 0, tag + std::to_string(r));
            sheet.SetNumber(r, 1, r * 0.25);
            sheet.SetText(r, 2, r % 2 ? "odd" : "even");
        }
    };
    const struct Step {
        const char* what;
        std::function<void()> change;
    } steps[] = {
        {"a first sheet", [&] { fill(book.InsertSheet(0, "A"), "a", 3000); }},
        {"a second sheet", [&] { fill(book.InsertSheet(1, "B"), "b", 40000); }},
        {"nothing changed", [] {}},
        {"a third sheet", [&] { fill(book.InsertSheet(2, "C"), "c", 10); }},
        {"a cell of the second sheet", [&] { book.Sheet(1).SetText(5, 5, "late"); }},
        {"a sheet before the first", [&] { fill(book.InsertSheet(0, "Z"), "z", 5); }},
        {"the file changed by another program",
         [&] { WriteFile(path, std::string(ReadFile(path).size(), 'x')); }},
        {"a text no cell uses any more", [&] { book.Sheet(0).Clear(0, 0); }},
        {"a fourth sheet", [&] { fill(book.InsertSheet(4, "D"), "d", 5); }},
        {"a text again", [&] { book.Sheet(3).SetText(1, 7, "more"); }},
    };
    for (const Step& step : steps) {
        step.change();
        ASSERT_TRUE(SaveBiff8(book, path, &memo)) << step.what;
        ASSERT_TRUE(SaveBiff8(book, fresh)) << step.what;
        EXPECT_TRUE(ReadFile(path) == ReadFile(fresh)) << step.what;
    }
}

}  // namespace
}  // namespace ledgra::xls
