// The stand-in application's object model: Application, Workbooks, Workbook,
// Sheets, Worksheet and Range, each an automation object answering the
// requests by DISPID (one source file each). The workbooks live in the xls
// model and are written with SaveBiff8; workbooks opened from text files are
// saved as text until they are saved as workbooks. What cannot be saved where
// asked is saved beside it (Recovery.cpp).
#pragma once

#include "automation/Dispatch.h"
#include "standin/SheetRules.h"
#include "standin/TextFile.h"
#include "xls/Workbook.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ledgra::standin::detail {

enum class FileKind { Text, Workbook };

struct SheetState {
    std::uint32_t usedRows = 0;
    std::uint32_t usedColumns = 0;
    // Texts longer than a workbook cell holds, whole (the model keeps their
    // start only); a recovery file writes them whole.
    WholeTexts longTexts;
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

bool Stat(const std::string& path, FileStamp& stamp);

struct BookState {
    std::unique_ptr<xls::Workbook> model = std::make_unique<xls::Workbook>();
    xls::SaveMemo memo;                               // what the last save worked out, for the next one
    std::vector<std::shared_ptr<SheetState>> sheets;  // one per model sheet, same order
    std::string fullName;
    FileKind kind = FileKind::Text;
    std::size_t active = 0;
    bool saved = true;
    std::uint64_t changes = 0;
    FileStamp written;
    // The recovery files written for a path and suffix, as written, so a
    // later failure there updates them instead of adding new ones.
    std::map<std::string, FileStamp> recoveries;

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

HRESULT Fail(ExcepInfo* info, std::string description);
inline bool IsGet(WORD flags) { return (flags & DISPATCH_PROPERTYGET) != 0; }
inline bool IsPut(WORD flags) { return (flags & DISPATCH_PROPERTYPUT) != 0; }
inline bool IsMethod(WORD flags) { return (flags & DISPATCH_METHOD) != 0; }
inline bool Omitted(DispArgs args, std::size_t i) { return i >= args.size() || args[i]->IsOptional(); }
void ReturnObject(Variant* result, IDispatch* object);
HRESULT BoolProperty(bool& field, WORD flags, DispArgs args, Variant* result);

// Marks the workbook as saved at path in that kind of file.
void Saved(BookState& book, const std::string& path, FileKind kind);

// Saving (Workbook.cpp): the whole workbook as an Excel 97-2003 file, or one
// sheet as comma-separated text.
HRESULT WriteWorkbook(BookState& book, const std::string& path, ExcepInfo* info);
HRESULT WriteText(BookState& book, std::size_t sheetIndex, const std::string& path, ExcepInfo* info);

// When the workbook cannot be saved at path, everything it holds is saved
// beside it, in new files; the text that says what was saved where, and what
// could not be saved (Recovery.cpp).
std::string SaveBeside(BookState& book, const std::string& path);

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

inline ChildObject::ChildObject(ApplicationObject* app) : app_(DispatchRef<ApplicationObject>::Share(app)) {}
inline AppState& ChildObject::App() const { return app_->State(); }

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

}  // namespace ledgra::standin::detail
