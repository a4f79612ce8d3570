// The demo terminal's logic: the blotter's callback as Ledgra sees it, the
// load record, the options, and a real text export through the library.
#include "blotter.h"
#include "blotter_export.h"
#include "client_ini.h"
#include "options.h"
#include "scripted_interaction.h"

#include <ledgra/LedgraInteraction.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace fs = std::filesystem;
using namespace terminal;

namespace {

fs::path ScratchDir(const std::string& name) {
    fs::path dir = fs::temp_directory_path() / ("halvo-terminal-" + name + "-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace

TEST(TerminalCallback, HeaderRowGivesTitlesAndTypeCodes) {
    BlotterSource source{10};
    const std::map<int, std::pair<std::string, int>> expected{
        {0, {"Instrument", 3}}, {1, {"Side", 10}},   {2, {"Quantity", 1}}, {3, {"Price", 2}},
        {4, {"Value", 2}},      {5, {"Status", 10}}, {6, {"Time", 3}}};
    for (const auto& [column, want] : expected) {
        std::string text = "left over";
        int type = -1;
        BlotterColumnText(&source, 0, column, text, &type);
        EXPECT_EQ(text, want.first);
        EXPECT_EQ(type, want.second) << want.first;
    }
}

TEST(TerminalCallback, DataRowsAreTradesFromOneAndAlwaysAssignTheText) {
    BlotterSource source{3};
    std::string text = "left over";
    int type = -1;
    BlotterColumnText(&source, 1, kInstrument, text, &type);
    EXPECT_EQ(text, MakeTrade(0).instrument);
    EXPECT_EQ(type, -1);  // data rows leave the code alone
    BlotterColumnText(&source, 3, kTime, text, &type);
    EXPECT_EQ(text, "08:00:00.300");
    BlotterColumnText(&source, 4, kTime, text, &type);  // past the end
    EXPECT_EQ(text, "");
}

TEST(TerminalBlotter, TradesAreStableAndValuesExact) {
    for (std::int64_t i : {0LL, 1LL, 199'999LL, 5'000'000LL}) {
        const Trade t = MakeTrade(i);
        EXPECT_EQ(CellText(t, kPrice), CellText(MakeTrade(i), kPrice));
        EXPECT_EQ(t.valueCents, t.quantity * t.priceCents);
        EXPECT_GT(t.priceCents, 0);
        EXPECT_EQ(t.quantity % 100, 0);
    }
    EXPECT_EQ(FormatCents(123456), "1234.56");
    EXPECT_EQ(FormatCents(-5), "-0.05");
    EXPECT_EQ(CellText(MakeTrade(384'000), kTime), "00:00:00.000");  // wraps at midnight
}

TEST(TerminalClientIni, ReadsTheLoadRecordTheWayProfilesAreRead) {
    const fs::path dir = ScratchDir("ini");
    std::ofstream(dir / "halvoclient.ini", std::ios::binary)
        << "; client settings\r\n[Connection]\r\nHost=demo\r\n\r\n"
           "[ halvo_launcher ]\r\n  last loaded file = UAT.ini  \r\nTime=08-Dec-2026 09:14:03\r\n"
           "[HALVO_LAUNCHER]\r\nLast Loaded File=second section is not read\r\n";
    const LoadRecord r = ReadLoadRecord((dir / "halvoclient.ini").string());
    ASSERT_TRUE(r.fileFound);
    EXPECT_EQ(r.lastLoadedFile.value_or("?"), "UAT.ini");
    EXPECT_EQ(DescribeLoadRecord(r), "Environment: UAT.ini (loaded 08-Dec-2026 09:14:03)");
    EXPECT_FALSE(ReadIniValue((dir / "halvoclient.ini").string(), "Connection", "Port"));

    EXPECT_EQ(DescribeLoadRecord(ReadLoadRecord((dir / "missing.ini").string())),
              "No halvoclient.ini in this folder: no environment loaded");
    fs::remove_all(dir);
}

TEST(TerminalOptions, EnvironmentThenCommandLine) {
    std::map<std::string, std::string> env{{"HALVO_TERMINAL_ROWS", "1000"},
                                           {"HALVO_TERMINAL_EXPORT_WORKBOOK", "/tmp/t.xls"},
                                           {"HALVO_TERMINAL_HOLD", "1"}};
    const auto getenv = [&](const char* n) -> const char* {
        auto it = env.find(n);
        return it == env.end() ? nullptr : it->second.c_str();
    };
    std::string error;
    auto o = ParseOptions({}, getenv, error);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->rows, 1000);
    EXPECT_TRUE(o->unattended());
    EXPECT_TRUE(o->hold);

    o = ParseOptions({"--rows", "7", "--report", "r.txt"}, getenv, error);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->rows, 7);
    EXPECT_EQ(o->report, "r.txt");

    for (const std::vector<std::string>& bad : {std::vector<std::string>{"--rows", "-1"},
                                                {"--rows", "12x"},
                                                {"--rows"},
                                                {"--export-text", "a.txt"},
                                                {"--frobnicate"}}) {
        EXPECT_FALSE(ParseOptions(bad, getenv, error)) << bad[0];
        EXPECT_FALSE(error.empty());
    }
}

TEST(TerminalScriptedAnswers, AnswersTheDialogAndSaysNoToQuestions) {
    std::ostringstream log;
    ScriptedInteraction answers("/tmp/x.xls", log);
    std::string path;
    EXPECT_EQ(answers.SaveDialog({".txt", "ListLogFile.txt", 6, "All Files (*.*)|*.*||"}, path),
              ledgra::IDOK);
    EXPECT_EQ(path, "/tmp/x.xls");
    EXPECT_EQ(answers.AfxMessageBox("Save as text?", ledgra::MB_YESNO | ledgra::MB_ICONQUESTION, 0),
              ledgra::IDNO);
    EXPECT_EQ(answers.MessageBoxA("Failed To open File", "File Open", ledgra::MB_OK), ledgra::IDOK);
    EXPECT_EQ(log.str(),
              "save dialog: filter \"All Files (*.*)|*.*||\" -> /tmp/x.xls\n"
              "message: Save as text?\n"
              "message [File Open]: Failed To open File\n");
}

// The terminal's text export, through the real library: trades only, no header
// row (WriteToTextFile starts at row 1), one line per trade.
TEST(TerminalExport, TextFileHoldsEveryTradeInOrder) {
    const fs::path dir = ScratchDir("text");
    std::ostringstream log;
    ScriptedInteraction answers((dir / "blotter.txt").string(), log);
    ledgra::SetInteraction(&answers);
    BlotterSource source{250};
    const int result = SaveBlotterAsText(source);
    ledgra::SetInteraction(nullptr);
    ASSERT_EQ(result, 1) << log.str();

    std::string expected;
    for (int i = 0; i < source.trades; ++i) {
        for (int c = 0; c < kColumnCount; ++c) expected.append(c ? "," : "").append(CellText(i, c));
        expected += "\r\n";
    }
    EXPECT_EQ(ReadAll(dir / "blotter.txt"), expected);
    EXPECT_EQ(answers.messages(), 0);
    fs::remove_all(dir);
}
