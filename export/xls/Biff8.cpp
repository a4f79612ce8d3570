// Planning the BIFF8 stream (the format's limits, each sheet's layout, the
// string table, where each sheet goes) and writing it from the records of
// GlobalsRecords.cpp, SstRecords.cpp and SheetRecords.cpp.
#include "xls/Biff8.h"

#include "xls/Records.h"
#include "xls/SheetNames.h"
#include "xls/Text.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>

namespace ledgra::xls::detail {

static_assert(std::endian::native == std::endian::little, "records are written with memcpy");

namespace {

constexpr std::uint64_t kMaxStream = 0xFFF00000ULL;  // offsets and sizes are 32-bit
constexpr std::size_t kMaxSheets = 0xFFFF;

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

// Why a sheet name cannot be written, or "" when it can.
std::string SheetNameProblem(const std::string& name) {
    switch (CheckSheetName(name)) {
        case SheetNameFault::Empty:
            return "has no name";
        case SheetNameFault::TooLong:
            return "has a name longer than " + std::to_string(kMaxSheetNameLength) +
                   " characters: " + Quoted(name);
        case SheetNameFault::BadCharacter:
            return "has a name with a character a sheet name cannot hold (: \\ / ? * [ ]): " + Quoted(name);
        case SheetNameFault::Apostrophe:
            return "has a name that begins or ends with an apostrophe: " + Quoted(name);
        case SheetNameFault::None:
            break;
    }
    return {};
}

std::string Describe(SaveStatus status, const std::string& sheet, std::uint64_t row, std::uint64_t column,
                     double number) {
    const std::string where = CellName(sheet, row, column) + ": ";
    switch (status) {
        case SaveStatus::RowLimitExceeded:
            return where + "the cell is below row " + std::to_string(kMaxRows) +
                   ", the last row an Excel 97-2003 workbook can hold.";
        case SaveStatus::ColumnLimitExceeded:
            return where +
                   "the cell is right of column IV, the last column an Excel 97-2003 workbook can hold.";
        case SaveStatus::TextTooLong:
            return where + "the text is longer than " + std::to_string(kMaxTextLength) +
                   " characters, the most an Excel 97-2003 workbook can hold in a cell.";
        case SaveStatus::NumberNotFinite:
            return where + "the number is " +
                   (std::isnan(number) ? "not a number (NaN)"
                    : number > 0       ? "infinite"
                                       : "minus infinite") +
                   ", which an Excel 97-2003 workbook cannot hold.";
        default:
            return where;
    }
}

SaveResult CheckSheetCount(std::size_t count) {
    if (count == 0) return {SaveStatus::NoSheets, "The workbook has no sheets."};
    if (count > kMaxSheets)
        return {SaveStatus::SheetLimitExceeded,
                "The workbook has more sheets than a workbook file can list."};
    return {};
}

// Whole-column formats become COLINFO records, the others are walked with the
// cells; returns the size of the COLINFO records.
std::uint64_t LayOutColumnFormats(const Worksheet& sheet, Biff8Writer::SheetLayout& L) {
    std::uint64_t colinfo = 0;
    for (std::uint32_t c = 0; c < kMaxColumns; ++c) {
        const std::vector<FormatRun>& runs = sheet.Formats(c);
        if (runs.empty()) continue;
        if (runs.size() == 1 && runs[0].first == 0 && runs[0].last == kMaxRows - 1) {
            if (L.wholeColumnXf.empty()) L.wholeColumnXf.assign(kMaxColumns, 0);
            L.wholeColumnXf[c] = XfOf(runs[0].format);
            if (c == 0 || L.wholeColumnXf[c - 1] != L.wholeColumnXf[c]) colinfo += 16;
        } else {
            L.partialColumns.push_back(static_cast<std::uint8_t>(c));
            L.walkEnd = std::max(L.walkEnd, runs.back().last + 1);
        }
    }
    L.walkEnd = std::max(L.walkEnd, sheet.RowCount());
    return colinfo;
}

// The number stored at a cell of the grid, or 0.
double GridNumber(const Worksheet& sheet, std::uint32_t row, std::uint32_t column) {
    const RowView cells = sheet.Row(row);
    for (std::uint16_t i = 0; i < cells.count; ++i)
        if (cells.columns[i] == column && cell::IsNumber(cells.values[i]))
            return sheet.NumberAt(cell::Index(cells.values[i]));
    return 0;
}

// The first cell the format cannot hold, in row and column order: the one the
// walk stopped at or one outside the grid, whichever comes first.
SaveResult FirstCellProblem(const Worksheet& sheet, const SheetMeasure& m) {
    std::uint64_t row = UINT64_MAX, column = 0;
    SaveStatus status = SaveStatus::Ok;
    double number = 0;
    if (m.problem != SaveStatus::Ok) {
        status = m.problem;
        row = m.problemRow;
        column = m.problemColumn;
        number = GridNumber(sheet, m.problemRow, m.problemColumn);
    }
    if (!sheet.Outside().empty()) {
        const auto& [pos, cell] = *sheet.Outside().begin();
        if (pos.first < row || (pos.first == row && pos.second < column)) {
            row = pos.first;
            column = pos.second;
            status =
                pos.second >= kMaxColumns ? SaveStatus::ColumnLimitExceeded : SaveStatus::RowLimitExceeded;
        }
    }
    if (status == SaveStatus::Ok) return {};
    return {status, Describe(status, sheet.Name(), row, column, number)};
}

// A sheet's size, dimensions and column formats, once it is known that the
// format can hold every cell; kept with the sheet for the next save, which
// reuses them while the sheet is unchanged.
SaveResult LayOutSheet(const Worksheet& sheet, const SharedStrings& strings, SaveMemo* memo,
                       Biff8Writer::SheetLayout& L) {
    SaveMemo::Sheets::Entry* kept = nullptr;
    if (memo != nullptr) {
        kept = &memo->Entries().byId[sheet.Id()];
        if (kept->version == sheet.Version()) {
            L = kept->layout;
            return {};
        }
    }
    const std::uint64_t colinfo = LayOutColumnFormats(sheet, L);
    const SheetMeasure m =
        MeasureSheetCells(sheet, L, strings.TooLongCount() > 0, sheet.NonFiniteCount() > 0);
    if (SaveResult checked = FirstCellProblem(sheet, m); !checked) return checked;

    L.size = kSheetFixed + colinfo + m.bytes;
    if (m.any) {
        L.firstRow = m.firstRow;
        L.rowEnd = m.lastRow + 1;
        L.firstColumn = m.firstColumn;
        L.columnEnd = static_cast<std::uint16_t>(m.lastColumn + 1);
    }
    if (kept != nullptr) *kept = {sheet.Version(), L};
    return {};
}

}  // namespace

std::string CellName(const std::string& sheet, std::uint64_t row, std::uint64_t column) {
    return sheet + "!" + ColumnLetters(column) + std::to_string(row + 1);
}

// Checks the workbook against the format's limits and lays the stream out:
// the sheet names, each sheet's cells, the string table and the globals, and
// last where each sheet goes.
SaveResult Biff8Writer::Plan() {
    if (SaveResult counted = CheckSheetCount(book_.SheetCount()); !counted) return counted;
    if (SaveResult named = EncodeSheetNames(); !named) return named;
    sheets_.assign(book_.SheetCount(), {});
    for (std::size_t s = 0; s < sheets_.size(); ++s)
        if (SaveResult measured = LayOutSheet(book_.SheetAt(s), book_.Strings(), memo_, sheets_[s]);
            !measured)
            return measured;
    NumberUsedStrings();
    MeasureGlobals();
    return PlaceSheets();
}

// Each sheet's name as the file stores it, once it is known that a workbook
// can hold the name and that no earlier sheet has it (in any case).
SaveResult Biff8Writer::EncodeSheetNames() {
    const std::size_t count = book_.SheetCount();
    sheetNames_.assign(count, {});
    sheetNamesWide_.assign(count, false);
    for (std::size_t s = 0; s < count; ++s) {
        const std::string& name = book_.SheetAt(s).Name();
        std::string problem = SheetNameProblem(name);
        for (std::size_t earlier = 0; problem.empty() && earlier < s; ++earlier)
            if (SameSheetName(name, book_.SheetAt(earlier).Name()))
                problem = "has the same name as an earlier sheet: " + Quoted(name);
        if (!problem.empty())
            return {SaveStatus::SheetNameInvalid, "Sheet " + std::to_string(s + 1) + " " + problem + "."};
        sheetNamesWide_[s] = EncodeText(name, sheetNames_[s]).wide;
    }
    return {};
}

// Strings no cell uses any more are left out; the rest keep their order.
void Biff8Writer::NumberUsedStrings() {
    const SharedStrings& strings = book_.Strings();
    const std::uint32_t unique = strings.Count();
    sstIndex_.clear();
    sstCount_ = 0;
    for (std::uint32_t i = 0; i < unique; ++i) {
        if (strings.Refs(i) == 0 && sstIndex_.empty()) {
            sstIndex_.assign(unique, UINT32_MAX);
            for (std::uint32_t j = 0; j < i; ++j) sstIndex_[j] = j;
        }
        if (strings.Refs(i) == 0) continue;
        if (!sstIndex_.empty()) sstIndex_[i] = sstCount_;
        ++sstCount_;
    }
}

// The globals: the fixed records and the sheet list, the SST with its
// CONTINUE records, EXTSST and EOF.
void Biff8Writer::MeasureGlobals() {
    Bytes head;
    GlobalsHead(head, sheets_, sheetNames_, sheetNamesWide_);
    extSstBucket_ = static_cast<std::uint16_t>(std::max<std::uint32_t>(8, (sstCount_ + 127) / 128));
    extSst_.clear();
    sstBytes_ = MeasureSst(Sst(), head.size(), extSst_);
    globalsSize_ = head.size() + sstBytes_ + 4 + 2 + 8 * extSst_.size() + 4;
}

// The sheets follow the globals in order; every offset must fit in 32 bits.
SaveResult Biff8Writer::PlaceSheets() {
    std::uint64_t at = globalsSize_;
    for (SheetLayout& L : sheets_) {
        L.offset = at;
        at += L.size;
    }
    streamSize_ = at;
    if (streamSize_ > kMaxStream)
        return {SaveStatus::FileSizeLimitExceeded,
                "The workbook is too large for an Excel 97-2003 file (over 4 GB)."};
    return {};
}

SstPlan Biff8Writer::Sst() const { return {book_.Strings(), sstIndex_, sstCount_, extSstBucket_}; }

// The stream: the globals, then each sheet; false as soon as the sink refuses.
bool Biff8Writer::Write(StreamSink& sink, EarlierStream* earlier) const {
    Out out(sink);
    WriteGlobals(out);
    for (std::size_t s = 0; s < sheets_.size(); ++s)
        if (!WriteSheet(out, s, earlier)) return false;
    out.Flush();
    return out.ok();
}

void Biff8Writer::Remember() const {
    if (memo_ == nullptr) return;
    SaveMemo::Sheets& memo = memo_->Entries();
    ++memo.saves;
    for (std::size_t s = 0; s < sheets_.size(); ++s) {
        const Worksheet& sheet = book_.SheetAt(s);
        SaveMemo::Sheets::Entry& e = memo.byId[sheet.Id()];
        e.savedIn = memo.saves;
        e.savedVersion = sheet.Version();
        e.savedAt = sheets_[s].offset;
        e.savedFirst = s == 0;
        e.savedPlain = sstIndex_.empty();
    }
}

// A sheet's records are the same bytes as in the last save when its content
// is unchanged, it is still (or still not) the first sheet, and both saves
// numbered texts as the string table does.
const std::uint64_t* Biff8Writer::EarlierOffset(std::size_t s) const {
    if (memo_ == nullptr || !sstIndex_.empty()) return nullptr;
    const SaveMemo::Sheets& memo = memo_->Entries();
    const Worksheet& sheet = book_.SheetAt(s);
    const auto found = memo.byId.find(sheet.Id());
    if (found == memo.byId.end()) return nullptr;
    const SaveMemo::Sheets::Entry& e = found->second;
    const bool same = memo.saves != 0 && e.savedIn == memo.saves && e.savedVersion == sheet.Version() &&
                      e.savedFirst == (s == 0) && e.savedPlain;
    return same ? &e.savedAt : nullptr;
}

void Biff8Writer::WriteGlobals(Out& out) const {
    Bytes head;
    GlobalsHead(head, sheets_, sheetNames_, sheetNamesWide_);
    out.Put(head);
    WriteSst(Sst(), out);
    Bytes tail;
    GlobalsTail(tail, extSstBucket_, extSst_);
    out.Put(tail);
}

bool Biff8Writer::WriteSheet(Out& out, std::size_t s, EarlierStream* earlier) const {
    if (const std::uint64_t* at = earlier ? EarlierOffset(s) : nullptr)
        return out.Copy(*earlier, *at, sheets_[s].size);
    Bytes head;
    SheetHead(head, sheets_[s]);
    out.Put(head);
    if (!WriteSheetCells(out, book_.SheetAt(s), sheets_[s], sstIndex_.empty() ? nullptr : sstIndex_.data()))
        return false;
    Bytes tail;
    SheetTail(tail, s == 0);
    out.Put(tail);
    return true;
}

}  // namespace ledgra::xls::detail

namespace ledgra::xls {

SaveMemo::SaveMemo() : sheets_(std::make_unique<Sheets>()) {}
SaveMemo::~SaveMemo() = default;

}  // namespace ledgra::xls
