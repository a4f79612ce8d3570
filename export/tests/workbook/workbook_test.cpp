// WriteToExcel against a recording application: the exact requests, the
// callback calls, the save-step reports, cleanup on every way out, the
// fallback to text, and the text branch.
#include <ledgra/LedgraInterface.h>

#include "automation/Ole.h"
#include "interaction/ScriptedInteraction.h"
#include "tests/object/TestTable.h"
#include "tests/workbook/RecordingApplication.h"
#include "tests/workbook/WorkbookTable.h"
#include "workbook/CellConversion.h"
#include "workbook/WorkbookExport.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace ledgra;
using namespace ledgra::test;

namespace {

const std::string kOpt12 = "OPT, OPT, OPT, OPT, OPT, OPT, OPT, OPT, OPT, OPT, OPT, OPT";
const std::string kOpt7 = "OPT, OPT, OPT, OPT, OPT, OPT, OPT";

class WorkbookExportTest : public ::testing::Test {
protected:
    int Run(CLedgraInterface& table) {
        ScopedInteraction scope(ui);
        return workbook::WriteToExcelWith(table, app.ProgId());
    }
    CLedgraInterface Table(int rows, WorkbookTable& data) {
        CLedgraInterface table(rows, static_cast<int>(data.headers.size()));
        table.InitColumnTextRtn(&WorkbookTable::Callback);
        table.m_pUserData = &data;
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
    void ExpectCleanState(const CLedgraInterface& table) const {
        EXPECT_EQ(app->liveObjects, 0);
        EXPECT_FALSE(OleIsInitialized());
        EXPECT_TRUE(table.m_arrColumnTypes.empty());
        EXPECT_EQ(table.m_arrColumnTypes.capacity(), 0u);
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
        CLedgraInterface table = Table(rows, data);
        const std::string path = dir / "Data.xls";
        ui.QueueSave(path);
        ScopedInteraction scope(ui);
        ASSERT_EQ(workbook::WriteToExcelWith(table, fresh.ProgId()), 1);
        std::vector<std::string> expected = Start(path);
        Append(expected, End());
        Append(expected, {"release Worksheet1", "release Sheets1", "release Workbook1",
                          "release Workbooks1", "release Application1"});
        EXPECT_EQ(fresh->log, expected) << "rows " << rows;
        EXPECT_TRUE(data.calls.empty());
        EXPECT_EQ(fresh->liveObjects, 0);
        EXPECT_FALSE(OleIsInitialized());
        EXPECT_EQ(table.m_strFileName, path);
    }
}

TEST_F(WorkbookExportTest, OneDataRowIsOneSheetOneHeaderAndOneBlock) {
    WorkbookTable data{{"Price", "Code"}, {2, 3}};
    data.cell = [](int, int c) { return c == 0 ? std::string("1.5") : std::string("007"); };
    CLedgraInterface table = Table(2, data);
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
        "release Range1",
        "Worksheet1 get 197 (BSTR 'B1', BSTR 'B1') -> Range4",
        "release Range2",
        "Range3 put 193 (BSTR '@')",
        "Range4 put 6 (BSTR 'Code')",
        "Worksheet1 get 197 (BSTR 'A2', OPT) -> Range5",
        "release Range3",
        "Range5 get 256 (I2 1, I2 2) -> Range6",
        "release Range5",
        "Range6 put 6 (ARRAY 1x2)",
    });
    Append(expected, SaveStep("Worksheet1", path));
    expected.push_back("release Worksheet1");
    Append(expected, End());
    Append(expected, {"release Range4", "release Range6", "release Sheets1", "release Workbook1",
                      "release Workbooks1", "release Application1"});
    EXPECT_EQ(app->log, expected);

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
    CLedgraInterface table = Table(5002, data);
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
        "release Range1",
        "Worksheet1 get 197 (BSTR 'B1', BSTR 'B1') -> Range4",
        "release Range2",
        "Range3 put 193 (BSTR 'General')",
        "Range4 put 6 (BSTR 'Note')",
        "Worksheet1 get 197 (BSTR 'A2', OPT) -> Range5",
        "release Range3",
        "Range5 get 256 (I2 5000, I2 2) -> Range6",
        "release Range5",
        "Range6 put 6 (ARRAY 5000x2)",
        "Worksheet1 get 197 (BSTR 'A5002', OPT) -> Range7",
        "release Range6",
        "Range7 get 256 (I2 1, I2 2) -> Range8",
        "release Range7",
        "Range8 put 6 (ARRAY 1x2)",
    });
    Append(expected, SaveStep("Worksheet1", path));
    expected.push_back("release Worksheet1");
    Append(expected, End());
    Append(expected, {"release Range4", "release Range8", "release Sheets1", "release Workbook1",
                      "release Workbooks1", "release Application1"});
    EXPECT_EQ(app->log, expected);

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
    CLedgraInterface table = Table(65536, data);
    const std::string path = dir / "Data.xls";
    ui.QueueSave(path);
    ASSERT_EQ(Run(table), 1);

    std::vector<std::string> expected = Start(path);
    // Range objects are numbered in the order they are made; rangeHeld and
    // cellHeld are what the export's two range holders hold.
    int range = 0, rangeHeld = 0, cellHeld = 0;
    auto name = [](int n) { return "Range" + std::to_string(n); };
    auto hold = [&](int& holder, int object) {
        if (holder) expected.push_back("release " + name(holder));
        holder = object;
    };
    auto sheetPass = [&](const std::string& sheet, int k, int rows) {
        expected.push_back(sheet + " put 110 (BSTR 'Data-Sheet" + std::to_string(k) + "')");
        expected.push_back(sheet + " get 197 (BSTR 'A1', BSTR 'A" + std::to_string(rows + 1) +
                           "') -> " + name(++range));
        hold(rangeHeld, range);
        expected.push_back(sheet + " get 197 (BSTR 'A1', BSTR 'A1') -> " + name(++range));
        hold(cellHeld, range);
        expected.push_back(name(cellHeld) + " put 6 (BSTR 'Id')");
        for (int start = 0; start < rows; start += 5000) {
            const int b = std::min(rows - start, 5000);
            expected.push_back(sheet + " get 197 (BSTR 'A" + std::to_string(start + 2) +
                               "', OPT) -> " + name(++range));
            hold(rangeHeld, range);
            expected.push_back(name(range) + " get 256 (I2 " + std::to_string(b) + ", I2 1) -> " +
                               name(range + 1));
            ++range;
            hold(rangeHeld, range);
            expected.push_back(name(range) + " put 6 (ARRAY " + std::to_string(b) + "x1)");
        }
        Append(expected, SaveStep(sheet, path));
    };
    sheetPass("Worksheet1", 1, 65534);
    Append(expected, {"Sheets1 method 181 (OPT, DISPATCH Worksheet1, OPT, OPT) -> Worksheet2",
                      "release Worksheet1"});
    sheetPass("Worksheet2", 2, 1);
    expected.push_back("release Worksheet2");
    Append(expected, End());
    Append(expected, {"release " + name(cellHeld), "release " + name(rangeHeld),
                      "release Sheets1", "release Workbook1", "release Workbooks1",
                      "release Application1"});
    EXPECT_EQ(app->log, expected);

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
