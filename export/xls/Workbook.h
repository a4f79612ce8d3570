// The workbook model the stand-in spreadsheet application keeps in memory, and
// the one call that writes it as an Excel 97-2003 workbook (BIFF8 records in a
// compound file). Model, record serializer and container live in separate
// files of this folder; this header is what the application uses.
//
// Texts are UTF-8 (bytes that are not valid UTF-8 are taken as Latin-1).
// Rows and columns are 0-based. The model accepts any position; the limits of
// the file format are checked when saving, so nothing is dropped silently.
#pragma once

#include "xls/Model.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ledgra::xls {

// The sheets in order and the string table they share.
class Workbook {
public:
    Workbook();
    ~Workbook();
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    std::size_t SheetCount() const { return sheets_.size(); }
    Worksheet& Sheet(std::size_t index);  // 0-based, index < SheetCount()
    const Worksheet& Sheet(std::size_t index) const;
    // Inserts a new empty sheet at position (0..SheetCount()) and returns it.
    Worksheet& InsertSheet(std::size_t position, std::string name);

    // For the serializer.
    const Worksheet& SheetAt(std::size_t index) const { return *sheets_[index]; }
    const detail::SharedStrings& Strings() const { return *strings_; }
    std::size_t MemoryBytes() const;

private:
    std::unique_ptr<detail::SharedStrings> strings_;  // made first: sheets release into it
    std::vector<std::unique_ptr<Worksheet>> sheets_;
};

// Why a save failed; each code names the limit or the step it guards.
enum class SaveStatus {
    Ok,
    RowLimitExceeded,     // a cell beyond row 65536
    ColumnLimitExceeded,  // a cell beyond column IV
    TextTooLong,          // a text over 32767 characters
    NumberNotFinite,      // NaN or infinity
    SheetNameInvalid,     // empty, over 31 characters, holding : \ / ? * [ ], an apostrophe
                          // at either end, or the name of an earlier sheet (any case)
    NoSheets,
    SheetLimitExceeded,     // more than 65535 sheets
    FileSizeLimitExceeded,  // a workbook stream over 4 GB
    WriteFailed,            // the file system refused (temporary file, write, rename)
};

struct SaveResult {
    SaveStatus status = SaveStatus::Ok;
    std::string description;  // for the user: what and where ("Data-Sheet1!IW1: ...")
    explicit operator bool() const { return status == SaveStatus::Ok; }
};

// Writes the whole workbook as BIFF8 in a compound file to a temporary file in
// path's folder, then renames it over path (keeping path's permissions if it
// exists). On failure path is untouched and the temporary file is removed.
// The limits are checked before anything is written. A symbolic link at path
// stays a link: the file it points to is replaced. Like the model itself, not
// to be called while another thread changes or saves the same workbook.
//
// memo, when given, keeps what a save worked out about each sheet (its size,
// checks and layout) for the next save of the same workbook, which then skips
// that work for every sheet that has not changed since.
class SaveMemo;
SaveResult SaveBiff8(const Workbook& workbook, const std::string& path, SaveMemo* memo = nullptr);

// Owned by whoever saves a workbook again and again (the stand-in application
// saves after every sheet); the serializer alone reads and fills it.
class SaveMemo {
public:
    SaveMemo();
    ~SaveMemo();
    SaveMemo(const SaveMemo&) = delete;
    SaveMemo& operator=(const SaveMemo&) = delete;

    struct Sheets;
    Sheets& Entries() { return *sheets_; }

private:
    std::unique_ptr<Sheets> sheets_;
};

}  // namespace ledgra::xls
