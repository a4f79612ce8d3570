// WriteToExcel through the system's COM under wine. ComRegistered runs where
// the stand-in server is registered as "Excel.Application" (regsvr32) and
// leaves workbooks for check_com_xls.py; ComNotRegistered runs where nothing
// is registered under that ProgID.
// <windows.h> first: its IDOK and MB_ macros then stand in for Ledgra's names.
#include <windows.h>

#include <ole2.h>

#include <ledgra/LedgraInteraction.h>
#include <ledgra/LedgraInterface.h>

#include "SystemDialogs.h"
#include "test_support/ScriptedInteraction.h"
#include "workbook/WorkbookExport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

void RegisterInProcessStandin(bool registered);  // InProcessStandin.cpp

namespace {

using ledgra::InteractionCall;
using ledgra::ScriptedInteraction;

// The save dialogs asked for, and the message boxes shown.
std::vector<ledgra::SaveDialogRequest> Requests(const ScriptedInteraction& ui) {
    std::vector<ledgra::SaveDialogRequest> requests;
    for (const InteractionCall& c : ui.calls)
        if (c.kind == InteractionCall::SaveDialog) requests.push_back(c.request);
    return requests;
}
std::vector<InteractionCall> Shown(const ScriptedInteraction& ui) {
    std::vector<InteractionCall> shown;
    for (const InteractionCall& c : ui.calls)
        if (c.kind != InteractionCall::SaveDialog) shown.push_back(c);
    return shown;
}

// Header codes 1 int, 2 double, 3 text, 4 long, 10 general; data from the row number.
int Cell(void*, int row, int column, std::string& text, int* type) {
    static const char* const titles[] = {"Id", "Price", "Code", "Volume", "Note"};
    static const int codes[] = {1, 2, 3, 4, 10};
    if (row == 0) {
        text = titles[column];
        *type = codes[column];
        return 0;
    }
    switch (column) {
        case 0:
            text = std::to_string(row);
            break;
        case 1:
            text = std::to_string(row) + ".25";
            break;
        case 2:
            text = "007";
            break;
        case 3:
            text = std::to_string(row * 1000L);
            break;
        default:
            text = row == 1 ? std::string(40000, 'x') : "n" + std::to_string(row);
            break;
    }
    return 0;
}

int Export(ScriptedInteraction& ui, int rows, int columns, bool workbook = true) {
    CLedgraInterface table(rows, columns);
    table.InitColumnTextRtn(&Cell);
    table.m_pUserData = &table;
    ledgra::SetInteraction(&ui);
    const int result = workbook ? table.WriteToExcel() : table.WriteToTextFile();
    ledgra::SetInteraction(nullptr);
    return result;
}

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The output folder as the Save dialog names it: a drive letter and backslashes.
std::string Backslashed(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}
const std::string kOut = Backslashed(LEDGRA_COM_OUT);

TEST(ComRegistered, TheRegistryAnswersAndTheWorkbookIsWrittenThroughCom) {
    CLedgraInterface probe(1, 1);
    std::string message;
    EXPECT_EQ(probe.ProgIDExists("Excel.Application", message), 1);

    ScriptedInteraction ui;
    ui.QueueSave(kOut + "\\Trades.xls");
    ASSERT_EQ(Export(ui, 65536, 4), 1);  // 65,535 data rows: two sheets
    ASSERT_EQ(Requests(ui).size(), 1u);
    EXPECT_EQ(Requests(ui)[0].filter, ledgra::workbook::kWorkbookFilter);
    for (const InteractionCall& s : Shown(ui)) ADD_FAILURE() << s.caption << ": " << s.text;
}

// The user types a name into the system's own Save dialog, which hands back a
// drive-letter path with backslashes: the sheets are named after the file
// (check_com_xls.py reads Dialog.xls back).
TEST(ComRegistered, AWorkbookSavedThroughTheSystemsSaveDialogNamesItsSheetsAfterTheFile) {
    std::filesystem::remove(kOut + "\\Dialog.xls");  // a new name: the dialog asks nothing more
    std::thread user = system_dialogs::AnswerWhenShown(
        "Save As", [](HWND dialog) { system_dialogs::TypeAndSave(dialog, kOut + "\\Dialog"); });
    CLedgraInterface table(3, 2);
    table.InitColumnTextRtn(&Cell);
    table.m_pUserData = &table;
    const int result = table.WriteToExcel();  // the library's own dialogs and boxes
    user.join();
    EXPECT_EQ(result, 1);
}

TEST(ComRegistered, ASaveStepErrorOfTheServerIsShownOncePerSheetAndTheExportGoesOn) {
    for (const auto& entry : std::filesystem::directory_iterator(kOut))  // of earlier runs
        if (entry.path().filename().string().rfind("TooLong-recovered", 0) == 0)
            std::filesystem::remove(entry);
    ScriptedInteraction ui;
    ui.QueueSave(kOut + "\\TooLong.xls");  // row 1 holds a text too long for the file format
    ASSERT_EQ(Export(ui, 65536, 5), 1);
    // Once per sheet, then once for the final save of the workbook, each naming
    // where the sheets were saved instead.
    ASSERT_EQ(Shown(ui).size(), 3u);
    for (const InteractionCall& shown : Shown(ui)) {
        EXPECT_EQ(shown.caption, "Server Error");
        EXPECT_EQ(shown.type, 0x10000u);
        EXPECT_EQ(shown.text.rfind("Run-time error '1004':\n\n", 0), 0u) << shown.text;
        EXPECT_NE(shown.text.find(kOut + "\\TooLong-recovered-TooLong-Sheet1.csv"), std::string::npos)
            << shown.text;
    }
    EXPECT_TRUE(std::filesystem::exists(kOut + "\\TooLong-recovered-TooLong-Sheet2.csv"));
}

// A name as the system's Save dialog hands it over: in the ANSI code page.
std::string AnsiName(const wchar_t* name) {
    const int n = WideCharToMultiByte(CP_ACP, 0, name, -1, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, name, -1, ansi.data(), n, nullptr, nullptr);
    ansi.resize(static_cast<std::size_t>(n - 1));
    return ansi;
}

// Names outside ASCII (an accent; an en dash, curly quotes and the euro sign,
// bytes 0x80 to 0x9F in code page 1252) reach the application as the names
// of the files the user chose; an existing workbook under such a name is
// replaced whole, its later rows and sheets gone.
TEST(ComRegistered, NamesOutsideAsciiAreTheFilesChosen) {
    for (const wchar_t* name : {L"caf\u00e9.xls", L"Q1 \u2013 \u201cfinal\u201d \u20ac.xls"}) {
        const std::string path = kOut + "\\" + AnsiName(name);
        DeleteFileA(path.c_str());  // of an earlier run
        ScriptedInteraction ui;
        ui.QueueSave(path);
        ASSERT_EQ(Export(ui, 65536, 4), 1) << path;  // two sheets
        const std::size_t twoSheets = Read(path).size();
        ui.QueueSave(path);
        ASSERT_EQ(Export(ui, 3, 4), 1) << path;
        for (const InteractionCall& s : Shown(ui)) ADD_FAILURE() << s.caption << ": " << s.text;
        const std::size_t oneSheet = Read(path).size();
        EXPECT_GT(oneSheet, 0u) << path;
        EXPECT_LT(oneSheet * 10, twoSheets) << path << ": the old workbook survived into the new one";
    }
}

TEST(ComRegistered, ABusyApplicationIsWaitedFor) {
    SetEnvironmentVariableA("LEDGRA_STANDIN_REJECT_CALLS", "5");
    ScriptedInteraction ui;
    ui.QueueSave(kOut + "\\Busy.xls");
    const int result = Export(ui, 3, 4);
    SetEnvironmentVariableA("LEDGRA_STANDIN_REJECT_CALLS", nullptr);
    EXPECT_EQ(result, 1);
    for (const InteractionCall& s : Shown(ui)) ADD_FAILURE() << s.caption << ": " << s.text;
    EXPECT_GT(Read(kOut + "\\Busy.xls").size(), 0u);
}

// Texts whose lengths change from block to block (the empty text among them),
// numbers, and numbers that are texts, over 12,000 data rows (three blocks).
int Mixed(void*, int row, int column, std::string& text, int* type) {
    static const int codes[] = {3, 2, 1, -1, 4};
    if (row == 0) {
        *type = codes[column];
        text = "C" + std::to_string(column);
        return 0;
    }
    const std::string cells[] = {
        std::string(static_cast<std::size_t>(row % 7), static_cast<char>('a' + row % 26)),
        row % 5 ? std::to_string(row) + ".5" : "n/a", std::to_string(row * 3),
        row % 3 ? (row % 2 ? "Fill" : "Kill") : "", std::to_string(row * 100000L)};
    text = cells[column];
    return 0;
}

// The workbook the server writes is the one the stand-in writes in-process
// (registered for this process only), byte for byte.
TEST(ComRegistered, ThroughComTheWorkbookIsTheOneWrittenInProcess) {
    std::string written[2];
    for (const bool com : {false, true}) {
        const std::string folder = kOut + (com ? "\\com" : "\\in-process");
        std::filesystem::create_directories(folder);
        DeleteFileA((folder + "\\Blocks.xls").c_str());  // of an earlier run
        RegisterInProcessStandin(!com);
        ScriptedInteraction ui;
        ui.QueueSave(folder + "\\Blocks.xls");
        CLedgraInterface table(12001, 5);
        table.InitColumnTextRtn(&Mixed);
        table.m_pUserData = &table;
        ledgra::SetInteraction(&ui);
        EXPECT_EQ(table.WriteToExcel(), 1);
        ledgra::SetInteraction(nullptr);
        RegisterInProcessStandin(false);
        for (const InteractionCall& s : Shown(ui)) ADD_FAILURE() << s.caption << ": " << s.text;
        written[com] = Read(folder + "\\Blocks.xls");
    }
    EXPECT_GT(written[0].size(), 0u);
    EXPECT_TRUE(written[0] == written[1])
        << "through COM " << written[1].size() << " bytes, in-process " << written[0].size();
}

// What a script does: names to DISPIDs, then a property put with its named argument.
TEST(ComRegistered, ALateBindingClientDrivesTheServerByName) {
    ASSERT_EQ(OleInitialize(nullptr), S_OK);
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(L"Excel.Application", &clsid), S_OK);
    IDispatch* app = nullptr;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IDispatch, reinterpret_cast<void**>(&app)),
              S_OK);

    LPOLESTR names[] = {const_cast<LPOLESTR>(L"visible"), const_cast<LPOLESTR>(L"NoSuchMember")};
    DISPID ids[2] = {};
    EXPECT_EQ(app->GetIDsOfNames(IID_NULL, &names[0], 1, 0, &ids[0]), S_OK);
    EXPECT_EQ(ids[0], 558);
    EXPECT_EQ(app->GetIDsOfNames(IID_NULL, &names[1], 1, 0, &ids[1]), DISP_E_UNKNOWNNAME);

    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BOOL;
    value.boolVal = VARIANT_FALSE;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS unnamed = {&value, nullptr, 1, 0};
    DISPPARAMS put = {&value, &named, 1, 1};
    EXPECT_EQ(app->Invoke(ids[0], IID_NULL, 0, DISPATCH_PROPERTYPUT, &unnamed, nullptr, nullptr, nullptr),
              DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(app->Invoke(ids[0], IID_NULL, 0, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr), S_OK);
    app->Release();
    OleUninitialize();
}

TEST(ComNotRegistered, TheUserIsOfferedATextExportInstead) {
    CLedgraInterface probe(1, 1);
    std::string message;
    EXPECT_EQ(probe.ProgIDExists("Excel.Application", message), 0);
    EXPECT_FALSE(message.empty());  // the system's text for ERROR_FILE_NOT_FOUND

    const std::string question = "Excel not installed in the system.\nDO you want to save as Text file?";
    ScriptedInteraction no;  // the question is answered No
    no.QueueSave(kOut + "\\No.xls");
    EXPECT_EQ(Export(no, 3, 2), 0);
    ASSERT_EQ(Requests(no).size(), 1u);
    EXPECT_EQ(Requests(no)[0].filter, ledgra::workbook::kTextOnlyFilter);
    ASSERT_EQ(Shown(no).size(), 1u);
    EXPECT_EQ(Shown(no)[0].text, question);
    EXPECT_EQ(Shown(no)[0].type, 0x124u);

    ScriptedInteraction yes;
    yes.QueueAnswer(IDYES);
    yes.QueueSave(kOut + "\\Yes.xls");
    yes.QueueSave(kOut + "\\Yes.txt");
    EXPECT_EQ(Export(yes, 3, 2), 1);
    ASSERT_EQ(Requests(yes).size(), 2u);  // the text export asks again
    EXPECT_EQ(Read(kOut + "\\Yes.txt"), "1,1.25\r\n2,2.25\r\n3,3.25\r\n");
}

}  // namespace
