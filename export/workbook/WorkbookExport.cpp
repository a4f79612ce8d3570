#include "workbook/WorkbookExport.h"

#include <ledgra/LedgraInteraction.h>

#include "automation/ErrorReport.h"
#include "automation/ExcelOperations.h"
#include "automation/Ole.h"
#include "automation/Variant.h"
#include "object/TextExport.h"
#include "workbook/CellConversion.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

int CLedgraInterface::WriteToExcel() {
    return ledgra::workbook::WriteToExcelWith(*this, ledgra::workbook::kExcelProgId);
}

namespace ledgra::workbook {

namespace {

constexpr std::size_t kMaxSheetNameLength = 31;
constexpr std::int32_t xlExcel9795 = 43;
constexpr std::int32_t xlExcel8 = 56;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

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

std::string CellRef(CLedgraInterface& table, long long row, int column) {
    char ref[16] = {};
    table.getColumnNoForExcel(static_cast<int>(row), column, ref);
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

// Converts a data cell's text by its column's code; the text may be moved out.
void ConvertCell(int code, std::string& text, Variant& value) {
    if (text.empty()) {
        value.SetString(std::string());
        return;
    }
    switch (code) {
        case 1:
            value.SetInt(ParseInt(text));
            break;
        case 2:
            value.SetR8(ParseDouble(text));
            break;
        case 4:
            value.SetI4(ParseLong(text));
            break;
        default:
            value.SetString(std::move(text));
            break;
    }
}

int WriteTextBranch(CLedgraInterface& table, const std::string& path, Interaction& ui) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        ui.AfxMessageBox(kMsgTextBranchOpenFailed, MB_OK, 0);
        return 0;
    }
    std::string text;
    std::string line;
    bool written = true;
    for (long long row = 0; row < table.m_nRows && written; ++row) {
        line.clear();
        AppendRow(table.m_pfnColumnText, table.m_pUserData, static_cast<int>(row), table.m_nColumns, text,
                  line);
        written = WriteAll(file.get(), line);
    }
    written = CloseFile(file.release()) && written;
    if (!written) {
        ui.AfxMessageBox(kMsgWriteFailed, MB_OK, 0);
        return 0;
    }
    return 1;
}

int WriteWorkbookBranch(CLedgraInterface& table, const char* progId, Interaction& ui) {
    // Declared in this order, these are undone in the reverse order on every
    // way out, an automation error included: the objects are released, OLE is
    // uninitialised once, the type list is emptied.
    TypeListReset typeListReset(table.m_arrColumnTypes);
    const Variant covOptional = Variant::Optional();
    OleSession ole;
    if (!ole.Start()) return 0;

    CApplication app;
    CWorkbooks workbooks;
    CWorkbook workbook;
    CSheets sheets;
    CWorksheet sheet;
    CRange range;
    CRange headerCell;
    Variant sheetRef;

    if (!app.CreateDispatch(progId)) {
        if (ui.AfxMessageBox(kMsgNotInstalled, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2, 0) == IDYES) {
            table.WriteToTextFile();
            return 1;
        }
        return 0;
    }
    app.put_Visible(true);
    workbooks.AttachDispatch(app.get_Workbooks());
    workbook.AttachDispatch(workbooks.Open(table.m_strFileName, covOptional, covOptional, covOptional,
                                           covOptional, covOptional, covOptional, covOptional, covOptional,
                                           covOptional, covOptional, covOptional, covOptional));
    sheets.AttachDispatch(workbook.get_Sheets());
    sheet.AttachDispatch(sheets.get_Item(Variant::I2(1)));
    const std::string baseName = sheet.get_Name();

    const ColumnTextRtn fn = table.m_pfnColumnText;
    void* const userData = table.m_pUserData;
    const int columns = table.m_nColumns;
    long long remaining = static_cast<long long>(table.m_nRows) - 1;
    long long offset = 0;
    int k = 1;
    std::string cellText;
    while (remaining > 0) {
        const int n = static_cast<int>(std::min<long long>(remaining, kMaxSheetRows));
        sheet.put_Name(SheetName(baseName, k));
        sheetRef = Variant::Dispatch(sheet.m_lpDispatch);

        // Header pass: the titles, the column types and the number formats.
        std::string headerText;
        for (int c = 0; c < columns; ++c) {
            int type = -1;  // a callback that stores no code leaves a string column
            fn(userData, 0, c, headerText, &type);
            table.m_arrColumnTypes.push_back(type);
            const std::string top = CellRef(table, 1, c + 1);
            const std::string bottom = CellRef(table, static_cast<long long>(n) + 1, c + 1);
            range.AttachDispatch(sheet.get_Range(Variant::String(top), Variant::String(bottom)));
            headerCell.AttachDispatch(sheet.get_Range(Variant::String(top), Variant::String(top)));
            if (const char* format = FormatForCode(type)) range.put_NumberFormat(Variant::String(format));
            headerCell.put_Value(Variant::String(headerText));
        }

        // Block pass: the data rows, at most kMaxBlockRows per request. A table
        // without columns has nothing to send.
        COleSafeArray block;  // made anew for each block, in the same storage
        for (int start = 0; start < n && columns > 0;) {
            const int b = std::min(n - start, kMaxBlockRows);
            const std::string topLeft = CellRef(table, static_cast<long long>(start) + 2, 1);
            const std::uint32_t counts[2] = {static_cast<std::uint32_t>(b),
                                             static_cast<std::uint32_t>(columns)};
            block.Create(VT_VARIANT, 2, counts);
            Variant value;
            for (int i = 1; i <= b; ++i) {
                const int row = static_cast<int>(offset + start + i);
                for (int c = 0; c < columns; ++c) {
                    cellText.clear();
                    int type = -1;
                    fn(userData, row, c, cellText, &type);
                    ConvertCell(table.m_arrColumnTypes.at(static_cast<std::size_t>(c)), cellText, value);
                    const long index[2] = {i - 1, c};
                    block.PutElement(index, std::move(value));
                }
            }
            range.AttachDispatch(sheet.get_Range(Variant::String(topLeft), covOptional));
            range.AttachDispatch(
                range.get_Resize(Variant::I2(static_cast<std::int16_t>(b)),
                                 Variant::I2(static_cast<std::int16_t>(std::min(columns, 32767)))));
            range.put_Value(block);
            start += b;
        }

        offset += n;
        remaining -= n;
        ++k;

        // Save step: each failure is reported and the export goes on.
        const std::string version = app.get_Version();
        if (!version.empty()) {
            try {
                app.put_DisplayAlerts(false);
                const int major = ParseInt(version);
                const Variant fileFormat = Variant::I4(major >= 12 ? xlExcel8 : xlExcel9795);
                sheet.SaveAs(table.m_strFileName, fileFormat, covOptional, covOptional, covOptional,
                             covOptional, covOptional, covOptional, covOptional);
                app.put_DisplayAlerts(true);
            } catch (const COleDispatchException& e) {
                ReportDispatchException(ui, e);
            } catch (const COleException& e) {
                ReportOleException(ui, e);
            }
        }

        IDispatch* next = nullptr;
        if (remaining > 0) next = sheets.Add(covOptional, sheetRef, covOptional, covOptional);
        sheet.ReleaseDispatch();
        VariantClear(sheetRef);
        if (next) sheet.AttachDispatch(next);
    }

    app.put_Visible(true);
    app.put_UserControl(true);
    workbook.Save();
    workbook.put_Saved(true);
    return 1;
}

}  // namespace

std::string FileExtension(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
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

int WriteToExcelWith(CLedgraInterface& table, const char* progId) {
    Interaction& ui = CurrentInteraction();

    // The filter list is chosen anew on every call from the registry's answer.
    std::string message;
    const bool registered = table.ProgIDExists(progId, message) != 0;
    SaveDialogRequest request;
    request.defaultExt = "";
    request.initialName = "";
    request.flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    request.filter = registered ? kWorkbookFilter : kTextOnlyFilter;
    std::string path;
    if (ui.SaveDialog(request, path) != IDOK) return 0;

    const std::string extension = FileExtension(path);
    if (table.FileOpen(path, "w+") == nullptr) {
        ui.MessageBoxA(kMsgCreateFailed, kCaptionCreateFailed, MB_OK);
        return 0;
    }
    table.FileClose();

    if (table.m_pfnColumnText == nullptr || table.m_pUserData == nullptr) {
        ui.AfxMessageBox(kMsgCallBackFailed, MB_OK, 0);
        return 0;
    }
    if (extension == "csv" || extension == "txt") return WriteTextBranch(table, path, ui);
    return WriteWorkbookBranch(table, progId, ui);
}

}  // namespace ledgra::workbook
