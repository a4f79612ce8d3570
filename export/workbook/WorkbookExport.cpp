#include "workbook/WorkbookExport.h"

#include <ledgra/LedgraInteraction.h>

#include "automation/ErrorReport.h"
#include "automation/ExcelOperations.h"
#include "automation/Ole.h"
#include "automation/Variant.h"
#include "filesafe.h"
#include "interaction/Interaction.h"
#include "names.h"
#include "object/TextExport.h"
#include "registry/ClassRegistry.h"
#include "workbook/CellConversion.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

namespace ledgra::workbook {

namespace {

constexpr std::size_t kMaxSheetNameLength = 31;
constexpr std::int32_t xlExcel9795 = 43;
constexpr std::int32_t xlExcel8 = 56;

// Calls OleUninitialize once when the workbook branch is left.
class OleSession {
public:
    OleSession() = default;
    OleSession(const OleSession&) = delete;
    OleSession& operator=(const OleSession&) = delete;
    ~OleSession() {
        if (active_) OleUninitialize();
    }
    bool Start() {
        const HRESULT hr = OleInitialize(nullptr);
        active_ = hr == S_OK || hr == S_FALSE;
        return active_;
    }

private:
    bool active_ = false;
};

// Empties the type list (and frees its storage) when the workbook branch is left.
class TypeListReset {
public:
    explicit TypeListReset(std::vector<int>& types) : types_(types) {}
    TypeListReset(const TypeListReset&) = delete;
    TypeListReset& operator=(const TypeListReset&) = delete;
    ~TypeListReset() { std::vector<int>().swap(types_); }

private:
    std::vector<int>& types_;
};

std::string CellRef(long long row, int column) {
    char ref[LEDGRA_CELL_REF_SIZE] = {};
    CellReference(static_cast<std::int32_t>(row), column, ref);
    return ref;
}

// The number format a column's code asks for, or null for none.
const char* FormatForCode(int code) {
    switch (code) {
        case 2:
            return "0.00";
        case 3:
            return "@";
        case 10:
            return "General";
        default:
            return nullptr;
    }
}

// Converts a data cell's text by its column's code into value.
// A number too large for a double, an infinity or a NaN (which no workbook
// cell holds) is sent as the text the program gave, never as another number.
void ConvertCell(int code, std::string_view text, Variant& value) {
    if (text.empty()) {
        value.SetString(std::string_view());
        return;
    }
    switch (code) {
        case 1:
            value.SetInt(ParseInt(text));
            break;
        case 2:
            if (const double number = ParseDouble(text); std::isfinite(number))
                value.SetR8(number);
            else
                value.SetString(text);
            break;
        case 4:
            value.SetI4(ParseLong(text));
            break;
        default:
            value.SetString(text);
            break;
    }
}

// Rows 0 to R - 1 as comma-separated lines.
void GatherText(ExportTable& table, TextBuffer& text) {
    std::string cellText;
    for (long long row = 0; row < table.rows; ++row)
        AppendRow(table.cellText, table.userData, static_cast<int>(row), table.columns, cellText, text);
}

int WriteTextBranch(ExportTable& table, const std::string& path, Interaction& ui) {
    std::string error;
    std::unique_ptr<filesafe::Replacement> file = filesafe::Replacement::Begin(path, error);
    if (!file) {
        SetOutcome(LEDGRA_OPEN_FAILED);
        ui.AfxMessageBox(kMsgTextBranchOpenFailed, MB_OK, 0);
        return 0;
    }
    if (!WriteGathered(
            *file, [&](TextBuffer& text) { GatherText(table, text); }, error)) {
        SetOutcome(LEDGRA_WRITE_FAILED);
        ui.AfxMessageBox(kMsgWriteFailed, MB_OK, 0);
        return 0;
    }
    return 1;
}

// A table wider than a sheet can be filled (its cells could not be
// addressed): it is saved as comma-separated text beside the chosen file,
// which stays as it was, and the user is told where. Result 0: the chosen
// file was not written.
int SaveTooWideTable(ExportTable& table, const std::string& path, Interaction& ui) {
    std::string error;
    const std::string name = filesafe::ReserveRecoveryFile(path, ".csv", error);
    std::unique_ptr<filesafe::Replacement> file;
    if (!name.empty()) file = filesafe::Replacement::Begin(name, error);
    const bool saved = file && WriteGathered(
                                   *file, [&](TextBuffer& text) { GatherText(table, text); }, error);
    if (!saved && !name.empty()) filesafe::RemoveFile(name);
    std::string message = "The table has " + std::to_string(table.columns) + " columns, more than the " +
                          std::to_string(kMaxColumns) + " a worksheet can be filled with. ";
    message += saved ? "It was saved as comma-separated text in \"" + name + "\" instead."
                     : "It could not be saved as comma-separated text either: " + error;
    SetOutcome(saved ? LEDGRA_SAVED_AS_RECOVERY : LEDGRA_WRITE_FAILED);
    ui.AfxMessageBox(message.c_str(), MB_OK, 0);
    return 0;
}

// One run of the workbook branch: the automation objects it holds and the
// sheet being filled. Declared in this order, the members are undone in the
// reverse order on every way out, an automation error included: the objects
// are released, OLE is uninitialised once, the type list is emptied.
struct WorkbookRun {
    WorkbookRun(ExportTable& t, Interaction& u) : table(t), ui(u), typeListReset(t.columnTypes) {}

    ExportTable& table;
    Interaction& ui;
    TypeListReset typeListReset;
    const Variant covOptional = Variant::Optional();
    OleSession ole;

    CApplication app;
    CWorkbooks workbooks;
    CWorkbook workbook;
    CSheets sheets;
    CWorksheet sheet;
    CRange range;
    CRange headerCell;
    Variant sheetRef;

    std::string baseName;  // the first sheet's name, read once
    std::string cellText;  // the data cells' text, reused

    bool savedAs = false;           // a SaveAs to the chosen file was asked for
    bool lastSaveAsFailed = false;  // and the last one failed
    std::vector<std::string> sheetNames;
    std::time_t started = std::time(nullptr);
};

// What the system knows of a file. Narrow names are the system's: bytes on
// POSIX, the ANSI code page on Windows (as the application is given them).
struct FileInfo {
    bool exists = false;
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // seconds since 1970
};

FileInfo InfoOf(const std::string& path) {
#ifdef _WIN32
    struct _stat64 st {};
    if (::_stat64(path.c_str(), &st) != 0) return {};
#else
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
#endif
    return {true, static_cast<std::uint64_t>(st.st_size), static_cast<std::int64_t>(st.st_mtime)};
}

bool HasContent(const std::string& path) { return InfoOf(path).size > 0; }

// True when a recovery file for path with suffix was written since then.
bool RecoveredSince(const std::string& path, const std::string& suffix, std::time_t since) {
    for (int n = 1;; ++n) {
        const FileInfo info = InfoOf(filesafe::RecoveryName(path, suffix, n));
        if (!info.exists) return false;
        if (info.modified >= static_cast<std::int64_t>(since) - 2)
            return true;  // the file system's resolution
    }
}

// True when the application saved the table beside the chosen file, in files
// of its own, as it does when the chosen one cannot be written: the whole
// workbook, or every sheet as comma-separated text.
bool SavedBeside(const WorkbookRun& run) {
    const std::string& path = run.table.fileName;
    if (RecoveredSince(path, ".xls", run.started)) return true;
    if (run.sheetNames.empty()) return false;
    for (const std::string& sheet : run.sheetNames)
        if (!RecoveredSince(path, "-" + sheet + ".csv", run.started)) return false;
    return true;
}

// Shows the application, opens the empty file named like the chosen one
// and takes its first sheet and that sheet's name.
void OpenWorkbook(WorkbookRun& run, const std::string& opened) {
    const Variant& opt = run.covOptional;
    run.app.put_Visible(true);
    run.workbooks.AttachDispatch(run.app.get_Workbooks());
    run.workbook.AttachDispatch(
        run.workbooks.Open(opened, opt, opt, opt, opt, opt, opt, opt, opt, opt, opt, opt, opt));
    run.sheets.AttachDispatch(run.workbook.get_Sheets());
    run.sheet.AttachDispatch(run.sheets.get_Item(Variant::I2(1)));
    run.baseName = run.sheet.get_Name();
}

// Names sheet k and keeps a reference to it, to add the next sheet behind it.
void NameSheet(WorkbookRun& run, int k) {
    run.sheetNames.push_back(SheetName(run.baseName, k));
    run.sheet.put_Name(run.sheetNames.back());
    run.sheetRef = Variant::Dispatch(run.sheet.m_lpDispatch);
}

// The header pass over a sheet of n data rows: the titles, the column types
// and the number formats.
void WriteHeader(WorkbookRun& run, int n) {
    ExportTable& table = run.table;
    std::string headerText;
    for (int c = 0; c < table.columns; ++c) {
        int type = -1;  // a callback that stores no code leaves a string column
        table.cellText(table.userData, 0, c, headerText, &type);
        table.columnTypes.push_back(type);
        const std::string top = CellRef(1, c + 1);
        const std::string bottom = CellRef(static_cast<long long>(n) + 1, c + 1);
        run.range.AttachDispatch(run.sheet.get_Range(Variant::String(top), Variant::String(bottom)));
        run.headerCell.AttachDispatch(run.sheet.get_Range(Variant::String(top), Variant::String(top)));
        if (const char* format = FormatForCode(type)) run.range.put_NumberFormat(Variant::String(format));
        run.headerCell.put_Value(Variant::String(headerText));
    }
}

// Rows offset + start + 1 to offset + start + b, converted by the first
// sheet's codes into a b x C array, each cell straight into its element.
void FillBlock(WorkbookRun& run, long long offset, int start, int b, COleSafeArray& block) {
    ExportTable& table = run.table;
    const int columns = table.columns;
    const std::uint32_t counts[2] = {static_cast<std::uint32_t>(b), static_cast<std::uint32_t>(columns)};
    block.Create(VT_VARIANT, 2, counts);
    SafeArray& cells = *block.parray();
    for (int i = 0; i < b; ++i) {
        const int row = static_cast<int>(offset + start + i + 1);
        for (int c = 0; c < columns; ++c) {
            int type = -1;
            std::string_view text;
            if (table.cellView != nullptr) {
                text = table.cellView(table.userData, row, c, &type);
            } else {
                run.cellText.clear();
                table.cellText(table.userData, row, c, run.cellText, &type);
                text = run.cellText;
            }
            ConvertCell(table.columnTypes.at(static_cast<std::size_t>(c)), text,
                        cells.At(static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(c)));
        }
    }
}

// The block pass: the sheet's n data rows, at most kMaxBlockRows per
// request. A table without columns has nothing to send.
void WriteBlocks(WorkbookRun& run, long long offset, int n) {
    const int columns = run.table.columns;
    COleSafeArray block;  // made anew for each block, in the same storage
    for (int start = 0; start < n && columns > 0;) {
        const int b = std::min(n - start, kMaxBlockRows);
        const std::string topLeft = CellRef(static_cast<long long>(start) + 2, 1);
        FillBlock(run, offset, start, b, block);
        run.range.AttachDispatch(run.sheet.get_Range(Variant::String(topLeft), run.covOptional));
        run.range.AttachDispatch(
            run.range.get_Resize(Variant::I2(static_cast<std::int16_t>(b)),
                                 Variant::I2(static_cast<std::int16_t>(std::min(columns, 32767)))));
        run.range.put_Value(block);
        start += b;
    }
}

// Runs one save request; an automation error is reported and the export goes
// on. False when it failed.
template <typename Save>
bool Guarded(Interaction& ui, Save save) {
    try {
        save();
        return true;
    } catch (const COleDispatchException& e) {
        SetOutcome(LEDGRA_AUTOMATION_ERROR);
        ReportDispatchException(ui, e);
    } catch (const COleException& e) {
        SetOutcome(LEDGRA_AUTOMATION_ERROR);
        ReportOleException(ui, e);
    }
    return false;
}

// The save step after each sheet: the whole workbook as the chosen file, in
// the format the application's version asks for; skipped when the
// application reports no version.
void SaveSheet(WorkbookRun& run) {
    const std::string version = run.app.get_Version();
    if (version.empty()) return;
    run.savedAs = true;
    run.lastSaveAsFailed = !Guarded(run.ui, [&] {
        const Variant& opt = run.covOptional;
        run.app.put_DisplayAlerts(false);
        const int major = ParseInt(version);
        const Variant fileFormat = Variant::I4(major >= 12 ? xlExcel8 : xlExcel9795);
        run.sheet.SaveAs(run.table.fileName, fileFormat, opt, opt, opt, opt, opt, opt, opt);
        run.app.put_DisplayAlerts(true);
    });
}

// Adds the next sheet behind the current one while rows remain, and lets the
// current one go.
void NextSheet(WorkbookRun& run, long long remaining) {
    const Variant& opt = run.covOptional;
    IDispatch* next = nullptr;
    if (remaining > 0) next = run.sheets.Add(opt, run.sheetRef, opt, opt);
    run.sheet.ReleaseDispatch();
    VariantClear(run.sheetRef);
    if (next) run.sheet.AttachDispatch(next);
}

// Leaves the application running, visible and under the user's control
// with the workbook saved. A failed save is reported, and the workbook is
// then not marked as saved, so the application still holds it as changed.
// The result: 1 when the table is saved whole somewhere, in the chosen file
// or, when that could not be written, beside it.
int HandOver(WorkbookRun& run) {
    run.app.put_Visible(true);
    run.app.put_UserControl(true);
    const bool saved = Guarded(run.ui, [&] { run.workbook.Save(); });
    if (saved) run.workbook.put_Saved(true);
    const bool inChosenFile = !run.lastSaveAsFailed && (saved || run.savedAs);
    if (!inChosenFile && SavedBeside(run)) {
        SetOutcome(LEDGRA_SAVED_AS_RECOVERY);
        return 1;
    }
    // A failed SaveAs followed by a Save that worked: the workbook is where
    // the application opened it, which is (or is brought over to) the chosen file.
    if (inChosenFile || saved) {
        SetOutcome(LEDGRA_OK);
        return 1;
    }
    SetOutcome(LEDGRA_WRITE_FAILED);
    return 0;
}

int WriteWorkbookBranch(ExportTable& table, const char* progId, const std::string& opened, Interaction& ui) {
    WorkbookRun run(table, ui);
    if (!run.ole.Start()) {
        SetOutcome(LEDGRA_AUTOMATION_ERROR);
        return 0;
    }
    if (!run.app.CreateDispatch(progId)) {
        if (ui.AfxMessageBox(kMsgNotInstalled, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2, 0) == IDYES)
            return WriteTableAsText(table);
        SetOutcome(LEDGRA_CANCELLED);
        return 0;
    }
    OpenWorkbook(run, opened);
    long long remaining = static_cast<long long>(table.rows) - 1;
    long long offset = 0;
    for (int k = 1; remaining > 0; ++k) {
        const int n = static_cast<int>(std::min<long long>(remaining, kMaxSheetRows));
        NameSheet(run, k);
        WriteHeader(run, n);
        WriteBlocks(run, offset, n);
        offset += n;
        remaining -= n;
        SaveSheet(run);
        NextSheet(run, remaining);
    }
    return HandOver(run);
}

// An application that saved nowhere else saved the workbook where it opened
// it, in the namesake: that content goes to the chosen file. False when it
// was there and could not be brought over.
bool BringOver(const std::string& namesake, const std::string& path, Interaction& ui) {
    if (!HasContent(namesake)) return true;
    std::ifstream in(namesake, std::ios::binary);
    const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string error;
    if (!in.bad() && filesafe::ReplaceFileContent(path, content, error)) return true;
    SetOutcome(LEDGRA_WRITE_FAILED);
    ui.AfxMessageBox((error.empty() ? std::string(kMsgWriteFailed) : error).c_str(), MB_OK, 0);
    return false;
}

// The chosen file made when missing, then the table written as the file's
// extension asks.
int WriteChosenFile(ExportTable& table, const char* progId, const std::string& path, Interaction& ui) {
    const std::string extension = FileExtension(path);
    // Made when missing, never emptied: the chosen file changes only when a
    // complete new content replaces it.
    // Only a file is opened: a pipe could block the opening, a device (on
    // Windows also a reserved name such as NUL.xls) would swallow the save.
    table.fileName = path;
    std::FILE* created = filesafe::IsNonRegularFile(path) ? nullptr : std::fopen(path.c_str(), "a");
    if (created == nullptr) {
        SetOutcome(LEDGRA_OPEN_FAILED);
        ui.MessageBoxA(kMsgCreateFailed, kCaptionCreateFailed, MB_OK);
        return 0;
    }
    std::fclose(created);

    if (table.cellText == nullptr || table.userData == nullptr) {
        SetOutcome(LEDGRA_NO_CALLBACK);
        ui.AfxMessageBox(kMsgCallBackFailed, MB_OK, 0);
        return 0;
    }
    if (extension == "csv" || extension == "txt") return WriteTextBranch(table, path, ui);
    if (table.columns > kMaxColumns) return SaveTooWideTable(table, path, ui);
    // The application opens an empty file named like the chosen one (it names
    // the first sheet after it); a chosen file with content is left alone
    // until the application saves over it, so an empty namesake stands in.
    filesafe::PrivateFolder folder;
    std::string opened = path;
    if (HasContent(path) && folder.Create()) {
        opened = folder.NewFile(path.substr(filesafe::NameStart(path)));
        if (opened.empty()) opened = path;
    }
    const int result = WriteWorkbookBranch(table, progId, opened, ui);
    if (opened != path && !BringOver(opened, path, ui)) return 0;
    return result;
}

}  // namespace

std::string FileExtension(const std::string& path) {
    const std::size_t nameStart = filesafe::NameStart(path);
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart) return std::string();
    return path.substr(dot + 1);
}

std::string SheetName(const std::string& base, int k) {
    const std::string suffix = "-Sheet" + std::to_string(k);
    const std::size_t suffixLength = Utf16Length(suffix);
    if (Utf16Length(base) + suffixLength <= kMaxSheetNameLength) return base + suffix;
    return std::string(Utf16Prefix(base, kMaxSheetNameLength - suffixLength)) + suffix;
}

int WriteToExcelWith(ExportTable& table, const char* progId) {
    Interaction& ui = CurrentInteraction();

    // The filter list is chosen anew on every call from the registry's answer.
    const bool registered = ClassRegistry::Instance().Open(progId != nullptr ? progId : "") == 0;
    SaveDialogRequest request;
    request.defaultExt = "";
    request.initialName = "";
    request.flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    request.filter = registered ? kWorkbookFilter : kTextOnlyFilter;
    std::string path;
    if (ui.SaveDialog(request, path) != IDOK) {
        SetOutcome(LEDGRA_CANCELLED);
        return 0;
    }

    // A file the export made and could not fill is not left behind empty.
    const bool existed = InfoOf(path).exists;
    const int result = WriteChosenFile(table, progId, path, ui);
    if (result == 0 && !existed && InfoOf(path).exists && !HasContent(path)) filesafe::RemoveFile(path);
    return result;
}

}  // namespace ledgra::workbook
