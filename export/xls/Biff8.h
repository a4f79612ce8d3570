// The BIFF8 "Workbook" stream of a workbook model.
//
// Saving is planned first: the limits are checked and every record's size is
// known before a byte is written, so the sheet offsets of the globals can be
// written in place and the stream goes out in one pass, in large chunks.
#pragma once

#include "xls/Model.h"
#include "xls/Workbook.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace ledgra::xls::detail {

// Where the stream goes.
class StreamSink {
public:
    virtual ~StreamSink() = default;
    virtual bool Write(const void* data, std::size_t size) = 0;  // false: give up
};

// The stream of the file the previous save of the same workbook wrote, while
// that file is still as it was: sheets that have not changed are read back
// from it instead of being serialized again.
class EarlierStream {
public:
    virtual ~EarlierStream() = default;
    // Reads size bytes at offset of the earlier stream; false when it cannot.
    virtual bool Read(std::uint64_t offset, void* into, std::size_t size) = 0;
};

class Out;
struct SstPlan;

// "Sheet1!B3" style reference (0-based row and column, any size).
std::string CellName(const std::string& sheet, std::uint64_t row, std::uint64_t column);

class Biff8Writer {
public:
    explicit Biff8Writer(const Workbook& workbook, SaveMemo* memo = nullptr) : book_(workbook), memo_(memo) {}

    // Checks the workbook against the format's limits and lays the stream out.
    SaveResult Plan();
    std::uint64_t StreamSize() const { return streamSize_; }
    // Writes the planned stream; false when the sink refused or earlier could
    // not be read.
    bool Write(StreamSink& sink, EarlierStream* earlier = nullptr) const;
    // Notes in the memo where each sheet went, once the stream is saved.
    void Remember() const;

    struct ExtSstEntry {
        std::uint32_t offset;    // stream offset of the bucket's first string
        std::uint16_t inRecord;  // its distance from the header of its record
    };
    struct SheetLayout {
        std::uint64_t offset = 0;  // of the sheet's BOF in the stream
        std::uint64_t size = 0;
        std::uint32_t firstRow = 0, rowEnd = 0;  // DIMENSIONS
        std::uint16_t firstColumn = 0, columnEnd = 0;
        std::vector<std::uint8_t> wholeColumnXf;   // per column, 0: none (COLINFO)
        std::vector<std::uint8_t> partialColumns;  // columns with formats on some rows
        std::uint32_t walkEnd = 0;                 // rows to walk
    };

private:
    SaveResult EncodeSheetNames();
    void NumberUsedStrings();
    void MeasureGlobals();
    SaveResult PlaceSheets();
    SstPlan Sst() const;
    void WriteGlobals(Out& out) const;
    bool WriteSheet(Out& out, std::size_t sheet, EarlierStream* earlier) const;
    // Where the sheet's unchanged bytes lie in the earlier stream, if they can be reused.
    const std::uint64_t* EarlierOffset(std::size_t sheet) const;

    const Workbook& book_;
    SaveMemo* memo_;
    std::vector<SheetLayout> sheets_;
    std::vector<std::vector<std::uint8_t>> sheetNames_;  // encoded
    std::vector<bool> sheetNamesWide_;
    std::vector<std::uint32_t> sstIndex_;  // string index -> SST position, when some are unused
    std::uint32_t sstCount_ = 0;
    std::uint16_t extSstBucket_ = 8;
    std::vector<ExtSstEntry> extSst_;
    std::uint64_t sstBytes_ = 0;
    std::uint64_t globalsSize_ = 0;
    std::uint64_t streamSize_ = 0;
};

}  // namespace ledgra::xls::detail

namespace ledgra::xls {

// Each sheet's layout from an earlier save, by the sheet's id, with the
// version of the content it was worked out for.
struct SaveMemo::Sheets {
    struct Entry {
        std::uint64_t version = 0;
        detail::Biff8Writer::SheetLayout layout;
        // Where the last save that held the sheet put its records.
        std::uint64_t savedIn = 0;  // which save (0: none)
        std::uint64_t savedVersion = 0;
        std::uint64_t savedAt = 0;  // offset in that save's stream
        bool savedFirst = false;    // the selected first sheet
        bool savedPlain = false;    // texts numbered as in the string table
    };
    std::unordered_map<std::uint64_t, Entry> byId;
    std::uint64_t saves = 0;  // stream saves noted
    // The file of the latest noted save, and what identified it right after
    // (platform's own words: device, file number, size, times).
    std::string savedPath;
    std::vector<std::uint64_t> savedFile;
};

}  // namespace ledgra::xls
