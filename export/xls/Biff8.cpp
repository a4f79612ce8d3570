#include "xls/Biff8.h"

#include "xls/Text.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>

namespace ledgra::xls::detail {

static_assert(std::endian::native == std::endian::little, "records are written with memcpy");

namespace {

// Record types.
enum : std::uint16_t {
    kBof = 0x0809,
    kEof = 0x000A,
    kCodepage = 0x0042,
    kWindow1 = 0x003D,
    kDate1904 = 0x0022,
    kFont = 0x0031,
    kXf = 0x00E0,
    kStyle = 0x0293,
    kBoundSheet = 0x0085,
    kCountry = 0x008C,
    kSst = 0x00FC,
    kContinue = 0x003C,
    kExtSst = 0x00FF,
    kColInfo = 0x007D,
    kDimensions = 0x0200,
    kWindow2 = 0x023E,
    kNumber = 0x0203,
    kRk = 0x027E,
    kLabelSst = 0x00FD,
    kBlank = 0x0201,
};

constexpr std::size_t kMaxPayload = 8224;
constexpr std::uint8_t kGeneralXf = 15;              // XFs 15, 16, 17: General, "0.00", "@"
constexpr std::uint64_t kMaxStream = 0xFFF00000ULL;  // offsets and sizes are 32-bit
constexpr std::size_t kMaxSheets = 0xFFFF;

inline std::uint8_t XfOf(NumberFormat f) {
    return static_cast<std::uint8_t>(kGeneralXf + static_cast<int>(f));
}

// Small records, built in memory.
class Bytes {
public:
    void U8(std::uint8_t v) { b_.push_back(v); }
    void U16(std::uint16_t v) {
        U8(v & 0xFF);
        U8(v >> 8);
    }
    void U32(std::uint32_t v) {
        U16(v & 0xFFFF);
        U16(v >> 16);
    }
    void Raw(const void* p, std::size_t n) {
        const auto* q = static_cast<const std::uint8_t*>(p);
        b_.insert(b_.end(), q, q + n);
    }
    void Hex(const char* hex) {  // "00 80 00 FF"
        for (const char* p = hex; *p;) {
            if (*p == ' ') {
                ++p;
                continue;
            }
            auto nib = [](char c) { return c <= '9' ? c - '0' : c - 'A' + 10; };
            U8(static_cast<std::uint8_t>(nib(p[0]) << 4 | nib(p[1])));
            p += 2;
        }
    }
    // A record: header now, length patched by End().
    void Begin(std::uint16_t type) {
        U16(type);
        start_ = b_.size();
        U16(0);
    }
    void End() {
        const std::size_t n = b_.size() - start_ - 2;
        b_[start_] = n & 0xFF;
        b_[start_ + 1] = static_cast<std::uint8_t>(n >> 8);
    }
    const std::vector<std::uint8_t>& data() const { return b_; }
    std::size_t size() const { return b_.size(); }

private:
    std::vector<std::uint8_t> b_;
    std::size_t start_ = 0;
};

void Bof(Bytes& b, std::uint16_t kind) {
    b.Begin(kBof);
    b.U16(0x0600);
    b.U16(kind);
    b.U16(0x0DBB);
    b.U16(0x07CC);
    b.U32(0x00000009);
    b.U32(0x00000006);
    b.End();
}

void Globals(Bytes& b, const std::vector<Biff8Writer::SheetLayout>& sheets,
             const std::vector<std::vector<std::uint8_t>>& names, const std::vector<bool>& wide) {
    Bof(b, 0x0005);
    b.Begin(kCodepage);
    b.U16(1200);
    b.End();
    b.Begin(kWindow1);
    b.U16(360);
    b.U16(270);
    b.U16(14940);
    b.U16(9150);
    b.U16(0x0038);
    b.U16(0);
    b.U16(0);
    b.U16(1);
    b.U16(600);
    b.End();
    b.Begin(kDate1904);
    b.U16(0);
    b.End();
    for (int i = 0; i < 5; ++i) {  // Arial 10 pt; index 4 is never referenced
        b.Begin(kFont);
        b.U16(200);
        b.U16(0);
        b.U16(0x7FFF);
        b.U16(400);
        b.U16(0);
        b.U8(0);
        b.U8(2);
        b.U8(0);
        b.U8(0);
        b.U8(5);
        b.U8(0);
        b.Raw("Arial", 5);
        b.End();
    }
    // The 15 style XFs, then the cell XFs for General, "0.00" and "@".
    for (int i = 0; i < 15; ++i) {
        b.Begin(kXf);
        if (i == 0) {
            b.Hex("00 00 00 00 F5 FF 20 00 00 00 00 00 00 00 00 00 00 00 C0 20");
        } else {
            b.U16(i <= 2 ? 1 : i <= 4 ? 2 : 0);
            b.Hex("00 00 F5 FF 20 00 00 F4 00 00 00 00 00 00 00 00 C0 20");
        }
        b.End();
    }
    b.Begin(kXf);
    b.Hex("00 00 00 00 01 00 20 00 00 00 00 00 00 00 00 00 00 00 C0 20");
    b.End();
    b.Begin(kXf);
    b.Hex("00 00 02 00 01 00 20 00 00 04 00 00 00 00 00 00 00 00 C0 20");
    b.End();
    b.Begin(kXf);
    b.Hex("00 00 31 00 01 00 20 00 00 04 00 00 00 00 00 00 00 00 C0 20");
    b.End();
    b.Begin(kStyle);
    b.Hex("00 80 00 FF");
    b.End();
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        b.Begin(kBoundSheet);
        b.U32(static_cast<std::uint32_t>(sheets[i].offset));
        b.U8(0);
        b.U8(0);
        const std::size_t units = wide[i] ? names[i].size() / 2 : names[i].size();
        b.U8(static_cast<std::uint8_t>(units));
        b.U8(wide[i] ? 1 : 0);
        b.Raw(names[i].data(), names[i].size());
        b.End();
    }
    b.Begin(kCountry);
    b.U16(1);
    b.U16(1);
    b.End();
}

// Buffered output to the sink; records never straddle a flush, so a record
// header can be patched after its payload has been placed.
class Out {
public:
    static constexpr std::size_t kSize = std::size_t{1} << 18;
    explicit Out(StreamSink& sink) : sink_(sink), buf_(new std::uint8_t[kSize]) {}

    void Ensure(std::size_t n) {
        if (kSize - used_ < n) Flush();
    }
    void Flush() {
        if (used_ && ok_) ok_ = sink_.Write(buf_.get(), used_);
        written_ += used_;
        used_ = 0;
    }
    std::uint8_t* Take(std::size_t n) {  // the caller made room with Ensure
        std::uint8_t* p = buf_.get() + used_;
        used_ += n;
        return p;
    }
    void Put(const void* p, std::size_t n) {
        const auto* q = static_cast<const std::uint8_t*>(p);
        while (n) {
            if (used_ == kSize) Flush();
            const std::size_t k = std::min(n, kSize - used_);
            std::memcpy(buf_.get() + used_, q, k);
            used_ += k;
            q += k;
            n -= k;
        }
    }
    std::uint64_t Position() const { return written_ + used_; }
    bool ok() const { return ok_; }

private:
    StreamSink& sink_;
    std::unique_ptr<std::uint8_t[]> buf_;
    std::size_t used_ = 0;
    std::uint64_t written_ = 0;
    bool ok_ = true;
};

inline void W16(std::uint8_t* p, std::uint16_t v) { std::memcpy(p, &v, 2); }
inline void W32(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); }

// The SST and its CONTINUE records. Run once to measure (Emit = false) and once
// to write; both runs make the same decisions.
template <bool Emit>
class SstWriter {
public:
    SstWriter(Out* out, std::uint64_t start) : out_(out), pos_(start) {}

    void Open(std::uint16_t type) {
        if constexpr (Emit) {
            out_->Ensure(kMaxPayload + 4);
            header_ = out_->Take(4);
            W16(header_, type);
        }
        recordStart_ = pos_;
        pos_ += 4;
        used_ = 0;
    }
    void Close() {
        if constexpr (Emit) W16(header_ + 2, static_cast<std::uint16_t>(used_));
    }
    void Put(const void* p, std::size_t n) {
        if constexpr (Emit) std::memcpy(out_->Take(n), p, n);
        pos_ += n;
        used_ += n;
    }
    void PutU8(std::uint8_t v) { Put(&v, 1); }

    void Run(const SharedStrings& strings, const std::vector<std::uint32_t>& order, std::uint32_t count,
             std::uint16_t bucket, std::vector<Biff8Writer::ExtSstEntry>* ext) {
        Open(kSst);
        const auto total = static_cast<std::uint32_t>(strings.TotalRefs());
        Put(&total, 4);
        Put(&count, 4);
        std::uint32_t k = 0;
        const std::uint32_t n = strings.Count();
        for (std::uint32_t i = 0; i < n; ++i) {
            if (!order.empty() && order[i] == UINT32_MAX) continue;
            const StoredText t = strings.Text(i);
            const std::uint8_t flags = t.wide ? 1 : 0;
            auto highSurrogate = [&](std::size_t byte) { return (t.data[byte + 1] & 0xFC) == 0xD8; };
            const std::size_t first = !t.wide ? 1 : (t.bytes >= 4 && highSurrogate(0)) ? 4 : 2;
            if (used_ + 3 + first > kMaxPayload) {
                Close();
                Open(kContinue);
            }
            if (ext && k % bucket == 0)
                ext->push_back(
                    {static_cast<std::uint32_t>(pos_), static_cast<std::uint16_t>(pos_ - recordStart_)});
            const auto units = static_cast<std::uint16_t>(t.units());
            Put(&units, 2);
            PutU8(flags);
            const std::uint8_t* p = t.data;
            std::size_t left = t.bytes;
            while (left) {
                std::size_t take = std::min(left, kMaxPayload - used_);
                if (t.wide) {
                    take &= ~std::size_t{1};
                    if (take < left && take >= 2 &&
                        highSurrogate(static_cast<std::size_t>(p - t.data) + take - 2))
                        take -= 2;  // keep a surrogate pair together
                }
                if (take) {
                    Put(p, take);
                    p += take;
                    left -= take;
                }
                if (left) {
                    Close();
                    Open(kContinue);
                    PutU8(flags);
                }
            }
            ++k;
        }
        Close();
    }
    std::uint64_t Position() const { return pos_; }

private:
    Out* out_;
    std::uint64_t pos_;
    std::uint64_t recordStart_ = 0;
    std::size_t used_ = 0;
    std::uint8_t* header_ = nullptr;
};

// Visits a sheet's cell records in row and column order: the cells, and a
// BLANK for each empty cell whose column format differs from the column's.
template <class Visitor>
bool WalkSheet(const SheetImpl& sheet, const Biff8Writer::SheetLayout& layout, Visitor& v) {
    std::uint8_t xf[kMaxColumns];
    for (std::uint32_t c = 0; c < kMaxColumns; ++c)
        xf[c] =
            layout.wholeColumnXf.empty() || !layout.wholeColumnXf[c] ? kGeneralXf : layout.wholeColumnXf[c];
    const std::vector<std::uint8_t>& partial = layout.partialColumns;
    std::uint32_t cursor[kMaxColumns] = {};
    for (std::uint32_t row = 0; row < layout.walkEnd; ++row) {
        bool blanks = false;
        for (std::size_t k = 0; k < partial.size(); ++k) {
            const std::vector<FormatRun>& runs = sheet.Formats(partial[k]);
            std::uint32_t i = cursor[k];
            while (i < runs.size() && runs[i].last < row) ++i;
            cursor[k] = i;
            const std::uint8_t x =
                (i < runs.size() && runs[i].first <= row) ? XfOf(runs[i].format) : kGeneralXf;
            xf[partial[k]] = x;
            blanks |= x != kGeneralXf;
        }
        const RowView cells = sheet.Row(row);
        const std::uint16_t count = cells.count;
        if (!blanks) {
            if (count && !v.Cells(row, cells.values, cells.columns, count, xf)) return false;
            continue;
        }
        // Formatted columns of this row without a cell get a BLANK.
        std::uint8_t missing[kMaxColumns];
        std::size_t nMissing = 0;
        for (std::size_t k = 0, i = 0; k < partial.size(); ++k) {
            const std::uint8_t col = partial[k];
            if (xf[col] == kGeneralXf) continue;
            while (i < count && cells.columns[i] < col) ++i;
            if (i == count || cells.columns[i] != col) missing[nMissing++] = col;
        }
        if (nMissing == 0) {
            if (count && !v.Cells(row, cells.values, cells.columns, count, xf)) return false;
            continue;
        }
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
    const SheetImpl& sheet;
    bool checkTexts;
    bool checkNumbers;
    std::uint64_t bytes = 0;
    std::uint32_t firstRow = UINT32_MAX, lastRow = 0;
    std::uint8_t firstColumn = 255, lastColumn = 0;
    bool any = false;
    SaveStatus problem = SaveStatus::Ok;
    std::uint32_t problemRow = 0, problemColumn = 0;

    void Extend(std::uint32_t row, std::uint8_t first, std::uint8_t last) {
        any = true;
        firstRow = std::min(firstRow, row);
        lastRow = std::max(lastRow, row);
        firstColumn = std::min(firstColumn, first);
        lastColumn = std::max(lastColumn, last);
    }
    bool Cells(std::uint32_t row, const std::uint32_t* values, const std::uint8_t* columns,
               std::uint16_t count, const std::uint8_t*) {
        Extend(row, columns[0], columns[count - 1]);
        bytes += 14u * count;
        for (std::uint16_t i = 0; i < count; ++i) {
            const std::uint32_t v = values[i];
            if (cell::IsNumber(v)) {
                bytes += 4;
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
        bytes += 10;
    }
    bool Fail(SaveStatus s, std::uint32_t row, std::uint32_t column) {
        problem = s;
        problemRow = row;
        problemColumn = column;
        return false;
    }
};

// Second pass: the records.
struct Emit {
    Out& out;
    const SheetImpl& sheet;
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

struct MeasuredSheet : SheetNotes {
    Biff8Writer::SheetLayout layout;
};

constexpr std::uint64_t kSheetFixed = 20 /*BOF*/ + 18 /*DIMENSIONS*/ + 22 /*WINDOW2*/ + 4 /*EOF*/;

std::string ColumnName(std::uint64_t column) {
    std::string s;
    for (std::uint64_t n = column + 1; n > 0; n = (n - 1) / 26)
        s.insert(s.begin(), static_cast<char>('A' + (n - 1) % 26));
    return s;
}

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

// Why a sheet name cannot be written, or "" when it can.
std::string SheetNameProblem(const std::string& name, std::size_t units, const std::vector<std::uint8_t>& enc,
                             bool wide) {
    if (name.empty()) return "has no name";
    if (units > kMaxSheetNameLength)
        return "has a name longer than " + std::to_string(kMaxSheetNameLength) +
               " characters: " + Quoted(name);
    for (std::size_t i = 0; i < units; ++i) {
        const unsigned u = wide ? enc[2 * i] | enc[2 * i + 1] << 8 : enc[i];
        if (u == 0 || u == 3 || (u < 0x80 && std::strchr(":\\/?*[]", static_cast<int>(u)) != nullptr))
            return "has a name with a character a sheet name cannot hold (: \\ / ? * [ ]): " + Quoted(name);
    }
    if (name.front() == '\'' || name.back() == '\'')
        return "has a name that begins or ends with an apostrophe: " + Quoted(name);
    return {};
}

// Case-insensitive key for comparing sheet names (ASCII and Latin-1 letters).
std::vector<std::uint16_t> NameKey(const std::vector<std::uint8_t>& enc, bool wide) {
    std::vector<std::uint16_t> key;
    const std::size_t units = wide ? enc.size() / 2 : enc.size();
    for (std::size_t i = 0; i < units; ++i) {
        std::uint16_t u = wide ? static_cast<std::uint16_t>(enc[2 * i] | enc[2 * i + 1] << 8) : enc[i];
        if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7)) u -= 0x20;
        key.push_back(u);
    }
    return key;
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
std::uint64_t LayOutColumnFormats(const SheetImpl& sheet, Biff8Writer::SheetLayout& L) {
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
double GridNumber(const SheetImpl& sheet, std::uint32_t row, std::uint32_t column) {
    const RowView cells = sheet.Row(row);
    for (std::uint16_t i = 0; i < cells.count; ++i)
        if (cells.columns[i] == column && cell::IsNumber(cells.values[i]))
            return sheet.NumberAt(cell::Index(cells.values[i]));
    return 0;
}

// The first cell the format cannot hold, in row and column order: the one the
// walk stopped at or one outside the grid, whichever comes first.
SaveResult FirstCellProblem(const SheetImpl& sheet, const Measure& m) {
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
SaveResult LayOutSheet(const SheetImpl& sheet, const SharedStrings& strings, Biff8Writer::SheetLayout& L) {
    if (const auto* notes = dynamic_cast<const MeasuredSheet*>(sheet.Notes())) {
        L = notes->layout;
        return {};
    }
    const std::uint64_t colinfo = LayOutColumnFormats(sheet, L);
    Measure m{sheet, strings.TooLongCount() > 0, sheet.NonFiniteCount() > 0};
    WalkSheet(sheet, L, m);
    if (SaveResult checked = FirstCellProblem(sheet, m); !checked) return checked;

    L.size = kSheetFixed + colinfo + m.bytes;
    if (m.any) {
        L.firstRow = m.firstRow;
        L.rowEnd = m.lastRow + 1;
        L.firstColumn = m.firstColumn;
        L.columnEnd = static_cast<std::uint16_t>(m.lastColumn + 1);
    }
    auto notes = std::make_unique<MeasuredSheet>();
    notes->layout = L;
    sheet.KeepNotes(std::move(notes));
    return {};
}

}  // namespace

std::string CellName(const std::string& sheet, std::uint64_t row, std::uint64_t column) {
    return sheet + "!" + ColumnName(column) + std::to_string(row + 1);
}

// Checks the workbook against the format's limits and lays the stream out:
// the sheet names, each sheet's cells, the string table and the globals, and
// last where each sheet goes.
SaveResult Biff8Writer::Plan() {
    if (SaveResult counted = CheckSheetCount(book_.SheetCount()); !counted) return counted;
    if (SaveResult named = EncodeSheetNames(); !named) return named;
    sheets_.assign(book_.SheetCount(), {});
    for (std::size_t s = 0; s < sheets_.size(); ++s)
        if (SaveResult measured = LayOutSheet(book_.SheetAt(s), book_.Strings(), sheets_[s]); !measured)
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
    std::vector<std::vector<std::uint16_t>> keys;
    for (std::size_t s = 0; s < count; ++s) {
        const std::string& name = book_.SheetAt(s).Name();
        const EncodedText enc = EncodeText(name, sheetNames_[s], 255);
        sheetNamesWide_[s] = enc.wide;
        std::string problem = SheetNameProblem(name, enc.units, sheetNames_[s], enc.wide);
        if (problem.empty()) {
            keys.push_back(NameKey(sheetNames_[s], enc.wide));
            if (std::find(keys.begin(), keys.end() - 1, keys.back()) != keys.end() - 1)
                problem = "has the same name as an earlier sheet: " + Quoted(name);
        }
        if (!problem.empty())
            return {SaveStatus::SheetNameInvalid, "Sheet " + std::to_string(s + 1) + " " + problem + "."};
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
    Globals(head, sheets_, sheetNames_, sheetNamesWide_);
    extSstBucket_ = static_cast<std::uint16_t>(std::max<std::uint32_t>(8, (sstCount_ + 127) / 128));
    extSst_.clear();
    SstWriter<false> sst(nullptr, head.size());
    sst.Run(book_.Strings(), sstIndex_, sstCount_, extSstBucket_, &extSst_);
    sstBytes_ = sst.Position() - head.size();
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

bool Biff8Writer::Write(StreamSink& sink) const {
    Out out(sink);
    Bytes head;
    Globals(head, sheets_, sheetNames_, sheetNamesWide_);
    out.Put(head.data().data(), head.size());
    SstWriter<true> sst(&out, head.size());
    sst.Run(book_.Strings(), sstIndex_, sstCount_, extSstBucket_, nullptr);

    Bytes tail;
    tail.Begin(kExtSst);
    tail.U16(extSstBucket_);
    for (const ExtSstEntry& e : extSst_) {
        tail.U32(e.offset);
        tail.U16(e.inRecord);
        tail.U16(0);
    }
    tail.End();
    tail.Begin(kEof);
    tail.End();
    out.Put(tail.data().data(), tail.size());

    for (std::size_t s = 0; s < sheets_.size(); ++s) {
        const SheetImpl& sheet = book_.SheetAt(s);
        const SheetLayout& L = sheets_[s];
        Bytes b;
        Bof(b, 0x0010);
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
        out.Put(b.data().data(), b.size());

        Emit e{out, sheet, sstIndex_.empty() ? nullptr : sstIndex_.data()};
        if (!WalkSheet(sheet, L, e)) return false;

        Bytes t;
        t.Begin(kWindow2);
        t.U16(s == 0 ? 0x06B6 : 0x00B6);
        t.U16(0);
        t.U16(0);
        t.U16(0x40);
        t.U16(0);
        t.U16(0);
        t.U16(0);
        t.U32(0);
        t.End();
        t.Begin(kEof);
        t.End();
        out.Put(t.data().data(), t.size());
    }
    out.Flush();
    return out.ok();
}

}  // namespace ledgra::xls::detail
