// WriteToExcel against a recording application: the exact requests, the
// callback calls, the save-step reports, cleanup on every way out, the
// fallback to text, and the text branch.
#include <ledgra/LedgraInteraction.h>

#include "automation/Ole.h"
#include "test_support/ScopedEnv.h"
#include "test_support/ScriptedInteraction.h"
#include "test_support/TestTable.h"
#include "workbook/CellConversion.h"
#include "workbook/WorkbookExport.h"
#include "workbook/tests/RecordingApplication.h"
#include "workbook/tests/WorkbookTable.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

using namespace ledgra;
using namespace ledgra::test;

namespace {

const std::string kOpt12 = "OPT, OPT, OPT, OPT, OPT, OPT, OPT, OPT, OPT, OPT, OPT, OPT";
const std::string kOpt7 = "OPT, OPT, OPT, OPT, OPT, OPT, OPT";

class WorkbookExportTest : public ::testing::Test {
protected:
    int Run(ExportTable& table) {
        ScopedInteraction scope(ui);
        return workbook::WriteToExcelWith(table, app.ProgId());
    }
    ExportTable Table(int rows, WorkbookTable& data) {
        ExportTable table(rows, static_cast<int>(data.headers.size()));
        table.cellText = &WorkbookTable::Callback;
        table.userData = &data;
        return table;
    }
    // The requests from the start up to reading the first sheet's name.
    std::vector<std::string> Start(const std::string& path) const {
        return {"Application1 put 558 (BOOL -1)",
                "Application1 get 572 () -> Workbooks1",
                "Workbooks1 method 682 (BSTR '" + path + "', " + kOpt12 + ") -> Workbook1",
                "Workbook1 get 485 () -> Sheets1",
                "Sheets1 get 170 (I2 1) -> Worksheet1",
                "Worksheet1 get 110 () -> 'Data'"};
    }
    static std::vector<std::string> SaveStep(const std::string& sheet, const std::string& path) {
        return {"Application1 get 392 () -> '16.0'", "Application1 put 343 (BOOL 0)",
                sheet + " method 284 (BSTR '" + path + "', I4 56, " + kOpt7 + ")",
                "Application1 put 343 (BOOL -1)"};
    }
    static std::vector<std::string> End() {
        return {"Application1 put 558 (BOOL -1)", "Application1 put 1210 (BOOL -1)",
                "Workbook1 method 283 ()", "Workbook1 put 298 (BOOL -1)"};
    }
    static void Append(std::vector<std::string>& to, const std::vector<std::string>& lines) {
        to.insert(to.end(), lines.begin(), lines.end());
    }
    // The requests in the order they were sent; when each object was released
    // is the holders' business, not the export's.
    static std::vector<std::string> Requests(const std::vector<std::string>& log) {
        std::vector<std::string> requests;
        for (const std::string& line : log)
            if (line.rfind("release ", 0) != 0) requests.push_back(line);
        return requests;
    }
    // Every object that took part (the application, each object it handed
    // out) was released exactly once.
    static void ExpectAllReleased(const std::vector<std::string>& log) {
        std::set<std::string> used;
        std::vector<std::string> released;
        for (const std::string& line : log) {
            if (line.rfind("release ", 0) == 0) {
                released.push_back(line.substr(8));
                continue;
            }
            used.insert(line.substr(0, line.find(' ')));
            const std::size_t arrow = line.rfind(" -> ");
            if (arrow != std::string::npos && line[arrow + 4] != '\'') used.insert(line.substr(arrow + 4));
        }
        std::sort(released.begin(), released.end());
        EXPECT_EQ(released, std::vector<std::string>(used.begin(), used.end()));
    }
    void ExpectCleanState(const ExportTable& table) const {
        EXPECT_EQ(app->liveObjects, 0);
        EXPECT_FALSE(OleIsInitialized());
        EXPECT_TRUE(table.columnTypes.empty());
        EXPECT_EQ(table.columnTypes.capacity(), 0u);
    }

    TempDir dir;
    ScriptedInteraction ui;
    RecordingApplication app;
};

}  // namespace

TEST_F(WorkbookExportTest, NoDataRowsOpenTheWorkbookAndHandItOver) {
    for (int rows : {0, 1}) {
        RecordingApplication fresh("Ledgra.Recording" + std::to_string(rows));
        WorkbookTable data{{"A"}, {1}};
        ExportTable table = Table(rows, data);
        const std::string path = dir / "Data.xls";
        ui.QueueSave(path);
        ScopedInteraction scope(ui);
        ASSERT_EQ(workbook::WriteToExcelWith(table, fresh.ProgId()), 1);
        std::vector<std::string> expected = Start(path);
        Append(expected, End());
        EXPECT_EQ(Requests(fresh->log), expected) << "rows " << rows;
        ExpectAllReleased(fresh->log);
        EXPECT_TRUE(data.calls.empty());
        EXPECT_EQ(fresh->liveObjects, 0);
        EXPECT_FALSE(OleIsInitialized());
        EXPECT_EQ(table.fileName, path);
    }
}

TEST_F(WorkbookExportTest, OneDataRowIsOneSheetOneHeaderAndOneBlock) {
    WorkbookTable data{{"Price", "Code"}, {2, 3}};
    data.cell = [](int, int c) { return c == 0 ? std::string("1.5") : std::string("007"); };
    ExportTable table = Table(2, data);
    const std::string path = dir / "Data.xls";
    ui.QueueSave(path);
    ASSERT_EQ(Run(table), 1);

    std::vector<std::string> expected = Start(path);
    Append(expected, {
                         "Worksheet1 put 110 (BSTR 'Data-Sheet1')",
                         "Worksheet1 get 197 (BSTR 'A1', BSTR 'A2') -> Range1",
                         "Worksheet1 get 197 (BSTR 'A1', BSTR 'A1') -> Range2",
                         "Range1 put 193 (BSTR '0.00')",
                         "Range2 put 6 (BSTR 'Price')",
                         "Worksheet1 get 197 (BSTR 'B1', BSTR 'B2') -> Range3",
                         "Worksheet1 get 197 (BSTR 'B1', BSTR 'B1') -> Range4",
                         "Range3 put 193 (BSTR '@')",
                         "Range4 put 6 (BSTR 'Code')",
                         "Worksheet1 get 197 (BSTR 'A2', OPT) -> Range5",
                         "Range5 get 256 (I2 1, I2 2) -> Range6",
                         "Range6 put 6 (ARRAY 1x2)",
                     });
    Append(expected, SaveStep("Worksheet1", path));
    Append(expected, End());
    EXPECT_EQ(Requests(app->log), expected);
    ExpectAllReleased(app->log);

    ASSERT_EQ(app->blocks.size(), 1u);
    EXPECT_EQ(Describe(app->blocks[0].cells[0]), "R8 1.5");
    EXPECT_EQ(Describe(app->blocks[0].cells[1]), "BSTR '007'");
    ExpectCleanState(table);
    EXPECT_TRUE(ui.Messages().empty());
    // The dialog offered the long filter list: the application is registered.
    ASSERT_EQ(ui.calls.size(), 1u);
    EXPECT_EQ(ui.calls[0].request.filter, workbook::kWorkbookFilter);
    EXPECT_EQ(ui.calls[0].request.defaultExt, "");
    EXPECT_EQ(ui.calls[0].request.initialName, "");
    EXPECT_EQ(ui.calls[0].request.flags, 6u);
}

TEST_F(WorkbookExportTest, BlocksHoldAtMost5000Rows) {
    WorkbookTable data{{"N", "Note"}, {1, 10}};
    ExportTable table = Table(5002, data);
    const std::string path = dir / "Data.xls";
    ui.QueueSave(path);
    ASSERT_EQ(Run(table), 1);

    std::vector<std::string> expected = Start(path);
    Append(expected, {
                         "Worksheet1 put 110 (BSTR 'Data-Sheet1')",
                         "Worksheet1 get 197 (BSTR 'A1', BSTR 'A5002') -> Range1",
                         "Worksheet1 get 197 (BSTR 'A1', BSTR 'A1') -> Range2",
                         "Range2 put 6 (BSTR 'N')",
                         "Worksheet1 get 197 (BSTR 'B1', BSTR 'B5002') -> Range3",
                         "Worksheet1 get 197 (BSTR 'B1', BSTR 'B1') -> Range4",
                         "Range3 put 193 (BSTR 'General')",
                         "Range4 put 6 (BSTR 'Note')",
                         "Worksheet1 get 197 (BSTR 'A2', OPT) -> Range5",
                         "Range5 get 256 (I2 5000, I2 2) -> Range6",
                         "Range6 put 6 (ARRAY 5000x2)",
                         "Worksheet1 get 197 (BSTR 'A5002', OPT) -> Range7",
                         "Range7 get 256 (I2 1, I2 2) -> Range8",
                         "Range8 put 6 (ARRAY 1x2)",
                     });
    Append(expected, SaveStep("Worksheet1", path));
    Append(expected, End());
    EXPECT_EQ(Requests(app->log), expected);
    ExpectAllReleased(app->log);

    ASSERT_EQ(app->blocks.size(), 2u);
    EXPECT_EQ(Describe(app->blocks[0].cells[0]), "INT 0");  // "r1c0" read by atoi
    EXPECT_EQ(Describe(app->blocks[0].cells[1]), "BSTR 'r1c1'");
    EXPECT_EQ(Describe(app->blocks[0].cells[9999]), "BSTR 'r5000c1'");
    EXPECT_EQ(Describe(app->blocks[1].cells[1]), "BSTR 'r5001c1'");

    // The callback: the header row, then rows 1 to 5001 in order, columns in order.
    ASSERT_EQ(data.calls.size(), 2u + 5001u * 2u);
    EXPECT_EQ(data.calls[0].row, 0);
    EXPECT_EQ(data.calls[1].row, 0);
    EXPECT_EQ(data.calls[1].textBefore, "N");  // the header text is not emptied between columns
    for (std::size_t i = 2; i < data.calls.size(); ++i) {
        const WorkbookCall& call = data.calls[i];
        ASSERT_EQ(call.row, static_cast<int>((i - 2) / 2 + 1));
        ASSERT_EQ(call.column, static_cast<int>((i - 2) % 2));
        ASSERT_EQ(call.textBefore, "");
        ASSERT_EQ(call.typeBefore, -1);
    }
    ExpectCleanState(table);
}

TEST_F(WorkbookExportTest, TheRowAfter65534StartsASecondSheetBehindTheFirst) {
    WorkbookTable data{{"Id"}, {4}};
    app->keepBlocks = false;
    ExportTable table = Table(65536, data);
    const std::string path = dir / "Data.xls";
    ui.QueueSave(path);
    ASSERT_EQ(Run(table), 1);

    std::vector<std::string> expected = Start(path);
    // Range objects are numbered in the order they are made.
    int range = 0;
    auto name = [](int n) { return "Range" + std::to_string(n); };
    auto sheetPass = [&](const std::string& sheet, int k, int rows) {
        expected.push_back(sheet + " put 110 (BSTR 'Data-Sheet" + std::to_string(k) + "')");
        expected.push_back(sheet + " get 197 (BSTR 'A1', BSTR 'A" + std::to_string(rows + 1) + "') -> " +
                           name(++range));
        expected.push_back(sheet + " get 197 (BSTR 'A1', BSTR 'A1') -> " + name(++range));
        expected.push_back(name(range) + " put 6 (BSTR 'Id')");
        for (int start = 0; start < rows; start += 5000) {
            const int b = std::min(rows - start, 5000);
            expected.push_back(sheet + " get 197 (BSTR 'A" + std::to_string(start + 2) + "', OPT) -> " +
                               name(++range));
            expected.push_back(name(range) + " get 256 (I2 " + std::to_string(b) + ", I2 1) -> " +
                               name(range + 1));
            ++range;
            expected.push_back(name(range) + " put 6 (ARRAY " + std::to_string(b) + "x1)");
        }
        Append(expected, SaveStep(sheet, path));
    };
    sheetPass("Worksheet1", 1, 65534);
    expected.push_back("Sheets1 method 181 (OPT, DISPATCH Worksheet1, OPT, OPT) -> Worksheet2");
    sheetPass("Worksheet2", 2, 1);
    Append(expected, End());
    EXPECT_EQ(Requests(app->log), expected);
    ExpectAllReleased(app->log);

    // Row 0 for each sheet before its data rows; data rows 1..65535 once each.
    std::vector<int> rows;
    for (const WorkbookCall& call : data.calls) rows.push_back(call.row);
    std::vector<int> expectedRows{0};
    for (int r = 1; r <= 65534; ++r) expectedRows.push_back(r);
    expectedRows.push_back(0);
    expectedRows.push_back(65535);
    EXPECT_EQ(rows, expectedRows);
    ExpectCleanState(table);
}

TEST_F(WorkbookExportTest, TheFilterListFollowsTheRegistryOnEveryCall) {
    WorkbookTable data{{"A"}, {1}};
    ExportTable table = Table(1, data);
    ScopedInteraction scope(ui);
    ui.QueueSaveCancel();
    ui.QueueSaveCancel();
    ui.QueueSaveCancel();
    EXPECT_EQ(workbook::WriteToExcelWith(table, "Ledgra.NotRegistered"), 0);
    EXPECT_EQ(workbook::WriteToExcelWith(table, app.ProgId()), 0);
    EXPECT_EQ(workbook::WriteToExcelWith(table, "Ledgra.NotRegistered"), 0);
    ASSERT_EQ(ui.calls.size(), 3u);
    EXPECT_EQ(ui.calls[0].request.filter, workbook::kTextOnlyFilter);
    EXPECT_EQ(ui.calls[1].request.filter, workbook::kWorkbookFilter);  // not overwritten by the first
    EXPECT_EQ(ui.calls[2].request.filter, workbook::kTextOnlyFilter);
    EXPECT_EQ(std::string(workbook::kTextOnlyFilter).size() + 1, 86u);
    EXPECT_TRUE(app->log.empty());
    EXPECT_TRUE(data.calls.empty());
}

TEST_F(WorkbookExportTest, ChoosingAndCreatingTheFile) {
    WorkbookTable data{{"A"}, {1}};
    ExportTable table = Table(3, data);
    // Cancel: nothing at all.
    ui.QueueSaveCancel();
    EXPECT_EQ(Run(table), 0);
    // A file that cannot be created.
    ui.QueueSave(dir / "missing-folder/Data.xls");
    EXPECT_EQ(Run(table), 0);
    ASSERT_EQ(ui.calls.size(), 3u);
    EXPECT_EQ(ui.calls[2].kind, InteractionCall::MessageBoxA);
    EXPECT_EQ(ui.calls[2].text, "Failed To open File");
    EXPECT_EQ(ui.calls[2].caption, "File Open");
    EXPECT_EQ(ui.calls[2].type, 0u);
#ifndef _WIN32
    // A FIFO chosen as a workbook or as text: refused at once, never opened.
    for (const char* name : {"fifo.xls", "fifo.csv"}) {
        ASSERT_EQ(::mkfifo((dir / name).c_str(), 0600), 0);
        ui.calls.clear();
        ui.QueueSave(dir / name);
        EXPECT_EQ(Run(table), 0);
        EXPECT_EQ(ui.Messages(), std::vector<std::string>{"Failed To open File"});
        std::filesystem::remove(dir / name);
    }
#endif
    // No callback (or no user pointer): an existing file, and every link to
    // it, stays as it was.
    for (bool noUserData : {false, true}) {
        ExportTable bare(3, 1);
        if (noUserData) bare.cellText = &WorkbookTable::Callback;
        const std::string path = dir / (noUserData ? "b.xls" : "a.xls");
        WriteFile(path, "old");
        std::filesystem::create_hard_link(path, path + ".link");
        ui.calls.clear();
        ui.QueueSave(path);
        EXPECT_EQ(Run(bare), 0);
        EXPECT_EQ(ui.Messages(), std::vector<std::string>{"CallBack Failed"});
        EXPECT_EQ(ui.calls.back().kind, InteractionCall::AfxMessageBox);
        EXPECT_EQ(ReadFile(path), "old");
        EXPECT_EQ(ReadFile(path + ".link"), "old");
    }
#ifndef _WIN32
    // A pipe is not opened (opening it would wait for a reader): it cannot be created.
    const std::string pipe = dir / "pipe.xls";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    ui.calls.clear();
    ui.QueueSave(pipe);
    EXPECT_EQ(Run(table), 0);
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{"Failed To open File"});
#endif
    EXPECT_TRUE(app->log.empty());
}

TEST_F(WorkbookExportTest, SaveStepErrorsAreShownOncePerSheetAndTheExportGoesOn) {
    WorkbookTable data{{"Id"}, {1}};
    app->keepBlocks = false;
    data.record = false;
    app->FailOn(284, DISPATCH_METHOD,
                {DISP_E_EXCEPTION, MakeHResult(0x800A03EC), "The workbook is too big.", 0, -1});
    ExportTable table = Table(65536, data);
    ui.QueueSave(dir / "Data.xls");
    ASSERT_EQ(Run(table), 1);
    const std::vector<std::string> reports(2, "Run-time error '1004':\n\nThe workbook is too big.");
    EXPECT_EQ(ui.Messages(), reports);
    EXPECT_EQ(ui.calls[1].caption, "Server Error");
    EXPECT_EQ(ui.calls[1].type, 0x10000u);
    // After each failure DisplayAlerts stays as the failed step left it; the
    // second sheet was still added and filled, and the end steps ran.
    auto count = [&](const std::string& part) {
        return std::count_if(app->log.begin(), app->log.end(),
                             [&](const std::string& l) { return l.find(part) != std::string::npos; });
    };
    EXPECT_EQ(count("put 343 (BOOL 0)"), 2);
    EXPECT_EQ(count("put 343 (BOOL -1)"), 0);
    EXPECT_EQ(count("Worksheet2 put 110 (BSTR 'Data-Sheet2')"), 1);
    EXPECT_EQ(count("Workbook1 method 283 ()"), 1);
    ExpectCleanState(table);
}

TEST_F(WorkbookExportTest, AGeneralErrorInTheSaveStepShowsTheSystemText) {
    WorkbookTable data{{"Id"}, {1}};
    app->FailOn(343, DISPATCH_PROPERTYPUT, {DISP_E_TYPEMISMATCH, 0, "", 0, -1});
    ExportTable table = Table(2, data);
    ui.QueueSave(dir / "Data.xls");
    ASSERT_EQ(Run(table), 1);
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{"Type mismatch."});
    EXPECT_EQ(ui.calls[1].caption, "COM Error");
    EXPECT_EQ(ui.calls[1].type, 0x10000u);
    ExpectCleanState(table);
}

TEST_F(WorkbookExportTest, AnErrorOutsideTheSaveStepLeavesAfterCleanup) {
    WorkbookTable data{{"A", "B"}, {2, 3}};
    app->FailOn(256, DISPATCH_PROPERTYGET, {DISP_E_EXCEPTION, MakeHResult(0x800A03EC), "no room", 1, -1});
    ExportTable table = Table(7000, data);
    ui.QueueSave(dir / "Data.xls");
    try {
        Run(table);
        FAIL() << "the error did not leave WriteToExcel";
    } catch (const COleDispatchException& e) {
        EXPECT_EQ(e.m_strDescription, "no room");
    }
    EXPECT_TRUE(ui.Messages().empty());
    ExpectCleanState(table);
    // The second block's Resize failed: its rows were asked for, no later request was sent.
    const auto failed = std::find(app->log.begin(), app->log.end(), "Range7 get 256 (I2 1999, I2 2) failed");
    ASSERT_NE(failed, app->log.end());
    for (auto it = failed + 1; it != app->log.end(); ++it) EXPECT_EQ(it->rfind("release ", 0), 0u) << *it;
    EXPECT_EQ(data.calls.back().row, 6999);

    // A general error leaves the same way.
    RecordingApplication other("Ledgra.Recording.Other");
    other->FailOn(170, DISPATCH_PROPERTYGET, {DISP_E_BADINDEX, 0, "", 0, -1});
    ui.QueueSave(dir / "Data.xls");
    ScopedInteraction scope(ui);
    EXPECT_THROW(workbook::WriteToExcelWith(table, other.ProgId()), COleException);
    EXPECT_EQ(other->liveObjects, 0);
    EXPECT_FALSE(OleIsInitialized());
}

TEST_F(WorkbookExportTest, WithoutTheApplicationTheUserMayTakeAText) {
    app->failCreate = true;
    WorkbookTable data{{"A"}, {1}};
    ExportTable table = Table(3, data);
    const std::string path = dir / "Data.xls";
    // No: nothing more.
    ui.QueueSave(path);
    ui.QueueAnswer(IDNO);
    EXPECT_EQ(Run(table), 0);
    ASSERT_EQ(ui.calls.size(), 2u);
    EXPECT_EQ(ui.calls[1].kind, InteractionCall::AfxMessageBox);
    EXPECT_EQ(ui.calls[1].text, "Excel not installed in the system.\nDO you want to save as Text file?");
    EXPECT_EQ(ui.calls[1].type, 0x124u);
    ExpectCleanState(table);
    // Yes: the text export with its own dialog: rows 1 to the row count, no header line.
    ui.calls.clear();
    const std::string text = dir / "Data.txt";
    ui.QueueSave(path);
    ui.QueueAnswer(IDYES);
    ui.QueueSave(text);
    EXPECT_EQ(Run(table), 1);
    ASSERT_EQ(ui.calls.size(), 3u);
    EXPECT_EQ(ui.calls[2].request.initialName, "ListLogFile.txt");
    EXPECT_EQ(ReadFile(text), "r1c0\r\nr2c0\r\nr3c0\r\n");
    EXPECT_EQ(ReadFile(path), "");
    ExpectCleanState(table);
}

TEST_F(WorkbookExportTest, AHeaderWithoutACodeGivesAStringColumn) {
    WorkbookTable data{{"Qty", "Name"}, {1, WorkbookTable::kStoreNoCode}};
    data.cell = [](int, int) { return std::string("12"); };
    ExportTable table = Table(2, data);
    ui.QueueSave(dir / "Data.xls");
    ASSERT_EQ(Run(table), 1);
    EXPECT_EQ(data.calls[1].typeBefore, -1);  // preset before the header call
    ASSERT_EQ(app->blocks.size(), 1u);
    EXPECT_EQ(Describe(app->blocks[0].cells[0]), "INT 12");
    EXPECT_EQ(Describe(app->blocks[0].cells[1]), "BSTR '12'");
    for (const std::string& line : app->log) EXPECT_EQ(line.find("put 193"), std::string::npos) << line;
}

TEST_F(WorkbookExportTest, ALongBaseNameIsCutSoTheSheetNameFits) {
    app->firstSheetName = std::string(28, 'n');
    WorkbookTable data{{"A"}, {1}};
    app->keepBlocks = false;
    data.record = false;
    ExportTable table = Table(65536, data);
    ui.QueueSave(dir / "Data.xls");
    ASSERT_EQ(Run(table), 1);
    const std::string base(24, 'n');
    EXPECT_NE(std::find(app->log.begin(), app->log.end(), "Worksheet1 put 110 (BSTR '" + base + "-Sheet1')"),
              app->log.end());
    EXPECT_NE(std::find(app->log.begin(), app->log.end(), "Worksheet2 put 110 (BSTR '" + base + "-Sheet2')"),
              app->log.end());
    EXPECT_EQ(workbook::SheetName("Data", 3), "Data-Sheet3");
    // Cut at a character boundary, counting characters as a sheet name does.
    std::string accents;
    for (int i = 0; i < 30; ++i) accents += "\xC3\xA9";
    EXPECT_EQ(workbook::SheetName(accents, 10), accents.substr(0, 23 * 2) + "-Sheet10");
}

TEST_F(WorkbookExportTest, CellsAreConvertedByTheFirstSheetsCodes) {
    WorkbookTable data{{"I", "D", "L", "T", "G"}, {1, 2, 4, 3, 10}};
    data.laterCodes = {3, 1, 1, 1, 2};
    data.cell = [](int row, int) {
        static const char* const texts[] = {"", "12abc", "abc", "3.5x", " -7", "1e999"};
        return std::string(texts[(row - 1) % 6]);
    };
    app->keepBlocks = false;
    ExportTable table = Table(65536, data);
    ui.QueueSave(dir / "Data.xls");
    app->keepBlocks = true;
    ASSERT_EQ(Run(table), 1);
    ASSERT_EQ(app->blocks.size(), 15u);
    auto rowOf = [&](std::size_t block, std::size_t row) {
        std::vector<std::string> texts;
        for (std::size_t c = 0; c < 5; ++c) texts.push_back(Describe(app->blocks[block].cells[row * 5 + c]));
        return texts;
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(rowOf(0, 0), (V{"BSTR ''", "BSTR ''", "BSTR ''", "BSTR ''", "BSTR ''"}));
    EXPECT_EQ(rowOf(0, 1), (V{"INT 12", "R8 12", "I4 12", "BSTR '12abc'", "BSTR '12abc'"}));
    EXPECT_EQ(rowOf(0, 2), (V{"INT 0", "R8 0", "I4 0", "BSTR 'abc'", "BSTR 'abc'"}));
    EXPECT_EQ(rowOf(0, 3), (V{"INT 3", "R8 3.5", "I4 3", "BSTR '3.5x'", "BSTR '3.5x'"}));
    EXPECT_EQ(rowOf(0, 4), (V{"INT -7", "R8 -7", "I4 -7", "BSTR ' -7'", "BSTR ' -7'"}));
    EXPECT_EQ(rowOf(0, 5), (V{"INT 1", "BSTR '1e999'", "I4 1", "BSTR '1e999'", "BSTR '1e999'"}));
    // Sheet 2 (row 65535 = text 2 of the cycle): formats by the new codes, cells by the old.
    EXPECT_EQ(rowOf(14, 0), (V{"INT 0", "R8 0", "I4 0", "BSTR 'abc'", "BSTR 'abc'"}));
    std::vector<std::string> formats;
    for (const std::string& line : app->log)
        if (line.find(" put 193 ") != std::string::npos) formats.push_back(line);
    EXPECT_EQ(formats, (V{"Range3 put 193 (BSTR '0.00')", "Range7 put 193 (BSTR '@')",
                          "Range9 put 193 (BSTR 'General')",
                          // second sheet (after 10 header and 28 block ranges): codes 3, 1, 1, 1, 2
                          "Range39 put 193 (BSTR '@')", "Range47 put 193 (BSTR '0.00')"}));
    EXPECT_EQ(table.columnTypes.size(), 0u);
}

TEST_F(WorkbookExportTest, ANumberNoCellCanHoldIsSentAsTheTextGiven) {
    const std::vector<std::string> texts{"1e999", "-1e999", "inf", "-Infinity", "nan", "0x1p99999", "1e-999"};
    WorkbookTable data{{"D"}, {2}};
    data.cell = [&](int row, int) { return texts.at(static_cast<std::size_t>(row - 1)); };
    ExportTable table = Table(static_cast<int>(texts.size()) + 1, data);
    ui.QueueSave(dir / "Data.xls");
    ASSERT_EQ(Run(table), 1);
    ASSERT_EQ(app->blocks.size(), 1u);
    std::vector<std::string> sent;
    for (const Variant& cell : app->blocks[0].cells) sent.push_back(Describe(cell));
#ifdef _WIN32
    const char* const hexadecimal = "R8 0";  // the Windows C library reads no hexadecimal numbers
#else
    const char* const hexadecimal = "BSTR '0x1p99999'";
#endif
    EXPECT_EQ(sent, (std::vector<std::string>{"BSTR '1e999'", "BSTR '-1e999'", "BSTR 'inf'",
                                              "BSTR '-Infinity'", "BSTR 'nan'", hexadecimal, "R8 0"}));
}

TEST_F(WorkbookExportTest, AFailedFinalSaveIsReportedAndLeavesTheWorkbookUnsaved) {
    WorkbookTable data{{"Id"}, {1}};
    app->FailOn(283, DISPATCH_METHOD, {DISP_E_EXCEPTION, MakeHResult(0x800A03EC), "Disk full.", 0, -1});
    ExportTable table = Table(2, data);
    ui.QueueSave(dir / "Data.xls");
    ASSERT_EQ(Run(table), 1);
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{"Run-time error '1004':\n\nDisk full."});
    // Not marked as saved: the application still holds the workbook as changed.
    EXPECT_EQ(std::count(app->log.begin(), app->log.end(), "Workbook1 method 283 () failed"), 1);
    EXPECT_EQ(std::count(app->log.begin(), app->log.end(), "Workbook1 put 298 (BOOL -1)"), 0);
    ExpectCleanState(table);
}

TEST_F(WorkbookExportTest, TheVersionDecidesTheFileFormatOrSkipsTheSaveStep) {
    WorkbookTable data{{"A"}, {1}};
    for (const auto& [version, expected] :
         std::vector<std::pair<std::string, std::string>>{{"11.0", "I4 43"}, {"12.0", "I4 56"}, {"", ""}}) {
        RecordingApplication versioned("Ledgra.Recording.V" + version);
        versioned->version = version;
        ExportTable table = Table(2, data);
        ui.QueueSave(dir / "Data.xls");
        ScopedInteraction scope(ui);
        ASSERT_EQ(workbook::WriteToExcelWith(table, versioned.ProgId()), 1);
        const auto saveAs =
            std::find_if(versioned->log.begin(), versioned->log.end(),
                         [](const std::string& l) { return l.find(" 284 ") != std::string::npos; });
        const bool alerts =
            std::any_of(versioned->log.begin(), versioned->log.end(),
                        [](const std::string& l) { return l.find(" 343 ") != std::string::npos; });
        if (expected.empty()) {
            EXPECT_EQ(saveAs, versioned->log.end());
            EXPECT_FALSE(alerts);
        } else {
            ASSERT_NE(saveAs, versioned->log.end());
            EXPECT_NE(saveAs->find(", " + expected + ", "), std::string::npos) << *saveAs;
        }
    }
}

TEST(CellConversion, FollowsTheCLibraryInTheCLocale) {
    using namespace ledgra::workbook;
    EXPECT_EQ(ParseInt("  +42xyz"), 42);
    EXPECT_EQ(ParseInt("\t-0012"), -12);
    EXPECT_EQ(ParseInt("x1"), 0);
    EXPECT_EQ(ParseInt("99999999999"), 2147483647);  // saturates
    EXPECT_EQ(ParseInt("-99999999999"), -2147483647 - 1);
    EXPECT_EQ(ParseLong("2147483648"), 2147483647);
    EXPECT_EQ(ParseDouble(" 3.5"), 3.5);
    EXPECT_EQ(ParseDouble("-.25e1z"), -2.5);
    EXPECT_EQ(ParseDouble("0x1.8p1"), 3.0);
    EXPECT_EQ(ParseDouble("1e-400"), 0.0);
    EXPECT_EQ(ParseDouble("+-1"), 0.0);
    EXPECT_EQ(ParseDouble("."), 0.0);
    EXPECT_EQ(ParseDouble("3,5"), 3.0);
    EXPECT_TRUE(std::isinf(ParseDouble("-1e999")));
    EXPECT_TRUE(std::isnan(ParseDouble("nan")));
}

// Short decimals take a quicker way than other numbers: the two must agree
// to the last bit (and the sign of a zero).
TEST(CellConversion, ShortDecimalsReadAsTheFullConversionReadsThem) {
    std::uint64_t state = 0x9E3779B97F4A7C15u;
    for (int i = 0; i < 50000; ++i) {
        state = state * 6364136223846793005u + 1442695040888963407u;
        // Built by appending: GCC 12 at -O3 takes an insert for an overlapping copy.
        const std::string digits = std::to_string(state >> (state % 50 + 14));
        const std::size_t point = (state >> 7) % (digits.size() + 2);
        std::string text = state & 1 ? "-" : "";
        text.append(digits, 0, point);
        if (point <= digits.size()) text.append(".").append(digits, point);
        double expected = 0;
        std::from_chars(text.data() + (state & 1), text.data() + text.size(), expected);
        if (state & 1) expected = -expected;
        const double ours = ledgra::workbook::ParseDouble(text);
        ASSERT_EQ(std::signbit(ours), std::signbit(expected)) << text;
        ASSERT_EQ(ours, expected) << text;
    }
}

TEST(CellConversion, AGermanHostStillReadsAPoint) {
    // Build a de_DE locale where the system has none installed.
    TempDir locales;
    const std::string command =
        "localedef -i de_DE -f UTF-8 '" + (locales / "de_DE.UTF-8") + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0 && !std::filesystem::exists(locales / "de_DE.UTF-8"))
        GTEST_SKIP() << "localedef cannot build de_DE";
    ScopedEnv env;
    env.Set("LOCPATH", locales.path().string());
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "de_DE cannot be loaded";
    double host = 0;
    std::sscanf("3.5", "%lf", &host);
    const double ours = ledgra::workbook::ParseDouble("3.5");
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(host, 3.0);  // the host's own sscanf stops at the point
    EXPECT_EQ(ours, 3.5);
}

TEST_F(WorkbookExportTest, TheTextBranchWritesEveryRowWithCrLf) {
    WorkbookTable data{{"Name", "Note"}, {3, 3}};
    data.cell = [](int row, int c) {
        return row == 1 ? (c == 0 ? std::string("a,b") : std::string("say \"hi\""))
                        : (c == 0 ? std::string("x") : std::string());
    };
    ExportTable table = Table(3, data);
    for (const char* name : {"out.csv", "out.txt"}) {
        const std::string path = dir / name;
        ui.QueueSave(path);
        ASSERT_EQ(Run(table), 1);
        EXPECT_EQ(ReadFile(path), "Name,Note\r\n\"a,b\",say \"hi\"\r\nx,\r\n") << name;
    }
    EXPECT_TRUE(app->log.empty());
    EXPECT_EQ(data.calls.front().typeBefore, -1);

    // "CSV" is not "csv": the workbook branch.
    ui.QueueSave(dir / "OUT.CSV");
    ASSERT_EQ(Run(table), 1);
    EXPECT_FALSE(app->log.empty());

    // No rows: an empty file.
    ExportTable empty = Table(0, data);
    ui.QueueSave(dir / "empty.csv");
    ASSERT_EQ(Run(empty), 1);
    EXPECT_EQ(ReadFile(dir / "empty.csv"), "");
}

#ifndef _WIN32  // a full disk is played with a file size limit
TEST_F(WorkbookExportTest, TheTextBranchKeepsTheOldFileOnAFullDisk) {
    WorkbookTable data{{"A"}, {1}};
    ExportTable table = Table(2000, data);
    const std::string path = dir / "full.csv";
    WriteFile(path, "old");
    ui.QueueSave(path);
    EXPECT_TRUE(OnAFullDisk(1024, [&] {
        return Run(table) == 0 && ui.Messages() == std::vector<std::string>{"File Write Failed"};
    }));
    EXPECT_EQ(ReadFile(path), "old");
    EXPECT_EQ(Listing(dir.path()), "full.csv\n");
}
#endif

// A table wider than a sheet can be filled starts no application: it is kept
// whole as text beside the chosen file, which stays as it was.
TEST_F(WorkbookExportTest, ATableWiderThanASheetIsKeptAsTextBesideTheFile) {
    WorkbookTable data{std::vector<std::string>(703, "H"), std::vector<int>(703, 1)};
    data.record = false;
    ExportTable table = Table(2, data);
    const std::string path = dir / "Wide.xls";
    WriteFile(path, "old");
    WriteFile(dir / "Wide-recovered.csv", "someone else's");
    ui.QueueSave(path);
    EXPECT_EQ(Run(table), 0);
    const std::string kept = dir / "Wide-recovered-2.csv";
    EXPECT_EQ(ui.Messages(),
              std::vector<std::string>{"The table has 703 columns, more than the 702 a worksheet "
                                       "can be filled with. It was saved as comma-separated text "
                                       "in \"" +
                                       kept + "\" instead."});
    std::string header = "H";
    for (int i = 1; i < 703; ++i) header += ",H";
    EXPECT_EQ(ReadFile(kept).substr(0, header.size() + 2), header + "\r\n");
    EXPECT_EQ(ReadFile(path), "old");
    EXPECT_EQ(ReadFile(dir / "Wide-recovered.csv"), "someone else's");
    EXPECT_TRUE(app->log.empty());
}

TEST(FileExtension, IsTakenFromTheFileNameOnly) {
    EXPECT_EQ(ledgra::workbook::FileExtension("/a/b/Data.csv"), "csv");
    EXPECT_EQ(ledgra::workbook::FileExtension("/a/b.d/Data"), "");
    EXPECT_EQ(ledgra::workbook::FileExtension("/a/Data.tar.txt"), "txt");
    EXPECT_EQ(ledgra::workbook::FileExtension("Data."), "");
}
