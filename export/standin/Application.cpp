// The stand-in application's object model: Application, Workbooks, Workbook,
// Sheets, Worksheet and Range, each an automation object answering the
// requests by DISPID. The workbooks live in the xls model and are written with
// SaveBiff8; workbooks opened from text files are saved as text until they are
// saved as workbooks.
#include "standin/Standin.h"

#include "automation/ExcelOperations.h"
#include "fileio/ReplaceFile.h"
#include "registry/ClassRegistry.h"
#include "standin/Desktop.h"
#include "standin/SheetRules.h"
#include "standin/TextFile.h"
#include "xls/SheetNames.h"
#include "xls/Workbook.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace ledgra::standin {

namespace {

// The application's one error status for failed requests (run-time error 1004).
constexpr SCODE kAppError = MakeHResult(0x800A03EC);
constexpr const char* kSource = "Excel.Application";

// Range.Address, which only the tests ask for.
constexpr DISPID kAddress = 0xEC;

constexpr std::int32_t xlExcel9795 = 43;
constexpr std::int32_t xlExcel8 = 56;

// The largest file Workbooks.Open reads.
constexpr off_t kMaxOpenBytes = off_t{256} << 20;

// Cells a single Value request may touch, and may read back into an array.
constexpr std::uint64_t kMaxCellsPerRequest = std::uint64_t{1} << 24;
constexpr std::uint64_t kMaxCellsPerRead = std::uint64_t{1} << 20;

enum class FileKind { Text, Workbook };

struct SheetState {
    std::uint32_t usedRows = 0;
    std::uint32_t usedColumns = 0;
};

// What was last written to (or read from) the file, to recognise an unchanged workbook.
struct FileStamp {
    bool valid = false;
    std::string path;
    FileKind kind = FileKind::Text;
    std::uint64_t changes = 0;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t mtimeNs = 0;
};

bool Stat(const std::string& path, FileStamp& stamp) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.size = st.st_size;
#ifdef _WIN32
    stamp.mtimeNs = std::int64_t{st.st_mtime} * 1000000000;
#else
    stamp.mtimeNs = std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
#endif
    return true;
}

struct BookState {
    std::unique_ptr<xls::Workbook> model = std::make_unique<xls::Workbook>();
    std::vector<std::shared_ptr<SheetState>> sheets;  // one per model sheet, same order
    std::string fullName;
    FileKind kind = FileKind::Text;
    std::size_t active = 0;
    bool saved = true;
    std::uint64_t changes = 0;
    FileStamp written;

    std::ptrdiff_t IndexOf(const SheetState* sheet) const {
        for (std::size_t i = 0; i < sheets.size(); ++i)
            if (sheets[i].get() == sheet) return static_cast<std::ptrdiff_t>(i);
        return -1;
    }
    std::vector<std::string> NamesExcept(std::size_t skip) const {
        std::vector<std::string> names;
        for (std::size_t i = 0; i < model->SheetCount(); ++i)
            if (i != skip) names.push_back(model->Sheet(i).Name());
        return names;
    }
    void Changed() {
        ++changes;
        saved = false;
    }
    void Stamp(const std::string& path, FileKind fileKind) {
        written = FileStamp{};
        written.valid = Stat(path, written);
        written.path = path;
        written.kind = fileKind;
        written.changes = changes;
    }
    // True when path already holds exactly this workbook in this kind of file.
    bool Unchanged(const std::string& path, FileKind fileKind) const {
        FileStamp now;
        return written.valid && written.path == path && written.kind == fileKind &&
               written.changes == changes && Stat(path, now) && now.device == written.device &&
               now.inode == written.inode && now.size == written.size && now.mtimeNs == written.mtimeNs;
    }
};

struct AppState {
    bool visible = false;
    bool userControl = false;
    bool displayAlerts = true;
    std::vector<std::shared_ptr<BookState>> books;
};

HRESULT Fail(ExcepInfo* info, std::string description) {
    if (info) {
        info->scode = kAppError;
        info->source = kSource;
        info->description = std::move(description);
    }
    return DISP_E_EXCEPTION;
}

bool IsGet(WORD flags) { return (flags & DISPATCH_PROPERTYGET) != 0; }
bool IsPut(WORD flags) { return (flags & DISPATCH_PROPERTYPUT) != 0; }
bool IsMethod(WORD flags) { return (flags & DISPATCH_METHOD) != 0; }
bool Omitted(DispArgs args, std::size_t i) { return i >= args.size() || args[i]->IsOptional(); }

void ReturnObject(Variant* result, IDispatch* object) {
    if (result)
        result->AttachDispatch(object);
    else
        object->Release();
}

HRESULT BoolProperty(bool& field, WORD flags, DispArgs args, Variant* result) {
    if (IsPut(flags)) {
        if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
        return ChangeToBool(*args[0], field);
    }
    if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
    if (!args.empty()) return DISP_E_BADPARAMCOUNT;
    if (result) result->SetBool(field);
    return S_OK;
}

bool ParseFormatCode(const std::string& code, xls::NumberFormat& format) {
    if (SameSheetName(code, "General")) {
        format = xls::NumberFormat::General;
    } else if (code == "0.00") {
        format = xls::NumberFormat::Fixed2;
    } else if (code == "@") {
        format = xls::NumberFormat::Text;
    } else {
        return false;
    }
    return true;
}

bool IsCellValueType(VARTYPE vt) {
    switch (vt) {
        case VT_EMPTY:
        case VT_I2:
        case VT_I4:
        case VT_INT:
        case VT_R8:
        case VT_BSTR:
        case VT_BOOL:
        case VT_ERROR:
            return true;
        default:
            return false;
    }
}

void PutCell(xls::Worksheet& sheet, std::uint32_t row, std::uint32_t column, const Variant& value) {
    switch (value.vt()) {
        case VT_I2:
            sheet.SetNumber(row, column, value.iVal());
            break;
        case VT_I4:
            sheet.SetNumber(row, column, value.lVal());
            break;
        case VT_INT:
            sheet.SetNumber(row, column, value.intVal());
            break;
        case VT_R8:
            sheet.SetNumber(row, column, value.dblVal());
            break;
        case VT_BSTR:
            // An empty string leaves the cell empty.
            if (value.bstrVal().empty())
                sheet.Clear(row, column);
            else
                sheet.SetText(row, column, value.bstrVal());
            break;
        // The model holds numbers and texts only: a boolean is kept as its text,
        // and an error value (which a workbook would show as #N/A and the like)
        // leaves the cell empty, as VT_EMPTY does.
        case VT_BOOL:
            sheet.SetText(row, column, value.boolVal() ? "TRUE" : "FALSE");
            break;
        default:
            sheet.Clear(row, column);
            break;
    }
}

// The name of a file beside path for what could not be saved at path:
// "/d/Data.xls" gives "/d/Data-recovered" followed by suffix.
std::string RecoveredPath(const std::string& path, const std::string& suffix) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.find_last_of('.');
    const std::size_t stemEnd = dot == std::string::npos || dot <= nameStart ? path.size() : dot;
    return path.substr(0, stemEnd) + "-recovered" + suffix;
}

void Saved(BookState& book, const std::string& path, FileKind kind) {
    book.fullName = path;
    book.kind = kind;
    book.saved = true;
    book.Stamp(path, kind);
}

// When the workbook cannot be saved at path, everything it holds is saved
// beside path: as a whole workbook, or, when the format cannot hold its
// cells, as comma-separated text of each sheet. Says where, or that nothing
// could be saved.
std::string SaveBeside(BookState& book, const std::string& path) {
    const std::string workbook = RecoveredPath(path, ".xls");
    if (xls::SaveBiff8(*book.model, workbook)) {
        Saved(book, workbook, FileKind::Workbook);
        return " The whole workbook was saved as \"" + workbook + "\" instead.";
    }
    std::string written;
    for (std::size_t i = 0; i < book.sheets.size(); ++i) {
        const xls::Worksheet& sheet = book.model->Sheet(i);
        const std::string text = RecoveredPath(path, "-" + sheet.Name() + ".csv");
        const SheetState& used = *book.sheets[i];
        std::string error;
        if (!fileio::ReplaceFileContent(
                text, FormatCommaSeparated(sheet, used.usedRows, used.usedColumns, NumberText::Exact), error))
            return " Nothing could be saved beside it either: " + error;
        written += (written.empty() ? " \"" : ", \"") + text + "\"";
    }
    return " Every sheet was saved as comma-separated text instead:" + written + ".";
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
    const xls::SaveResult saved = xls::SaveBiff8(*book.model, path);
    if (saved) {
        Saved(book, path, FileKind::Workbook);
        return S_OK;
    }
    book.fullName = path;
    book.kind = FileKind::Workbook;
    const std::string beside = SaveBeside(book, path);
    return Fail(info,
                "The workbook cannot be saved as an Excel 97-2003 workbook. " + saved.description + beside);
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
    if (!fileio::ReplaceFileContent(path, text, error)) return Fail(info, error);
    book.active = sheetIndex;
    Saved(book, path, FileKind::Text);
    return S_OK;
}

class ApplicationObject;

// Objects of the model hold a reference of their application, so the
// application lives as long as any of its objects.
class ChildObject : public DispatchObject {
protected:
    explicit ChildObject(ApplicationObject* app);
    AppState& App() const;
    DispatchRef<ApplicationObject> app_;
};

class ApplicationObject final : public DispatchObject {
public:
    ApplicationObject() : state_(std::make_shared<AppState>()) {}
    AppState& State() const { return *state_; }
    HRESULT Invoke(DISPID dispId, WORD flags, DispArgs args, Variant* result, ExcepInfo* info) override;

private:
    ~ApplicationObject() override;
    std::shared_ptr<AppState> state_;
};

ChildObject::ChildObject(ApplicationObject* app) : app_(DispatchRef<ApplicationObject>::Share(app)) {}
AppState& ChildObject::App() const { return app_->State(); }

class WorkbooksObject final : public ChildObject {
public:
    explicit WorkbooksObject(ApplicationObject* app) : ChildObject(app) {}
    HRESULT Invoke(DISPID dispId, WORD flags, DispArgs args, Variant* result, ExcepInfo* info) override;

private:
    HRESULT Open(DispArgs args, Variant* result, ExcepInfo* info);
};

class WorkbookObject final : public ChildObject {
public:
    WorkbookObject(ApplicationObject* app, std::shared_ptr<BookState> book)
        : ChildObject(app), book_(std::move(book)) {}
    HRESULT Invoke(DISPID dispId, WORD flags, DispArgs args, Variant* result, ExcepInfo* info) override;

private:
    std::shared_ptr<BookState> book_;
};

class SheetsObject final : public ChildObject {
public:
    SheetsObject(ApplicationObject* app, std::shared_ptr<BookState> book)
        : ChildObject(app), book_(std::move(book)) {}
    HRESULT Invoke(DISPID dispId, WORD flags, DispArgs args, Variant* result, ExcepInfo* info) override;

private:
    HRESULT Add(DispArgs args, Variant* result, ExcepInfo* info);
    std::shared_ptr<BookState> book_;
};

class WorksheetObject final : public ChildObject {
public:
    WorksheetObject(ApplicationObject* app, std::shared_ptr<BookState> book,
                    std::shared_ptr<SheetState> sheet)
        : ChildObject(app), book_(std::move(book)), sheet_(std::move(sheet)) {}
    HRESULT Invoke(DISPID dispId, WORD flags, DispArgs args, Variant* result, ExcepInfo* info) override;
    const BookState* Book() const { return book_.get(); }
    std::ptrdiff_t Index() const { return book_->IndexOf(sheet_.get()); }

private:
    HRESULT Name(WORD flags, DispArgs args, Variant* result, ExcepInfo* info);
    HRESULT Range(DispArgs args, Variant* result, ExcepInfo* info);
    HRESULT SaveAs(DispArgs args, ExcepInfo* info);
    std::shared_ptr<BookState> book_;
    std::shared_ptr<SheetState> sheet_;
};

class RangeObject final : public ChildObject {
public:
    RangeObject(ApplicationObject* app, std::shared_ptr<BookState> book, std::shared_ptr<SheetState> sheet,
                CellRect rect)
        : ChildObject(app), book_(std::move(book)), sheet_(std::move(sheet)), rect_(rect) {}
    HRESULT Invoke(DISPID dispId, WORD flags, DispArgs args, Variant* result, ExcepInfo* info) override;
    const SheetState* Sheet() const { return sheet_.get(); }
    const CellRect& Rect() const { return rect_; }

private:
    HRESULT PutValue(const Variant& value, ExcepInfo* info);
    HRESULT GetValue(Variant* result);
    HRESULT Resize(DispArgs args, Variant* result, ExcepInfo* info);
    std::shared_ptr<BookState> book_;
    std::shared_ptr<SheetState> sheet_;
    CellRect rect_;
};

// ------------------------------------------------------------------ Application

ApplicationObject::~ApplicationObject() {
    // The last reference is gone. Left visible and under the user's control,
    // the application shows the user the workbooks it saved: for each, the
    // workbook file it wrote last (beside the chosen one when that failed).
    try {
        if (state_->visible && state_->userControl)
            for (const auto& book : state_->books)
                if (book->written.valid && book->written.kind == FileKind::Workbook)
                    OpenOnDesktop(book->written.path);
    } catch (...) {
    }
}

HRESULT ApplicationObject::Invoke(DISPID dispId, WORD flags, DispArgs args, Variant* result, ExcepInfo*) {
    AppState& app = *state_;
    switch (dispId) {
        case dispid::Visible:
            return BoolProperty(app.visible, flags, args, result);
        case dispid::DisplayAlerts:
            return BoolProperty(app.displayAlerts, flags, args, result);
        case dispid::UserControl:
            return BoolProperty(app.userControl, flags, args, result);
        case dispid::Workbooks:
            if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
            if (!args.empty()) return DISP_E_BADPARAMCOUNT;
            ReturnObject(result, new WorkbooksObject(this));
            return S_OK;
        case dispid::Version:
            if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
            if (!args.empty()) return DISP_E_BADPARAMCOUNT;
            if (result) result->SetString(std::string_view(kVersion));
            return S_OK;
        default:
            return DISP_E_MEMBERNOTFOUND;
    }
}

// ------------------------------------------------------------------ Workbooks

HRESULT WorkbooksObject::Invoke(DISPID dispId, WORD flags, DispArgs args, Variant* result, ExcepInfo* info) {
    switch (dispId) {
        case dispid::Open:
            if (!IsMethod(flags)) return DISP_E_MEMBERNOTFOUND;
            return Open(args, result, info);
        default:
            return DISP_E_MEMBERNOTFOUND;
    }
}

#ifdef _WIN32
constexpr int kOpenFlags = O_RDONLY | O_BINARY;
#else
constexpr int kOpenFlags = O_RDONLY | O_NONBLOCK | O_CLOEXEC;  // a pipe must not block the open
#endif

// Reads the file Workbooks.Open names: a regular file of at most
// kMaxOpenBytes. A folder, a device or a pipe is refused, not read.
bool ReadOpenedFile(const std::string& path, std::string& content, std::string& problem) {
    const std::string quoted = "'" + path + "'";
    const int fd = path.empty() ? -1 : ::open(path.c_str(), kOpenFlags);
    if (fd < 0) {
        problem = path.empty() || errno == ENOENT || errno == ENOTDIR
                      ? quoted +
                            " could not be found. Check the spelling of the file name, and verify that "
                            "the file location is correct."
                      : quoted + " cannot be opened: " + std::strerror(errno) + ".";
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    if (!ok) {
        problem = quoted + " cannot be read: " + std::strerror(errno) + ".";
    } else if (S_ISDIR(st.st_mode)) {
        problem = quoted + " is a folder; this application opens files only.";
        ok = false;
    } else if (!S_ISREG(st.st_mode)) {
        problem = quoted + " is a device, a pipe or a socket; this application opens regular files only.";
        ok = false;
    } else if (st.st_size > kMaxOpenBytes) {
        problem = quoted + " is larger than 256 MB, the most this application opens.";
        ok = false;
    }
    char chunk[65536];
    while (ok) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) problem = quoted + " cannot be read: " + std::strerror(errno) + ".";
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        content.append(chunk, static_cast<std::size_t>(n));
        if (content.size() > static_cast<std::size_t>(kMaxOpenBytes)) {  // it grew while being read
            problem = quoted + " is larger than 256 MB, the most this application opens.";
            ok = false;
        }
    }
    ::close(fd);
    return ok;
}

HRESULT WorkbooksObject::Open(DispArgs args, Variant* result, ExcepInfo* info) {
    if (args.empty() || args.size() > 15) return DISP_E_BADPARAMCOUNT;
    std::string path;
    if (FAILED(ChangeToString(*args[0], path))) return DISP_E_TYPEMISMATCH;

    std::string content;
    std::string problem;
    if (!ReadOpenedFile(path, content, problem)) return Fail(info, problem);
    if (LooksLikeWorkbookFile(content))
        return Fail(info, "'" + path +
                              "' is a workbook file; this application opens empty and text files "
                              "only.");

    auto book = std::make_shared<BookState>();
    xls::Worksheet& sheet = book->model->InsertSheet(0, SheetNameFromPath(path));
    auto state = std::make_shared<SheetState>();
    ReadCommaSeparated(content, sheet, state->usedRows, state->usedColumns);
    book->sheets.push_back(std::move(state));
    book->fullName = path;
    book->Stamp(path, FileKind::Text);
    App().books.push_back(book);
    ReturnObject(result, new WorkbookObject(app_.get(), std::move(book)));
    return S_OK;
}

// ------------------------------------------------------------------ Workbook

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

// ------------------------------------------------------------------ Sheets

HRESULT SheetsObject::Invoke(DISPID dispId, WORD flags, DispArgs args, Variant* result, ExcepInfo* info) {
    BookState& book = *book_;
    switch (dispId) {
        case dispid::Item: {
            if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
            if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
            std::size_t index = book.sheets.size();
            std::int32_t n = 0;
            const HRESULT hr = ChangeToInt32(*args[0], n);
            if (FAILED(hr)) return hr;
            if (n >= 1) index = static_cast<std::size_t>(n) - 1;
            if (index >= book.sheets.size()) return DISP_E_BADINDEX;
            ReturnObject(result, new WorksheetObject(app_.get(), book_, book.sheets[index]));
            return S_OK;
        }
        case dispid::Add:
            if (!IsMethod(flags)) return DISP_E_MEMBERNOTFOUND;
            return Add(args, result, info);
        default:
            return DISP_E_MEMBERNOTFOUND;
    }
}

// Adds one worksheet after the sheet given as After, or before the active
// sheet when After is omitted. Before, Count and Type are not supported.
HRESULT SheetsObject::Add(DispArgs args, Variant* result, ExcepInfo* info) {
    if (args.size() > 4) return DISP_E_BADPARAMCOUNT;
    BookState& book = *book_;
    if (!Omitted(args, 0) || !Omitted(args, 2) || !Omitted(args, 3))
        return Fail(info, "Method 'Add' of object 'Sheets' failed");
    std::size_t position = std::min(book.active, book.sheets.size());
    if (!Omitted(args, 1)) {
        auto* sheet = dynamic_cast<WorksheetObject*>(args[1]->pdispVal());
        if (sheet == nullptr) return DISP_E_TYPEMISMATCH;
        if (sheet->Book() != &book || sheet->Index() < 0)
            return Fail(info, "Method 'Add' of object 'Sheets' failed");
        position = static_cast<std::size_t>(sheet->Index()) + 1;
    }
    book.model->InsertSheet(position, NextFreeSheetName(book.NamesExcept(book.sheets.size())));
    auto state = std::make_shared<SheetState>();
    book.sheets.insert(book.sheets.begin() + static_cast<std::ptrdiff_t>(position), state);
    book.active = position;
    book.Changed();
    ReturnObject(result, new WorksheetObject(app_.get(), book_, std::move(state)));
    return S_OK;
}

// ------------------------------------------------------------------ Worksheet

HRESULT WorksheetObject::Invoke(DISPID dispId, WORD flags, DispArgs args, Variant* result, ExcepInfo* info) {
    if (Index() < 0) return E_UNEXPECTED;
    switch (dispId) {
        case dispid::Name:
            return Name(flags, args, result, info);
        case dispid::Range:
            if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
            return Range(args, result, info);
        case dispid::SaveAs:
            if (!IsMethod(flags)) return DISP_E_MEMBERNOTFOUND;
            return SaveAs(args, info);
        default:
            return DISP_E_MEMBERNOTFOUND;
    }
}

HRESULT WorksheetObject::Name(WORD flags, DispArgs args, Variant* result, ExcepInfo* info) {
    const auto index = static_cast<std::size_t>(Index());
    xls::Worksheet& sheet = book_->model->Sheet(index);
    if (IsPut(flags)) {
        if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
        std::string name;
        if (FAILED(ChangeToString(*args[0], name))) return DISP_E_TYPEMISMATCH;
        if (name == sheet.Name()) return S_OK;
        const SheetNameProblem problem = CheckSheetName(name, book_->NamesExcept(index));
        if (problem != SheetNameProblem::None) return Fail(info, SheetNameProblemText(problem));
        sheet.SetName(std::move(name));
        book_->Changed();
        return S_OK;
    }
    if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
    if (!args.empty()) return DISP_E_BADPARAMCOUNT;
    if (result) result->SetString(std::string_view(sheet.Name()));
    return S_OK;
}

HRESULT WorksheetObject::Range(DispArgs args, Variant* result, ExcepInfo* info) {
    if (args.empty() || args.size() > 2) return DISP_E_BADPARAMCOUNT;
    constexpr const char* kFailed = "Method 'Range' of object '_Worksheet' failed";
    auto resolve = [&](const Variant& cell, CellRect& rect) -> HRESULT {
        if (cell.vt() == VT_BSTR) return ParseRangeReference(cell.bstrVal(), rect) ? S_OK : E_FAIL;
        if (auto* range = dynamic_cast<RangeObject*>(cell.pdispVal())) {
            if (range->Sheet() != sheet_.get()) return E_FAIL;
            rect = range->Rect();
            return S_OK;
        }
        return DISP_E_TYPEMISMATCH;
    };
    CellRect rect;
    HRESULT hr = resolve(*args[0], rect);
    if (hr == DISP_E_TYPEMISMATCH) return hr;
    if (FAILED(hr)) return Fail(info, kFailed);
    if (!Omitted(args, 1)) {
        CellRect second;
        hr = resolve(*args[1], second);
        if (hr == DISP_E_TYPEMISMATCH) return hr;
        if (FAILED(hr)) return Fail(info, kFailed);
        rect = Union(rect, second);
    }
    ReturnObject(result, new RangeObject(app_.get(), book_, sheet_, rect));
    return S_OK;
}

HRESULT WorksheetObject::SaveAs(DispArgs args, ExcepInfo* info) {
    if (args.empty() || args.size() > 11) return DISP_E_BADPARAMCOUNT;
    std::string path;
    if (FAILED(ChangeToString(*args[0], path))) return DISP_E_TYPEMISMATCH;
    if (path.empty()) return Fail(info, "Method 'SaveAs' of object '_Worksheet' failed");
    std::int32_t format = xlExcel8;
    if (!Omitted(args, 1)) {
        const HRESULT hr = ChangeToInt32(*args[1], format);
        if (FAILED(hr)) return hr;
    }
    if (format == xlExcel8 || format == xlExcel9795) return WriteWorkbook(*book_, path, info);
    return Fail(info,
                "This application saves Excel 97-2003 workbooks (file formats 56 and 43) only; file "
                "format " +
                    std::to_string(format) + " cannot be written.");
}

// ------------------------------------------------------------------ Range

HRESULT RangeObject::Invoke(DISPID dispId, WORD flags, DispArgs args, Variant* result, ExcepInfo* info) {
    const std::ptrdiff_t index = book_->IndexOf(sheet_.get());
    if (index < 0) return E_UNEXPECTED;
    switch (dispId) {
        case dispid::Value:
            if (IsPut(flags)) {
                if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
                return PutValue(*args[0], info);
            }
            if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
            return GetValue(result);
        case dispid::NumberFormat: {
            xls::Worksheet& sheet = book_->model->Sheet(static_cast<std::size_t>(index));
            if (IsPut(flags)) {
                if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
                std::string code;
                xls::NumberFormat format{};
                if (FAILED(ChangeToString(*args[0], code)) || !ParseFormatCode(code, format))
                    return Fail(info, "Unable to set the NumberFormat property of the Range class");
                for (std::uint32_t column = rect_.firstColumn; column <= rect_.lastColumn; ++column)
                    sheet.SetNumberFormat(rect_.firstRow, rect_.lastRow, column, format);
                book_->Changed();
                return S_OK;
            }
            return DISP_E_MEMBERNOTFOUND;
        }
        case dispid::Resize:
            if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
            return Resize(args, result, info);
        case kAddress: {
            if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
            auto corner = [](std::string& out, std::uint32_t row, std::uint32_t column) {
                out.push_back('$');
                out.append(xls::ColumnLetters(column));
                out.push_back('$');
                out.append(std::to_string(row + 1));
            };
            std::string address;
            corner(address, rect_.firstRow, rect_.firstColumn);
            if (rect_.Rows() > 1 || rect_.Columns() > 1) {
                address.push_back(':');
                corner(address, rect_.lastRow, rect_.lastColumn);
            }
            if (result) result->SetString(std::move(address));
            return S_OK;
        }
        default:
            return DISP_E_MEMBERNOTFOUND;
    }
}

HRESULT RangeObject::PutValue(const Variant& value, ExcepInfo* info) {
    if (rect_.Rows() * rect_.Columns() > kMaxCellsPerRequest) return E_OUTOFMEMORY;
    xls::Worksheet& sheet = book_->model->Sheet(static_cast<std::size_t>(book_->IndexOf(sheet_.get())));
    const SafeArray* array = value.parray();
    if (array == nullptr) {
        if (!IsCellValueType(value.vt())) return DISP_E_TYPEMISMATCH;
        for (std::uint32_t r = rect_.firstRow; r <= rect_.lastRow; ++r)
            for (std::uint32_t c = rect_.firstColumn; c <= rect_.lastColumn; ++c) PutCell(sheet, r, c, value);
    } else {
        const std::uint32_t rows = array->Rows();
        const std::uint32_t columns = array->Columns();
        for (std::uint32_t i = 0; i < rows; ++i)
            for (std::uint32_t j = 0; j < columns; ++j)
                if (!IsCellValueType(array->At(i, j).vt())) return DISP_E_TYPEMISMATCH;
        if (rows == 0 || columns == 0) return Fail(info, "Application-defined or object-defined error");
        static const Variant kEmpty;
        // An array dimension of one repeats over the range; cells beyond the
        // array are left empty.
        for (std::uint32_t i = 0; i < rect_.Rows(); ++i) {
            const std::uint32_t ai = rows == 1 ? 0 : i;
            for (std::uint32_t j = 0; j < rect_.Columns(); ++j) {
                const std::uint32_t aj = columns == 1 ? 0 : j;
                const Variant& cell = (ai < rows && aj < columns) ? array->At(ai, aj) : kEmpty;
                PutCell(sheet, rect_.firstRow + i, rect_.firstColumn + j, cell);
            }
        }
    }
    sheet_->usedRows = std::max(sheet_->usedRows, rect_.lastRow + 1);
    sheet_->usedColumns = std::max(sheet_->usedColumns, rect_.lastColumn + 1);
    book_->Changed();
    return S_OK;
}

HRESULT RangeObject::GetValue(Variant* result) {
    if (result == nullptr) return S_OK;
    if (rect_.Rows() * rect_.Columns() > kMaxCellsPerRead) return E_OUTOFMEMORY;
    const xls::Worksheet& sheet = book_->model->Sheet(static_cast<std::size_t>(book_->IndexOf(sheet_.get())));
    auto read = [&](std::uint32_t row, std::uint32_t column) {
        xls::CellValue cell = sheet.CellAt(row, column);
        if (cell.kind == xls::CellKind::Number) return Variant::R8(cell.number);
        if (cell.kind == xls::CellKind::Text) return Variant::String(std::move(cell.text));
        return Variant();
    };
    if (rect_.Rows() == 1 && rect_.Columns() == 1) {
        *result = read(rect_.firstRow, rect_.firstColumn);
        return S_OK;
    }
    SafeArray array(static_cast<std::uint32_t>(rect_.Rows()), static_cast<std::uint32_t>(rect_.Columns()));
    for (std::uint32_t i = 0; i < array.Rows(); ++i)
        for (std::uint32_t j = 0; j < array.Columns(); ++j)
            array.At(i, j) = read(rect_.firstRow + i, rect_.firstColumn + j);
    result->SetArray(std::move(array));
    return S_OK;
}

HRESULT RangeObject::Resize(DispArgs args, Variant* result, ExcepInfo* info) {
    if (args.size() > 2) return DISP_E_BADPARAMCOUNT;
    std::int32_t rows = static_cast<std::int32_t>(rect_.Rows());
    std::int32_t columns = static_cast<std::int32_t>(rect_.Columns());
    if (!Omitted(args, 0)) {
        const HRESULT hr = ChangeToInt32(*args[0], rows);
        if (FAILED(hr)) return hr;
    }
    if (!Omitted(args, 1)) {
        const HRESULT hr = ChangeToInt32(*args[1], columns);
        if (FAILED(hr)) return hr;
    }
    if (rows < 1 || columns < 1 ||
        std::uint64_t{rect_.firstRow} + static_cast<std::uint64_t>(rows) > kGridRows ||
        std::uint64_t{rect_.firstColumn} + static_cast<std::uint64_t>(columns) > kGridColumns)
        return Fail(info, "Application-defined or object-defined error");
    CellRect resized{rect_.firstRow, rect_.firstColumn, rect_.firstRow + static_cast<std::uint32_t>(rows) - 1,
                     rect_.firstColumn + static_cast<std::uint32_t>(columns) - 1};
    ReturnObject(result, new RangeObject(app_.get(), book_, sheet_, resized));
    return S_OK;
}

}  // namespace

IDispatch* NewApplication() { return new ApplicationObject(); }

void RegisterApplication() {
    ClassRegistry::Instance().Register(kProgId, [] { return NewApplication(); });
}

}  // namespace ledgra::standin
