// The in-memory workbook: compact sheets and one shared string table.
//
// A sheet keeps its rows as spans of 8-byte cells inside large chunks, so a
// cell costs no allocation of its own; numbers are stored in the RK form the
// file uses whenever that is exact, other doubles in a side table. Texts are
// encoded and interned when they are set, so the string table is ready to be
// written at save time. Number formats are kept per column as row runs.
#pragma once

#include "xls/Cells.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ledgra::xls::detail {

// Append-only storage in fixed chunks of 2^Shift elements: no reallocation,
// so growing never copies (or doubles the memory of) what is there.
template <class T, unsigned Shift>
class ChunkedArray {
public:
    static constexpr std::size_t kChunk = std::size_t{1} << Shift;

    T& operator[](std::size_t i) { return chunks_[i >> Shift][i & (kChunk - 1)]; }
    const T& operator[](std::size_t i) const { return chunks_[i >> Shift][i & (kChunk - 1)]; }
    std::size_t size() const { return size_; }

    std::size_t push_back(const T& v) {
        const std::size_t i = Allocate(1);
        (*this)[i] = v;
        return i;
    }
    // Reserves n (<= kChunk) contiguous elements and returns the first index.
    std::size_t Allocate(std::size_t n) {
        const std::size_t capacity = chunks_.size() * kChunk;
        if (size_ == capacity) {
            chunks_.emplace_back(new T[kChunk]);
        } else if ((size_ & (kChunk - 1)) + n > kChunk) {
            size_ = capacity;  // the rest of the last chunk stays unused
            chunks_.emplace_back(new T[kChunk]);
        }
        const std::size_t i = size_;
        size_ += n;
        return i;
    }
    // Lengthens the block at pos from n to m elements when it is the last one
    // and its chunk has room.
    bool ExtendLast(std::size_t pos, std::size_t n, std::size_t m) {
        if (pos + n != size_ || (pos & (kChunk - 1)) + m > kChunk) return false;
        size_ = pos + m;
        return true;
    }
    std::size_t MemoryBytes() const { return chunks_.size() * kChunk * sizeof(T); }

private:
    std::vector<std::unique_ptr<T[]>> chunks_;
    std::size_t size_ = 0;
};

// A string table entry's text, as stored in the file.
struct StoredText {
    const std::uint8_t* data;
    std::uint32_t bytes;
    bool wide;
    std::uint32_t units() const { return wide ? bytes / 2 : bytes; }
};

// Unique texts in the order first set, each with the number of cells using it.
// A text is kept in its stored form behind a 16-bit length in large chunks;
// an entry is its position and use count (8 bytes), a hash slot 4 bytes.
class SharedStrings {
public:
    static constexpr std::uint32_t kMaxStrings = (1u << 29) - 2;

    SharedStrings();
    std::uint32_t Intern(std::string_view utf8);  // counts one more use
    void AddRef(std::uint32_t index) {
        ++entries_[index].refs;
        ++totalRefs_;
    }
    void Release(std::uint32_t index) {
        --entries_[index].refs;
        --totalRefs_;
    }

    std::uint32_t Count() const { return static_cast<std::uint32_t>(entries_.size()); }
    std::uint32_t Refs(std::uint32_t index) const { return entries_[index].refs; }
    std::uint64_t TotalRefs() const { return totalRefs_; }
    std::uint32_t TooLongCount() const { return tooLong_; }  // used or not
    StoredText Text(std::uint32_t index) const {
        const Entry& e = entries_[index];
        const bool wide = (e.form & kWideForm) != 0;
        const std::uint32_t kept = e.form & 0x7Fu;
        if (kept != kInArena) return StoredText{e.bytes, kept, wide};
        std::uint32_t pos;
        std::memcpy(&pos, e.bytes, sizeof pos);
        const std::uint8_t* p = arena_[pos >> 20].get() + (pos & 0xFFFFF);
        const std::uint32_t units = static_cast<std::uint32_t>(p[0] | p[1] << 8);
        return StoredText{p + 2, wide ? units * 2 : units, wide};
    }
    std::size_t MemoryBytes() const;

private:
    // A short text is kept in its entry, where looking it up finds it with
    // its count; a longer one behind a 16-bit length in the arena.
    struct Entry {
        std::uint32_t refs;
        std::uint8_t form;       // the bytes kept here, or kInArena; kWideForm for UTF-16
        std::uint8_t bytes[11];  // the text, or the arena position (chunk << 20 | offset)
    };
    static constexpr std::uint8_t kInArena = 0x7F;
    static constexpr std::uint8_t kWideForm = 0x80;
    static constexpr std::size_t kArenaChunk = std::size_t{1} << 20;
    static constexpr std::size_t kMaxChunks = 2048;
    static constexpr std::uint32_t kIndexBits = 0x1FFFFFFFu;  // of a slot: index + 1; the rest a tag

    Entry Store(const std::uint8_t* bytes, std::size_t size, std::size_t units, bool wide);
    void Grow();

    std::vector<std::unique_ptr<std::uint8_t[]>> arena_;
    std::size_t arenaUsed_ = kArenaChunk;  // bytes used in the last chunk
    std::uint32_t tooLong_ = 0;            // texts over kMaxTextLength
    ChunkedArray<Entry, 14> entries_;
    std::vector<std::uint32_t> slots_;  // 0: free
    std::uint64_t totalRefs_ = 0;
    std::vector<std::uint8_t> scratch_;
};

// A cell's value in 32 bits, as stored in a row: either the RK form of a
// number (its two low bits are never 01, as ToRk makes them), or, tagged with
// low bits 01, the index of a text in the string table or of a double in the
// sheet's number table.
namespace cell {
inline constexpr std::uint32_t kEmpty = 0xFFFFFFF9u;  // a number tag with an index never used
inline bool IsText(std::uint32_t v) { return (v & 7) == 5; }
inline bool IsNumber(std::uint32_t v) { return (v & 7) == 1 && v != kEmpty; }
inline std::uint32_t Index(std::uint32_t v) { return v >> 3; }
inline std::uint32_t Text(std::uint32_t index) { return index << 3 | 5; }
inline std::uint32_t Number(std::uint32_t index) { return index << 3 | 1; }
}  // namespace cell

struct Cell {
    enum Kind : std::uint8_t { Empty = 0, Text = 1, Rk = 2, Number = 3 };
};

// A row's cells: `capacity` values, then `capacity` column bytes, in one block
// of the sheet's cell store; both sorted by column.
struct RowSpan {
    std::uint32_t pos = 0;  // first word of the block
    std::uint16_t count = 0;
    std::uint16_t capacity = 0;
};

struct RowView {
    const std::uint32_t* values = nullptr;
    const std::uint8_t* columns = nullptr;
    std::uint16_t count = 0;
};

struct FormatRun {
    std::uint32_t first;
    std::uint32_t last;
    NumberFormat format;  // never General: rows without a run are General
};

// A cell outside the format's grid, kept so that saving can name it.
struct OutsideCell {
    Cell::Kind kind;
    double number;
    std::uint32_t text;
};

// The RK form of v, when it stores v exactly.
std::optional<std::uint32_t> ToRk(double v);
double FromRk(std::uint32_t rk);

}  // namespace ledgra::xls::detail

namespace ledgra::xls {

// A sheet: its name, cells and number formats. Rows keep their cells as
// spans of 8-byte values in large chunks; texts live in the workbook's string
// table. The model accepts any position: the format's limits are the saver's.
class Worksheet {
public:
    Worksheet(detail::SharedStrings& strings, std::string name)
        : strings_(&strings), name_(std::move(name)) {}

    Worksheet(const Worksheet&) = delete;
    Worksheet& operator=(const Worksheet&) = delete;

    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }  // rules are the caller's (the application's)

    void SetNumber(std::uint32_t row, std::uint32_t column, double value);
    // An empty text clears the cell.
    void SetText(std::uint32_t row, std::uint32_t column, std::string_view text);
    void Clear(std::uint32_t row, std::uint32_t column);
    // The last format set on a cell wins, whenever its value is written.
    // A range reaching row 65536 or beyond covers the whole column, which the
    // file keeps as the column's format; columns beyond IV have no format.
    void SetNumberFormat(std::uint32_t firstRow, std::uint32_t lastRow, std::uint32_t column,
                         NumberFormat format);

    // Reading back what the sheet holds.
    CellValue CellAt(std::uint32_t row, std::uint32_t column) const;
    NumberFormat NumberFormatAt(std::uint32_t row, std::uint32_t column) const;
    std::size_t CellCount() const { return cellCount_ + outside_.size(); }  // cells holding a value

    // For the serializer.
    std::uint32_t RowCount() const { return static_cast<std::uint32_t>(rows_.size()); }
    detail::RowView Row(std::uint32_t row) const {
        if (row >= rows_.size()) return {};
        const detail::RowSpan& r = rows_[row];
        if (!r.count) return {};
        const std::uint32_t* values = &words_[r.pos];
        return {values, reinterpret_cast<const std::uint8_t*>(values + r.capacity), r.count};
    }
    double NumberAt(std::uint32_t index) const { return numbers_[index]; }
    std::size_t NonFiniteCount() const { return nonFinite_; }  // NaN or infinite numbers in the grid
    const std::vector<detail::FormatRun>& Formats(std::uint32_t column) const { return formats_[column]; }
    const std::map<std::pair<std::uint32_t, std::uint32_t>, detail::OutsideCell>& Outside() const {
        return outside_;
    }
    const detail::SharedStrings& Strings() const { return *strings_; }
    std::size_t MemoryBytes() const;
    // Which sheet this is, unique in the process, and how many times its
    // cells and formats changed: together they name the sheet's content.
    std::uint64_t Id() const { return id_; }
    std::uint64_t Version() const { return version_; }

private:
    // The value of the cell at (row, column), or null.
    std::uint32_t* Find(std::uint32_t row, std::uint8_t column);
    // The same, inserted as kEmpty when missing: a cell right of the last of
    // a row with room here, any other out of line.
    std::uint32_t& Place(std::uint32_t row, std::uint8_t column) {
        if (row < rows_.size()) {
            detail::RowSpan& r = rows_[row];
            if (r.count != 0 && r.count < r.capacity) {
                std::uint32_t* values = &words_[r.pos];
                std::uint8_t* columns = Columns(values, r);
                if (columns[r.count - 1] < column) {
                    columns[r.count] = column;
                    values[r.count] = detail::cell::kEmpty;
                    return values[r.count++];
                }
            }
        }
        return PlaceAnywhere(row, column);
    }
    std::uint32_t& PlaceAnywhere(std::uint32_t row, std::uint8_t column);
    void Grow(std::uint32_t row, detail::RowSpan& r);
    static std::uint8_t* Columns(std::uint32_t* values, const detail::RowSpan& r) {
        return reinterpret_cast<std::uint8_t*>(values + r.capacity);
    }
    void Drop(std::uint32_t value);  // releases what a cell value refers to
    void PutOutside(std::uint32_t row, std::uint32_t column, const detail::OutsideCell& value);
    std::uint32_t NewNumber(double v);
    static std::uint64_t NewId();

    detail::SharedStrings* strings_;
    std::string name_;
    std::vector<detail::RowSpan> rows_;
    detail::ChunkedArray<std::uint32_t, 17> words_;
    detail::ChunkedArray<double, 13> numbers_;
    std::vector<std::uint32_t> freeNumbers_;
    std::size_t cellCount_ = 0;
    std::size_t nonFinite_ = 0;
    std::uint64_t id_ = NewId();
    std::uint64_t version_ = 1;  // counts changes of cells and formats
    std::array<std::vector<detail::FormatRun>, kMaxColumns> formats_;
    std::map<std::pair<std::uint32_t, std::uint32_t>, detail::OutsideCell> outside_;
};

}  // namespace ledgra::xls
