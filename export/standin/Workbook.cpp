#include "standin/Objects.h"

#include "automation/ExcelOperations.h"
#include "filesafe.h"
#include "standin/Desktop.h"
#include "standin/TextFile.h"

#include <algorithm>

namespace ledgra::standin::detail {

void Saved(BookState& book, const std::string& path, FileKind kind) {
    book.fullName = path;
    book.kind = kind;
    book.saved = true;
    book.Stamp(path, kind);
}

// Writes the whole workbook as an Excel 97-2003 file. When that fails, the
// workbook stays one that is to be saved as a workbook at path (a later Save
// tries again and never writes text over it), and what it holds is saved
// beside path.
HRESULT WriteWorkbook(BookState& book, const std::string& path, ExcepInfo* info) {
    if (book.Unchanged(path, FileKind::Workbook)) {
        book.fullName = path;
        book.saved = true;
        return S_OK;
    }
    const xls::SaveResult saved = xls::SaveBiff8(*book.model, path, &book.memo);
    if (saved) {
        Saved(book, path, FileKind::Workbook);
        return S_OK;
    }
    book.fullName = path;
    book.kind = FileKind::Workbook;
    const std::string beside = SaveBeside(book, path);
    return Fail(info, PathText("The workbook cannot be saved as an Excel 97-2003 workbook. " +
                               saved.description + beside));
}

// Writes one sheet as comma-separated text.
HRESULT WriteText(BookState& book, std::size_t sheetIndex, const std::string& path, ExcepInfo* info) {
    if (book.Unchanged(path, FileKind::Text) && book.active == sheetIndex) {
        book.fullName = path;
        book.saved = true;
        return S_OK;
    }
    const SheetState& used = *book.sheets[sheetIndex];
    const std::string text =
        FormatCommaSeparated(book.model->Sheet(sheetIndex), used.usedRows, used.usedColumns);
    std::string error;
    if (!filesafe::ReplaceFileContent(path, text, error)) return Fail(info, PathText(error));
    book.active = sheetIndex;
    Saved(book, path, FileKind::Text);
    return S_OK;
}

HRESULT WorkbookObject::Invoke(DISPID dispId, WORD flags, DispArgs args, Variant* result, ExcepInfo* info) {
    BookState& book = *book_;
    switch (dispId) {
        case dispid::Sheets:
            if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
            if (!args.empty()) return DISP_E_BADPARAMCOUNT;
            ReturnObject(result, new SheetsObject(app_.get(), book_));
            return S_OK;
        case dispid::Save:
            if (!IsMethod(flags)) return DISP_E_MEMBERNOTFOUND;
            if (!args.empty()) return DISP_E_BADPARAMCOUNT;
            // In the file's current format: text until saved as a workbook.
            if (book.kind == FileKind::Workbook) return WriteWorkbook(book, book.fullName, info);
            return WriteText(book, std::min(book.active, book.sheets.size() - 1), book.fullName, info);
        case dispid::Saved:
            return BoolProperty(book.saved, flags, args, result);
        default:
            return DISP_E_MEMBERNOTFOUND;
    }
}

}  // namespace ledgra::standin::detail
