// WriteToTextFile: the callback contract, the files it writes byte for byte,
// and every way it can end. The save dialog and the message boxes are scripted.
#include <ledgra/LedgraInterface.h>

#include "object/TextExport.h"
#include "step_failure.h"
#include "test_support/ScriptedInteraction.h"
#include "test_support/TestTable.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <memory>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

using ledgra::InteractionCall;
using ledgra::ScopedInteraction;
using ledgra::ScriptedInteraction;
using ledgra::test::CellCall;
using ledgra::test::ReadFile;
using ledgra::test::TempDir;
using ledgra::test::TestTable;

namespace {

class TextExport : public ::testing::Test {
protected:
    // Exports rows x columns of `data` to out.txt (answering the save dialog with it).
    int Export(int rows, int columns) {
        CLedgraInterface table(rows, columns);
        table.InitColumnTextRtn(&TestTable::Callback);
        table.m_pUserData = &data;
        ui.QueueSave(path);
        const int result = table.WriteToTextFile();
        // The export keeps to its own stream and path.
        EXPECT_EQ(table.m_pFile, nullptr);
        EXPECT_EQ(table.m_strFileName, "");
        return result;
    }

    TempDir dir;
    std::string path = dir / "out.txt";
    TestTable data;
    ScriptedInteraction ui;
    ScopedInteraction installed{ui};
};

TEST_F(TextExport, TwoCellsMakeOneLineEndedByCrLf) {
    data.rows = {{"a", "b"}};
    EXPECT_EQ(Export(1, 2), 1);
    EXPECT_EQ(ReadFile(path), "a,b\r\n");
    EXPECT_EQ(data.calls, (std::vector<CellCall>{{1, 0, "", -1}, {1, 1, "a", -1}}));

    ASSERT_EQ(ui.calls.size(), 1u);  // the save dialog only, no message
    const ledgra::SaveDialogRequest& request = ui.calls[0].request;
    EXPECT_EQ(ui.calls[0].kind, InteractionCall::SaveDialog);
    EXPECT_EQ(request.defaultExt, ".txt");
    EXPECT_EQ(request.initialName, "ListLogFile.txt");
    EXPECT_EQ(request.flags, 6u);
    EXPECT_EQ(request.filter, "Text Documents(*.txt)|*.txt; *.txt|All Files (*.*)|*.*||");
}

TEST_F(TextExport, RowsOneToNInOrderWithTheTypePresetEachCall) {
    data.rows = {{"r1c0", "r1c1", "r1c2"}, {"r2c0", "r2c1", "r2c2"}};
    data.mustExist = path;
    EXPECT_EQ(Export(2, 3), 1);
    EXPECT_EQ(ReadFile(path), "r1c0,r1c1,r1c2\r\nr2c0,r2c1,r2c2\r\n");
    EXPECT_EQ(data.calls, (std::vector<CellCall>{{1, 0, "", -1},
                                                 {1, 1, "r1c0", -1},
                                                 {1, 2, "r1c1", -1},
                                                 {2, 0, "r1c2", -1},
                                                 {2, 1, "r2c0", -1},
                                                 {2, 2, "r2c1", -1}}));
    EXPECT_FALSE(data.fileExistedAtFirstCall) << "the file appears only when complete";
}

TEST_F(TextExport, ACellTheCallbackLeavesAloneRepeatsThePreviousText) {
    data.leaveAlone = "?";
    data.rows = {{"?", "x", "?"}, {"?", "y"}};
    EXPECT_EQ(Export(2, 2), 1);
    EXPECT_EQ(ReadFile(path), ",x\r\nx,y\r\n");
}

TEST_F(TextExport, NoRowsGiveAnEmptyFileAndNoColumnsEmptyLines) {
    EXPECT_EQ(Export(0, 5), 1);
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(ReadFile(path), "");
    EXPECT_EQ(Export(-2, 5), 1);
    EXPECT_EQ(ReadFile(path), "");
    EXPECT_EQ(Export(3, 0), 1);
    EXPECT_EQ(ReadFile(path), "\r\n\r\n\r\n");
    EXPECT_EQ(Export(2, -1), 1);
    EXPECT_EQ(ReadFile(path), "\r\n\r\n");
    EXPECT_TRUE(data.calls.empty());
}

TEST_F(TextExport, TextsThatWouldSplitAFieldAreQuoted) {
    data.rows = {{"a,b", "say \"hi\"", "\"q\"", ""}, {"l1\nl2", "cr\r", "plain", "x\"y,z"}};
    EXPECT_EQ(Export(2, 4), 1);
    EXPECT_EQ(ReadFile(path),
              "\"a,b\",say \"hi\",\"\"\"q\"\"\",\r\n"
              "\"l1\nl2\",\"cr\r\",plain,\"x\"\"y,z\"\r\n");
}

TEST_F(TextExport, BytesAreWrittenAsGivenNulAndHighBytesIncluded) {
    data.rows = {{std::string("n\0l", 3), "\xe9t\xc3\xa9"}};
    EXPECT_EQ(Export(1, 2), 1);
    EXPECT_EQ(ReadFile(path), std::string("n\0l,\xe9t\xc3\xa9\r\n", 10));
}

TEST_F(TextExport, AnExistingFileIsReplaced) {
    ledgra::test::WriteFile(path, "an older and much longer content\r\n\r\n");
    data.rows = {{"new"}};
    EXPECT_EQ(Export(1, 1), 1);
    EXPECT_EQ(ReadFile(path), "new\r\n");
}

TEST_F(TextExport, CancelWritesNothingAndAsksForNoCell) {
    CLedgraInterface table(2, 2);
    table.InitColumnTextRtn(&TestTable::Callback);
    table.m_pUserData = &data;
    ui.QueueSaveCancel();
    EXPECT_EQ(table.WriteToTextFile(), 0);
    EXPECT_TRUE(data.calls.empty());
    EXPECT_TRUE(ui.Messages().empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST_F(TextExport, AnUnopenableFileIsReportedBeforeAnyCell) {
    path = dir / "missing-folder/out.txt";
    data.rows = {{"a"}};
    EXPECT_EQ(Export(1, 1), 0);
    ASSERT_EQ(ui.calls.size(), 2u);
    EXPECT_EQ(ui.calls[1].kind, InteractionCall::AfxMessageBox);
    EXPECT_EQ(ui.calls[1].text, "File OPen Failed");
    EXPECT_EQ(ui.calls[1].type, 0u);
    EXPECT_EQ(ui.calls[1].helpId, 0u);
    EXPECT_TRUE(data.calls.empty());
}

#ifndef _WIN32
// A FIFO or a device is refused at once, before any cell is asked for.
TEST_F(TextExport, WhatIsNoRegularFileIsRefusedAtOnce) {
    ASSERT_EQ(::mkfifo((dir / "fifo.txt").c_str(), 0600), 0);
    for (const std::string& chosen : {dir / "fifo.txt", std::string("/dev/null")}) {
        path = chosen;
        ui.calls.clear();
        data.rows = {{"a"}};
        EXPECT_EQ(Export(1, 1), 0);
        EXPECT_EQ(ui.Messages(), std::vector<std::string>{"File OPen Failed"});
        EXPECT_TRUE(data.calls.empty());
    }
}
#endif

#ifndef _WIN32  // a full disk is played with a file size limit
// The old content stays until the new one is complete: a full disk leaves it
// as it was and is reported.
TEST_F(TextExport, AFullDiskKeepsTheOldFileAndIsReported) {
    ledgra::test::WriteFile(path, "old");
    data.rows = {{std::string(5000, 'a'), "b"}};
    EXPECT_TRUE(ledgra::test::OnAFullDisk(1024, [&] {
        return Export(1, 2) == 0 && ui.Messages() == std::vector<std::string>{"File Write Failed"};
    }));
    EXPECT_EQ(ReadFile(path), "old");
    EXPECT_EQ(ledgra::test::Listing(dir.path()), "out.txt\n");
}
#endif

// A text of several blocks is written as it is gathered: whichever step of
// the replacement fails, the old file stays whole and alone, and the failure
// is reported; when none does, the new text is all there.
TEST_F(TextExport, EveryFailedStepOfALargeExportKeepsTheOldFile) {
    std::string expected;
    for (int row = 0; row < 30000; ++row) {
        data.rows.push_back({std::string(88, static_cast<char>('a' + row % 26))});
        if (row == 20000) data.rows.back()[0].assign(2500000, 'L');  // more than a block at once
        expected += data.rows.back()[0] + "\r\n";
    }
    const auto setup = [&] {
        ledgra::test::WriteFile(path, "old");
        ui.calls.clear();
        data.calls.clear();
    };
    const auto run = [&] { return Export(30000, 1) == 1; };
    setup();
    ASSERT_GT(filesafe::test::CountCalls(run), 4);
    filesafe::test::FailEveryStep(setup, run, [&](const filesafe::test::Step& step, bool ok) {
        SCOPED_TRACE(std::string(filesafe::CallName(step.call)) + " at call " + std::to_string(step.index));
        const std::string now = ReadFile(path);
        if (ok) {
            EXPECT_TRUE(now == expected) << now.size();
            EXPECT_TRUE(ui.Messages().empty());
        } else {
            EXPECT_EQ(now, "old");
            EXPECT_EQ(ui.Messages().size(), 1u);
        }
        EXPECT_EQ(ledgra::test::Listing(dir.path()), "out.txt\n");
    });
}

TEST_F(TextExport, NoCallbackStopsBeforeTheDialogWhenThereAreCells) {
    CLedgraInterface table(2, 3);
    ui.QueueSave(path);
    EXPECT_EQ(table.WriteToTextFile(), 0);
    ASSERT_EQ(ui.calls.size(), 1u);
    EXPECT_EQ(ui.calls[0].kind, InteractionCall::AfxMessageBox);
    EXPECT_EQ(ui.calls[0].text, "CallBack Failed");
    EXPECT_EQ(ui.calls[0].type, 0u);
    EXPECT_FALSE(std::filesystem::exists(path));

    // Without cells the callback is not needed: the lines are written.
    CLedgraInterface noColumns(2, 0);
    EXPECT_EQ(noColumns.WriteToTextFile(), 1);
    EXPECT_EQ(ReadFile(path), "\r\n\r\n");
}

TEST_F(TextExport, ANullUserPointerIsPassedOnUnchanged) {
    static void* seen = &seen;
    CLedgraInterface table(1, 1);
    table.InitColumnTextRtn([](void* user, int, int, std::string& text, int*) {
        seen = user;
        text = "z";
        return 0;
    });
    ui.QueueSave(path);
    EXPECT_EQ(table.WriteToTextFile(), 1);
    EXPECT_EQ(seen, nullptr);
    EXPECT_EQ(ReadFile(path), "z\r\n");
}

// Each way a write ends leaves its code, and the text the user was shown, as
// the table's last error.
TEST_F(TextExport, EveryEndingLeavesItsLastError) {
    data.rows = {{"a"}};
    struct Case {
        const char* what;
        int rows;
        bool callback;
        std::string path;  // "" cancels the dialog
        int result;
        int error;
        std::string shown;
    } cases[] = {
        {"written", 1, true, path, 1, LEDGRA_OK, ""},
        {"cancelled", 1, true, "", 0, LEDGRA_CANCELLED, ""},
        {"no callback", 1, false, path, 0, LEDGRA_NO_CALLBACK, "CallBack Failed"},
        {"not opened", 1, true, dir / "missing/out.txt", 0, LEDGRA_OPEN_FAILED, "File OPen Failed"},
    };
    for (const Case& c : cases) {
        CLedgraInterface table(c.rows, 1);
        table.m_nLastError = -1;
        if (c.callback) table.InitColumnTextRtn(&TestTable::Callback);
        table.m_pUserData = &data;
        if (c.path.empty())
            ui.QueueSaveCancel();
        else if (c.callback)  // without one the export stops before the dialog
            ui.QueueSave(c.path);
        EXPECT_EQ(table.WriteToTextFile(), c.result) << c.what;
        EXPECT_EQ(table.m_nLastError, c.error) << c.what;
        EXPECT_EQ(table.m_strLastError, c.shown) << c.what;
    }
}

// Memory running out, or any other failure inside the library, is reported
// as a failed write, never silently.
TEST_F(TextExport, FailuresInsideTheLibraryAreReportedAsAFailedWrite) {
    struct Case {
        bool outOfMemory;
        bool workbook;
        const char* name;
        int error;
    } cases[] = {{true, false, "a.txt", LEDGRA_OUT_OF_MEMORY},
                 {false, false, "b.txt", LEDGRA_WRITE_FAILED},
                 {true, true, "c.csv", LEDGRA_OUT_OF_MEMORY},
                 {false, true, "d.csv", LEDGRA_WRITE_FAILED}};
    for (const Case& c : cases) {
        ledgra_export* table = ledgra_export_create(1, 1);
        static bool outOfMemory;
        outOfMemory = c.outOfMemory;
        ledgra_export_set_cell_text(
            table,
            [](void*, int32_t, int32_t, ledgra_text*, int32_t*) -> int32_t {
                if (outOfMemory) throw std::bad_alloc();
                throw std::runtime_error("internal");
            },
            &data);
        ui.calls.clear();
        ui.QueueSave(dir / c.name);
        EXPECT_EQ(c.workbook ? ledgra_write_to_excel(table) : ledgra_write_to_text_file(table), 0) << c.name;
        const char* shown = nullptr;
        EXPECT_EQ(ledgra_export_last_error(table, &shown), c.error) << c.name;
        EXPECT_STREQ(shown, "File Write Failed") << c.name;
        EXPECT_EQ(ui.Messages(), std::vector<std::string>{"File Write Failed"}) << c.name;
        ledgra_export_destroy(table);
    }
}

// Exports of different tables on different threads at once, while another
// thread keeps installing new interactions: each export answers through the
// interaction it started with (which stays alive) and writes its own file.
TEST(ExportThreads, ExportsRunAtOnceWhileTheInteractionIsReplaced) {
    TempDir dir;
    static thread_local const std::string* t_path;  // the file each thread's dialog answers with
    const auto answer = [](void*, const ledgra_save_dialog_request*, ledgra_text* out) -> int32_t {
        ledgra_text_set(out, t_path->data(), t_path->size());
        return LEDGRA_IDOK;
    };
    const auto cell = [](void* user, int32_t row, int32_t column, ledgra_text* text, int32_t*) -> int32_t {
        const std::string s = *static_cast<const std::string*>(user) + std::to_string(row * 10 + column);
        ledgra_text_set(text, s.data(), s.size());
        return 0;
    };
    int first = 0;
    const ledgra_interaction firstTable{&first, answer, nullptr, nullptr};
    ledgra_set_interaction(&firstTable);
    std::atomic<bool> done{false};
    std::thread installer([&] {
        std::vector<std::unique_ptr<int>> contexts;  // each stays alive, as the header asks
        for (int i = 0; i < 20000 && !done; ++i) {
            contexts.push_back(std::make_unique<int>(0));
            const ledgra_interaction table{contexts.back().get(), answer, nullptr, nullptr};
            ledgra_set_interaction(&table);
            std::this_thread::yield();
        }
    });
    std::vector<std::thread> exporters;
    std::vector<int> written(4, 0);
    std::vector<std::string> paths;
    for (int t = 0; t < 4; ++t) paths.push_back(dir / ("thread" + std::to_string(t) + ".txt"));
    for (int t = 0; t < 4; ++t)
        exporters.emplace_back([&, t] {
            t_path = &paths[static_cast<std::size_t>(t)];
            const std::string name = "t" + std::to_string(t) + "-";
            for (int run = 0; run < 25; ++run) {
                ledgra_export* table = ledgra_export_create(50, 3);
                ledgra_export_set_cell_text(table, cell, const_cast<std::string*>(&name));
                written[static_cast<std::size_t>(t)] += ledgra_write_to_text_file(table);
                ledgra_export_destroy(table);
            }
        });
    for (std::thread& t : exporters) t.join();
    done = true;
    installer.join();
    ledgra_set_interaction(nullptr);
    for (int t = 0; t < 4; ++t) {
        EXPECT_EQ(written[static_cast<std::size_t>(t)], 25) << t;
        const std::string text = ReadFile(dir / ("thread" + std::to_string(t) + ".txt"));
        EXPECT_EQ(text.substr(0, 19), "t" + std::to_string(t) + "-10,t" + std::to_string(t) + "-11,t" +
                                          std::to_string(t) + "-12\r\n")
            << t;
    }
}

}  // namespace

namespace {
int GridCell(void* user, int row, int column, std::string& text, int*) {
    const auto& cells = *static_cast<const std::vector<std::string>*>(user);
    if (row == 7777 && column == 2) {  // one text larger than a buffer block
        text.assign(3000000, 'L');
        return 0;
    }
    text = cells[static_cast<std::size_t>(row * 7 + column) % cells.size()];
    return 0;
}
}  // namespace

TEST(TextRows, TheExportsRowsMatchTheRowHelperAcrossBlocks) {
    // Short, long, quoted and empty texts, enough rows for several buffer blocks.
    std::vector<std::string> cells = {
        "", "HALV", "12.50", "a,b", "\"lead", "mid\"dle", std::string(40, 'x'), std::string(33, ','), "\r\n"};
    // Every length up to 35 plain, and with a separator at each place, among
    // bytes that differ from the separators in one bit (and NUL).
    const std::string fill("x\xac\x8a\x8d\0-+\x0b", 8);
    for (std::size_t n = 1; n <= 35; ++n) {
        std::string plain;
        for (std::size_t i = 0; i < n; ++i) plain += fill[(n * 3 + i) % fill.size()];
        cells.push_back(plain);
        for (std::size_t at = 0; at < n; ++at)
            cells.push_back(plain.substr(0, at) + ",\r\n"[at % 3] + plain.substr(at + 1));
    }
    std::string expected;
    ledgra::TextBuffer buffer;
    std::string text;
    for (int row = 1; row <= 20000; ++row)
        ledgra::AppendRow<std::string>(&GridCell, &cells, row, 9, text, expected);
    // The export's own path: cells copied and checked in one pass while they fit a block.
    ledgra::CallbackCells source(&GridCell, &cells);
    source.AppendRows(1, 20000, 9, buffer);
    ASSERT_EQ(buffer.size(), expected.size());
    TempDir dir;
    std::string error;
    const std::unique_ptr<filesafe::Replacement> file = filesafe::Replacement::Begin(dir / "rows.txt", error);
    ASSERT_TRUE(file) << error;
    EXPECT_TRUE(buffer.CommitTo(*file, error)) << error;
    EXPECT_TRUE(ReadFile(dir / "rows.txt") == expected);
}
