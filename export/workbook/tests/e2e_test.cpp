// WriteToExcel end to end with the stand-in application: the workbook it
// saves, read back by python xlrd and by Gnumeric's ssconvert.
#include <ledgra/LedgraInterface.h>

#include "automation/Ole.h"
#include "filesafe.h"
#include "test_support/ScriptedInteraction.h"
#include "test_support/TestTable.h"
#include "workbook/tests/WorkbookTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

using namespace ledgra;
using namespace ledgra::test;

namespace {

// Runs a shell command; its standard output, and whether it succeeded.
bool RunCommand(const std::string& command, std::string& output) {
    output.clear();
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return false;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    return ::pclose(pipe) == 0;
}

std::string Xlrd(const std::string& path, const std::string& errors, int limit = 20) {
    std::string output;
    EXPECT_TRUE(RunCommand("/usr/bin/python3 '" XLS_CHECKER "' rows '" + path + "' " + std::to_string(limit) +
                               " 2>'" + errors + "'",
                           output))
        << ReadFile(errors);
    EXPECT_EQ(ReadFile(errors), "") << "xlrd warned";
    return output;
}

int Export(CLedgraInterface& table, const std::string& path) {
    ScriptedInteraction ui;
    ScopedInteraction scope(ui);
    ui.QueueSave(path);
    const int result = table.WriteToExcel();
    EXPECT_TRUE(ui.Messages().empty()) << ui.Messages().front();
    return result;
}

}  // namespace

TEST(WorkbookEndToEnd, TypesFormatsAndHeaderAsTheReadersSeeThem) {
    TempDir dir;
    WorkbookTable data{{"Id", "Price", "Code", "Qty", "Note", "Misc"}, {1, 2, 3, 4, 10, -1}};
    data.cell = [](int row, int column) -> std::string {
        static const char* const rows[][6] = {
            {"1", "12.5", "007", "100000", "first", "x"},
            {"12abc", "3.5x", "", "-3", "say \"hi\", twice", ""},
            {"", "abc", "0042", "", "", "1,5"},
        };
        return rows[row - 1][column];
    };
    CLedgraInterface table(4, 6);
    table.InitColumnTextRtn(&WorkbookTable::Callback);
    table.m_pUserData = &data;
    const std::string path = dir / "Data.xls";
    ASSERT_EQ(Export(table, path), 1);
    EXPECT_FALSE(OleIsInitialized());

    EXPECT_EQ(Xlrd(path, dir / "xlrd.err"),
              "sheet Data-Sheet1 4x6\n"
              "0: text:'Id':General | text:'Price':0.00 | text:'Code':@ | text:'Qty':General | "
              "text:'Note':General | text:'Misc':General\n"
              "1: number:1.0:General | number:12.5:0.00 | text:'007':@ | number:100000.0:General | "
              "text:'first':General | text:'x':General\n"
              // An emptied cell in a formatted column keeps its format.
              "2: number:12.0:General | number:3.5:0.00 | blank:'':@ | number:-3.0:General | "
              "text:'say \"hi\", twice':General | empty\n"
              "3: empty | number:0.0:0.00 | text:'0042':@ | empty | empty | text:'1,5':General\n");

    std::string output;
    const std::string csv = dir / "sheet_%s.csv";
    ASSERT_TRUE(RunCommand("ssconvert -S '" + path + "' '" + csv + "' 2>&1", output)) << output;
    EXPECT_EQ(output, "");
    EXPECT_EQ(ReadFile(dir / "sheet_Data-Sheet1.csv"),
              "Id,Price,Code,Qty,Note,Misc\n"
              "1,12.5,007,100000,first,x\n"
              "12,3.5,,-3,\"say \"\"hi\"\", twice\",\n"
              ",0,0042,,,\"1,5\"\n");
    // As displayed, with the number formats applied.
    const std::string shown = dir / "shown.csv";
    ASSERT_TRUE(
        RunCommand("ssconvert -T Gnumeric_stf:stf_assistant -O 'format=preserve separator=, "
                   "sheet=Data-Sheet1' '" +
                       path + "' '" + shown + "' 2>&1",
                   output))
        << output;
    EXPECT_EQ(output, "");
    EXPECT_EQ(ReadFile(shown),  // Gnumeric shows a negative number with U+2212
              "Id,Price,Code,Qty,Note,Misc\n"
              "1,12.50,007,100000,first,x\n"
              "12,3.50,,\xE2\x88\x92"
              "3,\"say \"\"hi\"\", twice\",\n"
              ",0.00,0042,,,\"1,5\"\n");
}

// A chosen file with content (a workbook saved before, with a second name)
// is replaced only by the complete new workbook, whose sheets are still
// named after it; the other name keeps what it held.
TEST(WorkbookEndToEnd, AnExistingWorkbookIsReplacedWholeAndNamesTheSheets) {
    TempDir dir;
    WorkbookTable data{{"Row"}, {1}};
    data.cell = [](int row, int) { return std::to_string(row); };
    CLedgraInterface table(2, 1);
    table.InitColumnTextRtn(&WorkbookTable::Callback);
    table.m_pUserData = &data;
    const std::string path = dir / "Book.xls";
    WriteFile(path, "last week's book");
    std::filesystem::create_hard_link(path, dir / "Archive.xls");
    ASSERT_EQ(Export(table, path), 1);
    EXPECT_EQ(Xlrd(path, dir / "xlrd.err"),
              "sheet Book-Sheet1 2x1\n0: text:'Row':General\n1: number:1.0:General\n");
    EXPECT_EQ(ReadFile(dir / "Archive.xls"), "last week's book");
    EXPECT_EQ(Listing(dir.path()), "Archive.xls\nBook.xls\nxlrd.err\n");
}

TEST(WorkbookEndToEnd, The65535thDataRowGoesToASecondSheetUnderItsOwnHeader) {
    TempDir dir;
    WorkbookTable data{{"Row", "Value"}, {1, 2}};
    data.record = false;
    data.cell = [](int row, int column) {
        return column == 0 ? std::to_string(row) : std::to_string(row) + ".25";
    };
    CLedgraInterface table(65536, 2);
    table.InitColumnTextRtn(&WorkbookTable::Callback);
    table.m_pUserData = &data;
    const std::string path = dir / "Data.xls";
    ASSERT_EQ(Export(table, path), 1);

    EXPECT_EQ(Xlrd(path, dir / "xlrd.err", 4),
              "sheet Data-Sheet1 65535x2\n"
              "0: text:'Row':General | text:'Value':0.00\n"
              "1: number:1.0:General | number:1.25:0.00\n"
              "65533: number:65533.0:General | number:65533.25:0.00\n"
              "65534: number:65534.0:General | number:65534.25:0.00\n"
              "sheet Data-Sheet2 2x2\n"
              "0: text:'Row':General | text:'Value':0.00\n"
              "1: number:65535.0:General | number:65535.25:0.00\n");

    std::string output;
    ASSERT_TRUE(RunCommand("ssconvert -S '" + path + "' '" + (dir / "s_%n.csv") + "' 2>&1", output))
        << output;
    EXPECT_EQ(output, "");
    EXPECT_EQ(ReadFile(dir / "s_1.csv"), "Row,Value\n65535,65535.25\n");
    const std::string first = ReadFile(dir / "s_0.csv");
    EXPECT_EQ(std::count(first.begin(), first.end(), '\n'), 65535);
    EXPECT_EQ(first.substr(first.size() - 15), "65534,65534.25\n");
}

// Through the C++ class each cell starts from the text the contract gives it
// (the library's, which it empties for the data rows), not the C++ callback's
// own last one.
TEST(WorkbookEndToEnd, TheCallbackSeesTheTextsTheWriterGivesIt) {
    TempDir dir;
    WorkbookTable data{{"Id", "Name"}, {1, 3}};
    CLedgraInterface table(3, 2);
    table.InitColumnTextRtn(&WorkbookTable::Callback);
    table.m_pUserData = &data;
    ASSERT_EQ(Export(table, dir / "Texts.xls"), 1);
    std::vector<std::string> before;
    for (const WorkbookCall& call : data.calls) before.push_back(call.textBefore);
    EXPECT_EQ(before, (std::vector<std::string>{"", "Id", "", "", "", ""}));
}

// Neither the chosen file nor any file beside it can be written: the table is
// saved nowhere, and the result says so.
TEST(WorkbookEndToEnd, WhenNothingCanBeWrittenTheExportFails) {
    TempDir dir;
    WorkbookTable data{{"Row"}, {1}};
    data.record = false;
    data.cell = [](int row, int) { return std::to_string(row); };
    CLedgraInterface table(3, 1);
    table.InitColumnTextRtn(&WorkbookTable::Callback);
    table.m_pUserData = &data;
    ScriptedInteraction ui;
    ScopedInteraction scope(ui);
    ui.QueueSave(dir / "Data.xls");
    int result = -1;
    {
        filesafe::ScopedCallHook hook([](filesafe::Call call, const std::string&) {
            return call == filesafe::Call::kReplace ? ENOSPC : 0;
        });
        result = table.WriteToExcel();
    }
    EXPECT_EQ(result, 0);
    ASSERT_EQ(ui.Messages().size(), 2u);  // the save step and the final save
    EXPECT_EQ(table.m_nLastError, LEDGRA_WRITE_FAILED);
    EXPECT_EQ(table.m_strLastError, ui.Messages().back());
    EXPECT_NE(table.m_strLastError.find("Nothing could be saved beside it either"), std::string::npos)
        << table.m_strLastError;
    EXPECT_FALSE(std::filesystem::exists(dir / "Data.xls")) << "the file the export made is not left empty";
}

TEST(WorkbookEndToEnd, ANumberNoCellCanHoldIsKeptAsTheTextGiven) {
    TempDir dir;
    WorkbookTable data{{"Price"}, {2}};
    data.cell = [](int row, int) {
        return std::vector<std::string>{"1e999", "-inf", "nan", "2.5"}.at(row - 1);
    };
    CLedgraInterface table(5, 1);
    table.InitColumnTextRtn(&WorkbookTable::Callback);
    table.m_pUserData = &data;
    const std::string path = dir / "Data.xls";
    ASSERT_EQ(Export(table, path), 1);  // no message: every save succeeded
    EXPECT_EQ(Xlrd(path, dir / "xlrd.err"),
              "sheet Data-Sheet1 5x1\n"
              "0: text:'Price':0.00\n"
              "1: text:'1e999':0.00\n"
              "2: text:'-inf':0.00\n"
              "3: text:'nan':0.00\n"
              "4: number:2.5:0.00\n");
}

// The chosen file cannot be replaced: every sheet still reaches the user, in a
// workbook beside it that each report names.
TEST(WorkbookEndToEnd, WhenTheChosenFileCannotBeWrittenEverySheetIsSavedBesideIt) {
    TempDir dir;
    WorkbookTable data{{"Row"}, {1}};
    data.record = false;
    data.cell = [](int row, int) { return std::to_string(row); };
    CLedgraInterface table(65537, 1);
    table.InitColumnTextRtn(&WorkbookTable::Callback);
    table.m_pUserData = &data;
    const std::string path = dir / "Data.xls";
    const std::string recovered = dir / "Data-recovered.xls";

    ScriptedInteraction ui;
    ScopedInteraction scope(ui);
    ui.QueueSave(path);
    int result = 0;
    {
        filesafe::ScopedCallHook hook([](filesafe::Call call, const std::string& to) {
            return call == filesafe::Call::kReplace && to.find("recovered") == std::string::npos ? EACCES : 0;
        });
        result = table.WriteToExcel();
    }
    ASSERT_EQ(result, 1);
    const std::string report =
        "Run-time error '1004':\n\nThe workbook cannot be saved as an Excel 97-2003 workbook. "
        "Could not write \"" +
        path + "\": Permission denied. The whole workbook was saved as \"" + recovered + "\" instead.";
    EXPECT_EQ(ui.Messages(),
              std::vector<std::string>(2, report));  // once per sheet; the final save succeeded
    EXPECT_EQ(ReadFile(path), "");                   // never one sheet's text
    EXPECT_EQ(table.m_nLastError, LEDGRA_SAVED_AS_RECOVERY);
    EXPECT_EQ(table.m_strLastError, report);
    EXPECT_EQ(Xlrd(recovered, dir / "xlrd.err", 2),
              "sheet Data-Sheet1 65535x1\n"
              "0: text:'Row':General\n"
              "65534: number:65534.0:General\n"
              "sheet Data-Sheet2 3x1\n"
              "0: text:'Row':General\n"
              "2: number:65536.0:General\n");
}
