// The stand-in application through the automation layer: opening text files,
// sheet names, ranges, saving in both kinds of file, refusing what a workbook
// file cannot hold, and handing the workbook to the desktop.
#include "standin/Standin.h"
#include "automation/ExcelOperations.h"
#include "automation/Ole.h"
#include "filesafe.h"
#include "standin/SheetRules.h"
#include "step_failure.h"
#include "test_support/ScopedEnv.h"
#include "test_support/TestTable.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

using namespace ledgra;
using namespace ledgra::standin;
using ledgra::test::ReadFile;
using ledgra::test::TempDir;
using ledgra::test::WriteFile;

namespace {

const Variant kOpt = Variant::Optional();

// The application with a workbook opened from a file and its first sheet.
struct Session {
    explicit Session(const std::string& path) {
        EXPECT_EQ(OleInitialize(nullptr), S_OK);
        EXPECT_NE(app.CreateDispatch(kProgId), 0);
        books.AttachDispatch(app.get_Workbooks());
        book.AttachDispatch(
            books.Open(path, kOpt, kOpt, kOpt, kOpt, kOpt, kOpt, kOpt, kOpt, kOpt, kOpt, kOpt, kOpt));
        sheets.AttachDispatch(book.get_Sheets());
        sheet.AttachDispatch(sheets.get_Item(Variant::I2(1)));
    }
    ~Session() {
        sheet.ReleaseDispatch();
        sheets.ReleaseDispatch();
        book.ReleaseDispatch();
        books.ReleaseDispatch();
        app.ReleaseDispatch();
        OleUninitialize();
    }
    IDispatch* Range(const std::string& ref) { return sheet.get_Range(Variant::String(ref), kOpt); }
    Variant Get(DISPID id, COleDispatchDriver& object) {
        Variant v;
        object.InvokeHelper(id, DISPATCH_PROPERTYGET, VT_VARIANT, &v, nullptr);
        return v;
    }
    void SaveAs(const std::string& path, std::int32_t format) {
        sheet.SaveAs(path, Variant::I4(format), kOpt, kOpt, kOpt, kOpt, kOpt, kOpt, kOpt);
    }

    CApplication app;
    CWorkbooks books;
    CWorkbook book;
    CSheets sheets;
    CWorksheet sheet;
};

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

std::string DispatchError(const std::function<void()>& f) {
    try {
        f();
    } catch (const COleDispatchException& e) {
        char code[16];
        std::snprintf(code, sizeof code, "%08X", static_cast<unsigned>(e.m_scError));
        return std::string(code) + " " + e.m_strDescription;
    }
    return "no error";
}

}  // namespace

TEST(SheetRules, NamesReferencesAndNewSheets) {
    EXPECT_EQ(SheetNameFromPath("/tmp/x/Data.xls"), "Data");
    EXPECT_EQ(SheetNameFromPath("/tmp/my.data.xls"), "my.data");
    EXPECT_EQ(SheetNameFromPath("/tmp/a[1]:b.xls"), "a_1__b");
    EXPECT_EQ(SheetNameFromPath("/tmp/'quoted'.xls"), "_quoted_");
    EXPECT_EQ(SheetNameFromPath("/tmp/" + std::string(40, 'x') + ".xls"), std::string(31, 'x'));
    const std::vector<std::string> others{"Data", "Sheet1"};
    EXPECT_EQ(CheckSheetName("data", others), SheetNameProblem::Duplicate);
    EXPECT_EQ(CheckSheetName("", others), SheetNameProblem::Invalid);
    EXPECT_EQ(CheckSheetName("a/b", others), SheetNameProblem::Invalid);
    EXPECT_EQ(CheckSheetName("'a", others), SheetNameProblem::Invalid);
    EXPECT_EQ(CheckSheetName(std::string(32, 'a'), others), SheetNameProblem::Invalid);
    EXPECT_EQ(CheckSheetName(std::string(31, 'a'), others), SheetNameProblem::None);
    EXPECT_EQ(CheckSheetName("HISTORY", others), SheetNameProblem::Reserved);
    // The rules of the file the workbook is saved to: Latin-1 letters compare
    // without case, control character 3 is refused.
    EXPECT_EQ(CheckSheetName("\xC3\x89T\xC3\x89", {"\xC3\xA9t\xC3\xA9"}), SheetNameProblem::Duplicate);
    EXPECT_EQ(CheckSheetName("a\x03", others), SheetNameProblem::Invalid);
    EXPECT_EQ(NextFreeSheetName({"Data"}), "Sheet1");
    EXPECT_EQ(NextFreeSheetName({"sheet1", "Sheet3"}), "Sheet2");

    CellRect rect;
    ASSERT_TRUE(ParseRangeReference("$B$3:a1", rect));
    EXPECT_EQ(rect.firstRow, 0u);
    EXPECT_EQ(rect.lastRow, 2u);
    EXPECT_EQ(rect.lastColumn, 1u);
    std::uint32_t row = 0, column = 0;
    EXPECT_TRUE(ParseCellReference("XFD1048576", row, column));
    EXPECT_EQ(column, 16383u);
    EXPECT_FALSE(ParseCellReference("XFE1", row, column));
    EXPECT_FALSE(ParseCellReference("A0", row, column));
    EXPECT_FALSE(ParseCellReference("A1048577", row, column));
    EXPECT_FALSE(ParseCellReference("", row, column));
    EXPECT_FALSE(ParseCellReference("1A", row, column));
}

TEST(Standin, OpensTextFilesAsOneSheetNamedAfterTheFile) {
    TempDir dir;
    const std::string path = dir / "Trades 2026.csv";
    WriteFile(path, "id,price,\"a, b\"\r\n7,1.5,x\n\n9");
    Session s(path);
    EXPECT_EQ(s.sheet.get_Name(), "Trades 2026");
    CRange all(s.Range("A1:C4"));
    const Variant values = s.Get(dispid::Value, all);
    ASSERT_NE(values.parray(), nullptr);
    const SafeArray& a = *values.parray();
    EXPECT_EQ(a.At(0, 2).bstrVal(), "a, b");
    EXPECT_EQ(a.At(1, 0).dblVal(), 7.0);
    EXPECT_EQ(a.At(1, 1).dblVal(), 1.5);
    EXPECT_EQ(a.At(2, 0).vt(), VT_EMPTY);
    EXPECT_EQ(a.At(3, 0).dblVal(), 9.0);
    EXPECT_EQ(s.app.get_Version(), "16.0");

    // A workbook file is not read as text, and a missing file is reported.
    const std::string xls = dir / "real.xls";
    WriteFile(xls, std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + "rest");
    EXPECT_EQ(DispatchError([&] {
                  CWorkbook other(s.books.Open(xls, kOpt, kOpt, kOpt, kOpt, kOpt, kOpt, kOpt, kOpt, kOpt,
                                               kOpt, kOpt, kOpt));
              }).substr(0, 9),
              "800A03EC ");
    EXPECT_NE(DispatchError([&] {
                  CWorkbook other(s.books.Open(dir / "none.xls", kOpt, kOpt, kOpt, kOpt, kOpt, kOpt, kOpt,
                                               kOpt, kOpt, kOpt, kOpt, kOpt));
              }).find("could not be found"),
              std::string::npos);
}

TEST(Standin, RefusesBadSheetNamesAsTheApplicationDoes) {
    TempDir dir;
    const std::string path = dir / "Data.xls";
    WriteFile(path, "");
    Session s(path);
    EXPECT_EQ(DispatchError([&] { s.sheet.put_Name("a:b"); }),
              "800A03EC You typed an invalid name for a sheet or chart. Make sure that:\n\n"
              "\xE2\x80\xA2 The name that you type does not exceed 31 characters.\n"
              "\xE2\x80\xA2 The name does not contain any of the following characters: : \\ / ? "
              "* [ or ]\n"
              "\xE2\x80\xA2 You did not leave the name blank.");
    EXPECT_EQ(DispatchError([&] { s.sheet.put_Name(std::string(32, 'x')); }).substr(0, 19),
              "800A03EC You typed ");
    s.sheet.put_Name("Data");  // its own name
    s.sheet.put_Name("DATA");
    const Variant after = Variant::Dispatch(s.sheet.m_lpDispatch);
    CWorksheet added(s.sheets.Add(kOpt, after, kOpt, kOpt));
    EXPECT_EQ(added.get_Name(), "Sheet1");
    EXPECT_EQ(DispatchError([&] { added.put_Name("data"); }).substr(0, 30), "800A03EC Cannot rename a sheet");
    CWorksheet second(s.sheets.get_Item(Variant::I2(2)));
    EXPECT_EQ(second.get_Name(), "Sheet1");
    CWorksheet third(s.sheets.Add(kOpt, after, kOpt, kOpt));  // right behind the first again
    EXPECT_EQ(third.get_Name(), "Sheet2");
    CWorksheet middle(s.sheets.get_Item(Variant::I2(2)));
    EXPECT_EQ(middle.get_Name(), "Sheet2");
}

TEST(Standin, RangesTakeA1ReferencesAndResizeFromTheirCorner) {
    TempDir dir;
    const std::string path = dir / "Data.xls";
    WriteFile(path, "");
    Session s(path);
    CRange cell(s.Range("b3"));
    CRange block(cell.get_Resize(Variant::I2(5000), Variant::I2(3)));
    EXPECT_EQ(s.Get(0xEC, block).bstrVal(), "$B$3:$D$5002");
    CRange two(s.sheet.get_Range(Variant::String("C1"), Variant::String("A4")));
    EXPECT_EQ(s.Get(0xEC, two).bstrVal(), "$A$1:$C$4");
    EXPECT_EQ(DispatchError([&] { CRange bad(s.Range("A0")); }),
              "800A03EC Method 'Range' of object '_Worksheet' failed");
    EXPECT_EQ(DispatchError([&] { CRange bad(cell.get_Resize(Variant::I2(0), kOpt)); }),
              "800A03EC Application-defined or object-defined error");
    EXPECT_EQ(DispatchError([&] { two.put_NumberFormat(Variant::String("#,##0")); }),
              "800A03EC Unable to set the NumberFormat property of the Range class");
}

TEST(Standin, SavesAsTextUntilSavedAsAWorkbook) {
    TempDir dir;
    const std::string path = dir / "Data.xls";
    WriteFile(path, "");
    Session s(path);
    CRange cells(s.Range("A1:B2"));
    SafeArray values(2, 2);
    values.At(0, 0) = Variant::String("name, full");
    values.At(0, 1) = Variant::R8(2.5);
    values.At(1, 0) = Variant::Int(7);
    Variant block;
    block.SetArray(std::move(values));
    cells.put_Value(block);
    CRange second(s.Range("B1:B2"));
    second.put_NumberFormat(Variant::String("0.00"));
    s.book.Save();
    EXPECT_EQ(ReadFile(path), "\"name, full\",2.50\r\n7,\r\n");
    s.SaveAs(path, 56);
    EXPECT_EQ(ReadFile(path).substr(0, 4), "\xD0\xCF\x11\xE0");
    const auto size = std::filesystem::file_size(path);
    s.book.Save();  // unchanged: the same file
    EXPECT_EQ(std::filesystem::file_size(path), size);
    EXPECT_EQ(ReadFile(path).substr(0, 4), "\xD0\xCF\x11\xE0");
}

TEST(Standin, WhatAWorkbookFileCannotHoldMakesSaveAsFail) {
    TempDir dir;
    const std::string path = dir / "Data.xls";
    WriteFile(path, "");
    struct Case {
        const char* ref;
        Variant value;
    };
    const std::vector<Case> cases = {
        {"IW1", Variant::Int(1)},
        {"A65537", Variant::Int(1)},
        {"A1", Variant::String(std::string(32768, 'x'))},
        {"A1", Variant::R8(std::numeric_limits<double>::quiet_NaN())},
        {"A1", Variant::R8(std::numeric_limits<double>::infinity())},
    };
    for (const Case& c : cases) {
        Session s(path);
        CRange cell(s.Range(c.ref));
        cell.put_Value(c.value);
        const std::string error = DispatchError([&] { s.SaveAs(path, 56); });
        EXPECT_EQ(error.rfind("800A03EC The workbook cannot be saved as an Excel 97-2003 workbook. ", 0), 0u)
            << c.ref << ": " << error;
        EXPECT_GT(error.size(), 80u) << error;  // says what and where
        EXPECT_EQ(ReadFile(path), "") << "the file is untouched";
    }
}

TEST(Standin, HandsTheSavedWorkbookToTheDesktopWhenTheLastReferenceGoes) {
    TempDir dir;
    const std::string path = dir / "Data.xls";
    std::vector<std::string> opened;
    SetDesktopOpener([&](const std::string& p) { opened.push_back(p); });
    test::ScopedEnv env;
    env.Set("DISPLAY", ":99");
    auto run = [&](bool handOver, const char* flag) {
        if (flag)
            env.Set("LEDGRA_OPEN_WORKBOOK", flag);
        else
            env.Unset("LEDGRA_OPEN_WORKBOOK");
        WriteFile(path, "");
        Session s(path);
        s.SaveAs(path, 56);
        s.app.put_Visible(true);
        s.app.put_UserControl(handOver);
    };
    run(true, nullptr);
    EXPECT_EQ(opened, std::vector<std::string>{path});
    run(true, "0");
    run(false, nullptr);
    EXPECT_EQ(opened.size(), 1u);
    env.Unset("DISPLAY");
    run(true, "1");
    EXPECT_EQ(opened.size(), 1u);
    SetDesktopOpener(nullptr);
}

TEST(Standin, OpensRegularFilesOnly) {
    TempDir dir;
    const std::string fifo = dir / "pipe.xls";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string path = dir / "Data.xls";
    WriteFile(path, "");
    Session s(path);
    auto open = [&](const std::string& name) {
        return DispatchError([&] {
            CWorkbook other(
                s.books.Open(name, kOpt, kOpt, kOpt, kOpt, kOpt, kOpt, kOpt, kOpt, kOpt, kOpt, kOpt, kOpt));
        });
    };
    // Neither waits for a writer nor reads without end.
    EXPECT_EQ(open(fifo), "800A03EC '" + fifo +
                              "' is a device, a pipe or a socket; this application opens "
                              "regular files only.");
    EXPECT_EQ(
        open("/dev/zero"),
        "800A03EC '/dev/zero' is a device, a pipe or a socket; this application opens regular files only.");
    const std::string big = dir / "big.csv";  // sparse: no room taken
    WriteFile(big, "");
    std::filesystem::resize_file(big, (std::uintmax_t{256} << 20) + 1);
    EXPECT_EQ(open(big), "800A03EC '" + big + "' is larger than 256 MB, the most this application opens.");
    EXPECT_EQ(open(dir.path().string()),
              "800A03EC '" + dir.path().string() + "' is a folder; this application opens files only.");
}

// The sheets of a workbook whose save fails are saved beside the chosen file,
// and the failure says where; Save never writes text over it afterwards.
TEST(Standin, AWorkbookThatCannotBeSavedWhereAskedIsSavedBesideIt) {
    TempDir dir;
    const std::string path = dir / "Data.xls";
    WriteFile(path, "");
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);  // what is saved beside it is no more readable
    {
        // The folder refuses the rename: the whole workbook goes beside it.
        Session s(path);
        CRange(s.Range("A1")).put_Value(Variant::String("kept"));
        std::string error;
        {
            filesafe::ScopedCallHook hook([](filesafe::Call call, const std::string& to) {
                return call == filesafe::Call::kReplace && to.find("recovered") == std::string::npos ? EACCES
                                                                                                     : 0;
            });
            error = DispatchError([&] { s.SaveAs(path, 56); });
        }
        EXPECT_EQ(error,
                  "800A03EC The workbook cannot be saved as an Excel 97-2003 workbook. Could not write \"" +
                      path + "\": Permission denied. The whole workbook was saved as \"" +
                      (dir / "Data-recovered.xls") + "\" instead.");
        EXPECT_EQ(ReadFile(path), "");
        EXPECT_EQ(ReadFile(dir / "Data-recovered.xls").substr(0, 4), "\xD0\xCF\x11\xE0");
        EXPECT_EQ(ModeOf(dir / "Data-recovered.xls"), 0600u);
    }
    {
        // A cell the format cannot hold: every sheet as text beside it, all of it.
        Session s(path);
        CRange(s.Range("A1")).put_Value(Variant::R8(2.125));
        const Variant after = Variant::Dispatch(s.sheet.m_lpDispatch);
        CWorksheet added(s.sheets.Add(kOpt, after, kOpt, kOpt));
        CRange(added.get_Range(Variant::String("IW2"), kOpt)).put_Value(Variant::String("far"));
        const std::string error = DispatchError([&] { s.SaveAs(path, 56); });
        EXPECT_NE(error.find("Sheet1!IW2: the cell is right of column IV"), std::string::npos) << error;
        EXPECT_NE(error.find(" Every sheet was saved as comma-separated text instead: \"" +
                             (dir / "Data-recovered-Data.csv") + "\", \"" +
                             (dir / "Data-recovered-Sheet1.csv") + "\"."),
                  std::string::npos)
            << error;
        EXPECT_EQ(ReadFile(dir / "Data-recovered-Data.csv"), "2.125\r\n");
        EXPECT_EQ(ModeOf(dir / "Data-recovered-Data.csv"), 0600u);
        EXPECT_EQ(ReadFile(dir / "Data-recovered-Sheet1.csv"),
                  std::string(256, ',') + "\r\n" + std::string(256, ',') + "far\r\n");
        // Save still means the workbook: it fails again instead of writing one sheet's text.
        EXPECT_NE(DispatchError([&] { s.book.Save(); }), "no error");
        EXPECT_EQ(ReadFile(path), "");
    }
}

// Recovery files are new files: a name already taken (even by a link to
// someone's private file) is skipped for the next free one. They keep every
// text whole, every sheet that can be written is written, and the report
// lists what was saved and what was not. A long chosen name gets shortened
// recovery names, never a failure.
TEST(Standin, RecoveryFilesAreNewAndKeepEverySheetAndTextTheyCan) {
    TempDir dir;
    const std::string path = dir / "Data.xls";
    WriteFile(path, "");
    WriteFile(dir / "private", "secret");
    ASSERT_EQ(::symlink((dir / "private").c_str(), (dir / "Data-recovered-Data.csv").c_str()), 0);
    const std::string longText(40000, 'x');
    {
        Session s(path);
        CRange(s.Range("A1")).put_Value(Variant::String(longText));
        const Variant after = Variant::Dispatch(s.sheet.m_lpDispatch);
        CWorksheet added(s.sheets.Add(kOpt, after, kOpt, kOpt));
        added.put_Name("Bad");
        CRange(added.get_Range(Variant::String("IW1"), kOpt)).put_Value(Variant::String("far"));
        std::string error;
        {
            filesafe::ScopedCallHook hook([](filesafe::Call call, const std::string& to) {
                return call == filesafe::Call::kReplace && to.find("-Bad.csv") != std::string::npos ? ENOSPC
                                                                                                    : 0;
            });
            error = DispatchError([&] { s.SaveAs(path, 56); });
        }
        const std::string kept = dir / "Data-recovered-2-Data.csv";
        EXPECT_NE(error.find(" These sheets were saved as comma-separated text instead: \"" + kept +
                             "\". These sheets could not be saved: \"Bad\" (Could not write \"" +
                             (dir / "Data-recovered-Bad.csv") + "\": No space left on device.)."),
                  std::string::npos)
            << error;
        EXPECT_EQ(ReadFile(kept), longText + "\r\n");
        EXPECT_EQ(ReadFile(dir / "private"), "secret");
        EXPECT_FALSE(std::filesystem::exists(dir / "Data-recovered-Bad.csv"));
    }
    {
        const std::string longPath = dir / (std::string(250, 'L') + ".xls");
        WriteFile(longPath, "");
        Session s(longPath);
        CRange(s.Range("IW1")).put_Value(Variant::String("far"));
        const std::string error = DispatchError([&] { s.SaveAs(longPath, 56); });
        const std::string sheetName(31, 'L');
        const std::string tail = "-recovered-" + sheetName + ".csv";
        const std::string kept = dir / (std::string(255 - tail.size(), 'L') + tail);
        EXPECT_NE(error.find("Every sheet was saved as comma-separated text instead: \"" + kept + "\"."),
                  std::string::npos)
            << error;
        EXPECT_EQ(ReadFile(kept), std::string(256, ',') + "far\r\n");
    }
}

namespace {

// The names of the recovery files a report gives, in quotes.
std::vector<std::string> NamedFiles(const std::string& report, const std::string& dir) {
    std::vector<std::string> names;
    for (std::size_t at = report.find("\"" + dir); at != std::string::npos;
         at = report.find("\"" + dir, at + 1)) {
        const std::size_t end = report.find('"', at + 1);
        const std::string name = report.substr(at + 1, end - at - 1);
        if (name.find("recovered") != std::string::npos) names.push_back(name.substr(dir.size() + 1));
        at = end;
    }
    return names;
}

// A workbook save that fails at each of its system calls, then stops dead
// after each: the chosen file holds its old content or the whole workbook;
// the report names every recovery file left beside it, each whole, and no
// other file is left after a sweep.
TEST(Standin, AWorkbookSaveFailedOrStoppedAtAnyStepLosesNothingAndSaysWhereItIs) {
    TempDir dir;
    const std::string path = dir / "Data.xls";
    std::size_t wholeSize = 0;
    std::string report;
    const auto setup = [&] {
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            std::filesystem::remove(entry.path());
        WriteFile(path, "");
        report.clear();
    };
    const auto run = [&] {
        Session s(path);
        CRange(s.Range("A1")).put_Value(Variant::String("kept"));
        report = DispatchError([&] { s.SaveAs(path, 56); });
        return report == "no error";
    };
    setup();
    ASSERT_TRUE(run());
    wholeSize = ReadFile(path).size();
    const auto whole = [&](const std::string& file) {
        const std::string content = ReadFile(file);
        return content == "kept\r\n" ||
               (content.size() == wholeSize && content.rfind("\xD0\xCF\x11\xE0", 0) == 0);
    };
    const auto check = [&](bool ok) {
        const std::string chosen = ReadFile(path);
        EXPECT_TRUE(chosen.empty() || whole(path)) << chosen.size();
        EXPECT_EQ(ok, !chosen.empty()) << report;
        filesafe::SweepStaleTemporaries(dir.path().string());
        std::vector<std::string> expected = NamedFiles(report, dir.path().string());
        for (const std::string& name : expected) EXPECT_TRUE(whole(dir / name)) << name;
        expected.push_back("Data.xls");
        std::sort(expected.begin(), expected.end());
        std::vector<std::string> present;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            present.push_back(entry.path().filename().string());
        std::sort(present.begin(), present.end());
        EXPECT_EQ(present, expected) << report;
    };
    // Once as it comes, once with the chosen file refused so that every step
    // of the recovery is failed too.
    const filesafe::CallHook refused = [&](filesafe::Call call, const std::string& file) {
        return call == filesafe::Call::kReplace && file == path ? EACCES : 0;
    };
    for (const filesafe::CallHook& always : {filesafe::CallHook(), refused}) {
        setup();
        ASSERT_GT(filesafe::test::CountCalls(run, always), 5);
        filesafe::test::FailEveryStep(
            setup, run,
            [&](const filesafe::test::Step& step, bool ok) {
                SCOPED_TRACE(std::string(filesafe::CallName(step.call)) + " at call " +
                             std::to_string(step.index));
                check(ok);
            },
            always);
        filesafe::test::StopAtEveryStep(
            setup, run,
            [&](const filesafe::test::Step& step) {
                SCOPED_TRACE(std::string(filesafe::CallName(step.call)) + " at call " +
                             std::to_string(step.index));
                const std::string chosen = ReadFile(path);
                EXPECT_TRUE(chosen.empty() || whole(path)) << chosen.size();
                filesafe::SweepStaleTemporaries(dir.path().string());
                for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
                    const std::string name = entry.path().filename().string();
                    // A recovery file reserved but not yet filled is empty.
                    EXPECT_TRUE(name == "Data.xls" || ReadFile(entry.path().string()).empty() ||
                                whole(entry.path().string()))
                        << name;
                }
            },
            always);
    }
}

}  // namespace
