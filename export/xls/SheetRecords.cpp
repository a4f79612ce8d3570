// A worksheet's records: BOF, COLINFO and DIMENSIONS; the cells (RK, NUMBER,
// LABELSST, BLANK) in row and column order; WINDOW2 and EOF.
#include "xls/Records.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <iterator>

namespace ledgra::xls::detail {
namespace {

// A set of columns, one bit each.
struct ColumnSet {
    std::uint64_t words[kMaxColumns / 64] = {};

    void Add(std::uint8_t c) { words[c >> 6] |= std::uint64_t{1} << (c & 63); }
    void Remove(std::uint8_t c) { words[c >> 6] &= ~(std::uint64_t{1} << (c & 63)); }
    bool Empty() const {
        std::uint64_t any = 0;
        for (const std::uint64_t w : words) any |= w;
        return any == 0;
    }
    // The columns in increasing order into out; how many.
    std::size_t List(std::uint8_t* out) const {
        std::size_t n = 0;
        for (std::size_t i = 0; i < std::size(words); ++i)
            for (std::uint64_t w = words[i]; w != 0; w &= w - 1)
                out[n++] = static_cast<std::uint8_t>(i * 64 + static_cast<std::size_t>(std::countr_zero(w)));
        return n;
    }
};

// The format of each partly formatted column at row (its XF into xf, and
// into formatted when it is not General), the runs' cursors moved on to it.
// Returns the first row after it where any of them may change.
std::uint32_t FormatsAt(const Worksheet& sheet, const std::vector<std::uint8_t>& partial, std::uint32_t row,
                        std::uint32_t* cursor, std::uint8_t* xf, ColumnSet& formatted) {
    std::uint32_t next = UINT32_MAX;
    formatted = {};
    for (std::size_t k = 0; k < partial.size(); ++k) {
        const std::vector<FormatRun>& runs = sheet.Formats(partial[k]);
        std::uint32_t i = cursor[k];
        while (i < runs.size() && runs[i].last < row) ++i;
        cursor[k] = i;
        const bool inRun = i < runs.size() && runs[i].first <= row;
        xf[partial[k]] = inRun ? XfOf(runs[i].format) : kGeneralXf;
        if (xf[partial[k]] != kGeneralXf) formatted.Add(partial[k]);
        if (i < runs.size()) next = std::min(next, inRun ? runs[i].last + 1 : runs[i].first);
    }
    return next;
}

// Visits a sheet's cell records in row and column order: the cells, and a
// BLANK for each empty cell whose column format differs from the column's.
// The formats are looked up again only at the rows where a run begins or ends.
template <class Visitor>
bool WalkSheet(const Worksheet& sheet, const Biff8Writer::SheetLayout& layout, Visitor& v) {
    std::uint8_t xf[kMaxColumns];
    for (std::uint32_t c = 0; c < kMaxColumns; ++c)
        xf[c] =
            layout.wholeColumnXf.empty() || !layout.wholeColumnXf[c] ? kGeneralXf : layout.wholeColumnXf[c];
    const std::vector<std::uint8_t>& partial = layout.partialColumns;
    std::uint32_t cursor[kMaxColumns] = {};
    ColumnSet formatted;         // partly formatted columns not General on this row
    std::uint32_t nextLook = 0;  // the next row whose formats may differ
    for (std::uint32_t row = 0; row < layout.walkEnd; ++row) {
        if (row >= nextLook) nextLook = FormatsAt(sheet, partial, row, cursor, xf, formatted);
        const RowView cells = sheet.Row(row);
        const std::uint16_t count = cells.count;
        ColumnSet empty = formatted;  // formatted columns of this row without a cell get a BLANK
        if (!formatted.Empty())
            for (std::uint16_t i = 0; i < count; ++i) empty.Remove(cells.columns[i]);
        if (empty.Empty()) {
            if (count && !v.Cells(row, cells.values, cells.columns, count, xf)) return false;
            continue;
        }
        std::uint8_t missing[kMaxColumns];
        const std::size_t nMissing = empty.List(missing);
        std::size_t i = 0;
        for (std::size_t m = 0; m < nMissing; ++m) {
            std::size_t j = i;
            while (j < count && cells.columns[j] < missing[m]) ++j;
            if (j > i &&
                !v.Cells(row, cells.values + i, cells.columns + i, static_cast<std::uint16_t>(j - i), xf))
                return false;
            i = j;
            v.Blank(row, missing[m], xf[missing[m]]);
        }
        if (i < count &&
            !v.Cells(row, cells.values + i, cells.columns + i, static_cast<std::uint16_t>(count - i), xf))
            return false;
    }
    return true;
}

// First pass: sizes, dimensions, and the first cell the format cannot hold.
struct Measure {
    const Worksheet& sheet;
    bool checkTexts;
    bool checkNumbers;
    SheetMeasure m;

    void Extend(std::uint32_t row, std::uint8_t first, std::uint8_t last) {
        m.any = true;
        m.firstRow = std::min(m.firstRow, row);
        m.lastRow = std::max(m.lastRow, row);
        m.firstColumn = std::min(m.firstColumn, first);
        m.lastColumn = std::max(m.lastColumn, last);
    }
    bool Cells(std::uint32_t row, const std::uint32_t* values, const std::uint8_t* columns,
               std::uint16_t count, const std::uint8_t*) {
        Extend(row, columns[0], columns[count - 1]);
        m.bytes += 14u * count;
        for (std::uint16_t i = 0; i < count; ++i) {
            const std::uint32_t v = values[i];
            if (cell::IsNumber(v)) {
                m.bytes += 4;
                if (checkNumbers && !std::isfinite(sheet.NumberAt(cell::Index(v))))
                    return Fail(SaveStatus::NumberNotFinite, row, columns[i]);
            } else if (checkTexts && cell::IsText(v) &&
                       sheet.Strings().Text(cell::Index(v)).units() > kMaxTextLength) {
                return Fail(SaveStatus::TextTooLong, row, columns[i]);
            }
        }
        return true;
    }
    void Blank(std::uint32_t row, std::uint8_t column, std::uint8_t) {
        Extend(row, column, column);
        m.bytes += 10;
    }
    bool Fail(SaveStatus s, std::uint32_t row, std::uint32_t column) {
        m.problem = s;
        m.problemRow = row;
        m.problemColumn = column;
        return false;
    }
};

// Second pass: the records.
struct Emit {
    Out& out;
    const Worksheet& sheet;
    const std::uint32_t* sstIndex;  // null: string index = SST position

    bool Cells(std::uint32_t row, const std::uint32_t* values, const std::uint8_t* columns,
               std::uint16_t count, const std::uint8_t* xf) {
        out.Ensure(std::size_t{count} * 18);
        std::uint8_t* p = out.Take(0);
        std::uint8_t* const start = p;
        for (std::uint16_t i = 0; i < count; ++i) {
            const std::uint32_t v = values[i];
            const std::uint8_t column = columns[i];
            // row, column and XF: the first six bytes of every cell record
            const std::uint64_t where =
                std::uint64_t{row} | std::uint64_t{column} << 16 | std::uint64_t{xf[column]} << 32;
            std::uint16_t type = kRk;
            std::uint32_t word = v;
            if (cell::IsText(v)) {
                type = kLabelSst;
                word = sstIndex ? sstIndex[cell::Index(v)] : cell::Index(v);
            } else if (cell::IsNumber(v)) {
                const std::uint64_t head = kNumber | std::uint64_t{14} << 16 | where << 32;
                std::memcpy(p, &head, 8);
                W16(p + 8, static_cast<std::uint16_t>(where >> 32));
                const double d = sheet.NumberAt(cell::Index(v));
                std::memcpy(p + 10, &d, 8);
                p += 18;
                continue;
            }
            const std::uint64_t head = type | std::uint64_t{10} << 16 | where << 32;
            std::memcpy(p, &head, 8);
            W16(p + 8, static_cast<std::uint16_t>(where >> 32));
            W32(p + 10, word);
            p += 14;
        }
        out.Take(static_cast<std::size_t>(p - start));
        return out.ok();
    }
    void Blank(std::uint32_t row, std::uint8_t column, std::uint8_t xf) {
        out.Ensure(10);
        std::uint8_t* p = out.Take(10);
        W16(p, kBlank);
        W16(p + 2, 6);
        W16(p + 4, static_cast<std::uint16_t>(row));
        W16(p + 6, column);
        W16(p + 8, xf);
    }
};

}  // namespace

SheetMeasure MeasureSheetCells(const Worksheet& sheet, const Biff8Writer::SheetLayout& layout,
                               bool checkTexts, bool checkNumbers) {
    Measure measure{sheet, checkTexts, checkNumbers, {}};
    WalkSheet(sheet, layout, measure);
    return measure.m;
}

bool WriteSheetCells(Out& out, const Worksheet& sheet, const Biff8Writer::SheetLayout& layout,
                     const std::uint32_t* sstIndex) {
    Emit emit{out, sheet, sstIndex};
    return WalkSheet(sheet, layout, emit);
}

void SheetHead(Bytes& b, const Biff8Writer::SheetLayout& L) {
    Bof(b, 0x0010);
    // One COLINFO for each run of whole columns with the same format.
    for (std::uint32_t c = 0; c < L.wholeColumnXf.size(); ++c) {
        if (!L.wholeColumnXf[c] || (c > 0 && L.wholeColumnXf[c - 1] == L.wholeColumnXf[c])) continue;
        std::uint32_t last = c;
        while (last + 1 < kMaxColumns && L.wholeColumnXf[last + 1] == L.wholeColumnXf[c]) ++last;
        b.Begin(kColInfo);
        b.U16(static_cast<std::uint16_t>(c));
        b.U16(static_cast<std::uint16_t>(last));
        b.U16(0x0924);
        b.U16(L.wholeColumnXf[c]);
        b.U16(0);
        b.U16(0);
        b.End();
    }
    b.Begin(kDimensions);
    b.U32(L.firstRow);
    b.U32(L.rowEnd);
    b.U16(L.firstColumn);
    b.U16(L.columnEnd);
    b.U16(0);
    b.End();
}

void SheetTail(Bytes& b, bool firstSheet) {
    b.Begin(kWindow2);
    b.U16(firstSheet ? 0x06B6 : 0x00B6);  // the first sheet is the selected, active one
    b.U16(0);
    b.U16(0);
    b.U16(0x40);
    b.U16(0);
    b.U16(0);
    b.U16(0);
    b.U32(0);
    b.End();
    b.Begin(kEof);
    b.End();
}

}  // namespace ledgra::xls::detail
