#include "xls/Model.h"
#include "xls/Workbook.h"

#include "text/Words.h"
#include "xls/Text.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace ledgra::xls {

namespace detail {
namespace {

inline std::uint64_t Load(const std::uint8_t* p, std::size_t n) { return text::LoadWord(p, n); }

// Mixes 64 bits into the hash: one multiply, the halves folded together.
inline std::uint64_t Mix(std::uint64_t h, std::uint64_t v) {
    h = (h ^ v) * 0x9E3779B97F4A7C15ULL;
    return h ^ (h >> 31);
}

// Most texts of a table are short: up to 16 bytes are two (overlapping) loads
// and two multiplies, longer texts take 8 bytes a multiply.
std::uint64_t Hash(const std::uint8_t* p, std::size_t n, bool wide) {
    std::uint64_t h = (n * 0xFF51AFD7ED558CCDULL) ^ (wide ? 0x5555 : 0);
    if (n >= 8) {
        for (std::size_t i = 0; i + 8 < n; i += 8) h = Mix(h, Load(p + i, 8));
        h = Mix(h, Load(p + n - 8, 8));
    } else if (n >= 4) {
        h = Mix(h, Load(p, 4) << 32 | Load(p + n - 4, 4));
    } else if (n > 0) {
        h = Mix(h, Load(p, 1) | Load(p + n / 2, 1) << 8 | Load(p + n - 1, 1) << 16);
    }
    h *= 0xC4CEB9FE1A85EC53ULL;
    return h ^ (h >> 32);
}

// a[0, n) == b[0, n); up to 16 bytes as two overlapping words a side,
// without the call.
inline bool SameBytes(const std::uint8_t* a, const std::uint8_t* b, std::size_t n) {
    if (n > 16) return std::memcmp(a, b, n) == 0;
    if (n >= 8) return ((Load(a, 8) ^ Load(b, 8)) | (Load(a + n - 8, 8) ^ Load(b + n - 8, 8))) == 0;
    if (n >= 4) return ((Load(a, 4) ^ Load(b, 4)) | (Load(a + n - 4, 4) ^ Load(b + n - 4, 4))) == 0;
    return n == 0 || (a[0] == b[0] && a[n / 2] == b[n / 2] && a[n - 1] == b[n - 1]);
}

}  // namespace

// ---------------------------------------------------------------- strings

SharedStrings::SharedStrings() : slots_(1024, 0) {}

SharedStrings::Entry SharedStrings::Store(const std::uint8_t* bytes, std::size_t n, std::size_t units,
                                          bool wide) {
    Entry e{1, static_cast<std::uint8_t>(wide ? kWideForm : 0), {}};
    if (n <= sizeof e.bytes) {
        e.form |= static_cast<std::uint8_t>(n);
        if (n) std::memcpy(e.bytes, bytes, n);
        return e;
    }
    if (arenaUsed_ + 2 + n > kArenaChunk) {
        if (arena_.size() == kMaxChunks) throw std::length_error("too much text for one workbook");
        arena_.emplace_back(new std::uint8_t[kArenaChunk]);
        arenaUsed_ = 0;
    }
    std::uint8_t* p = arena_.back().get() + arenaUsed_;
    p[0] = static_cast<std::uint8_t>(units & 0xFF);
    p[1] = static_cast<std::uint8_t>(units >> 8);
    std::memcpy(p + 2, bytes, n);
    const auto pos = static_cast<std::uint32_t>((arena_.size() - 1) << 20 | arenaUsed_);
    arenaUsed_ += 2 + n;
    e.form |= kInArena;
    std::memcpy(e.bytes, &pos, sizeof pos);
    return e;
}

// Rehashes in the order the texts were stored, reading the arena front to back.
void SharedStrings::Grow() {
    std::vector<std::uint32_t> bigger(slots_.size() * 2, 0);
    const std::size_t mask = bigger.size() - 1;
    const auto n = static_cast<std::uint32_t>(entries_.size());
    for (std::uint32_t index = 0; index < n; ++index) {
        const StoredText t = Text(index);
        const std::uint64_t h = Hash(t.data, t.bytes, t.wide);
        std::size_t i = h & mask;
        while (bigger[i]) i = (i + 1) & mask;
        bigger[i] = (index + 1) | static_cast<std::uint32_t>(h >> 61) << 29;
    }
    slots_.swap(bigger);
}

std::uint32_t SharedStrings::Intern(std::string_view utf8) {
    const std::uint8_t* bytes;
    std::size_t n;
    bool wide = false;
    std::size_t units;
    if (utf8.size() <= kMaxTextLength && IsAscii(utf8.data(), utf8.size())) {
        bytes = reinterpret_cast<const std::uint8_t*>(utf8.data());  // already in its stored form
        n = units = utf8.size();
    } else {
        const EncodedText enc = EncodeText(utf8, scratch_, kMaxTextLength);
        bytes = scratch_.data();
        n = scratch_.size();
        wide = enc.wide;
        units = enc.units;
    }
    const std::uint64_t h = Hash(bytes, n, wide);
    const auto tag = static_cast<std::uint32_t>(h >> 61) << 29;
    std::size_t mask = slots_.size() - 1;
    std::size_t i = h & mask;
    while (slots_[i]) {
        if ((slots_[i] & ~kIndexBits) == tag) {
            const std::uint32_t index = (slots_[i] & kIndexBits) - 1;
            const StoredText t = Text(index);
            if (t.wide == wide && t.bytes == n && SameBytes(t.data, bytes, n)) {
                AddRef(index);
                return index;
            }
        }
        i = (i + 1) & mask;
    }
    if (entries_.size() >= kMaxStrings) throw std::length_error("too many texts for one workbook");
    if ((entries_.size() + 1) * 4 > slots_.size() * 3) {
        Grow();
        mask = slots_.size() - 1;
        i = h & mask;
        while (slots_[i]) i = (i + 1) & mask;
    }
    const Entry e = Store(bytes, n, units, wide);
    if (units > kMaxTextLength) ++tooLong_;
    const auto index = static_cast<std::uint32_t>(entries_.push_back(e));
    slots_[i] = (index + 1) | tag;
    ++totalRefs_;
    return index;
}

std::size_t SharedStrings::MemoryBytes() const {
    return arena_.size() * kArenaChunk + entries_.MemoryBytes() + slots_.capacity() * sizeof(std::uint32_t);
}

// ---------------------------------------------------------------- numbers

namespace {

// The nearest whole number to v, ties to even (as nearbyint in the default
// rounding mode), for |v| < 2^51: adding 1.5 * 2^52 leaves no bits below the
// units, so the addition itself rounds. Some C runtimes' nearbyint saves and
// restores the whole floating-point environment on every call, which made it
// an eighth of a workbook export's time.
inline double NearestWhole(double v) {
    constexpr double kShift = 6755399441055744.0;  // 1.5 * 2^52
#if FLT_EVAL_METHOD == 0
    const double shifted = v + kShift;
#else
    volatile double shifted = v + kShift;  // stored: no wider register keeps the bits below the units
#endif
    return shifted - kShift;
}

// ToRk for the cell setters, which call it for every number: the form in rk,
// or false.
inline bool RkOf(double v, std::uint32_t& rk) {
    constexpr double kLow = -536870912.0, kHigh = 536870911.0;  // 30-bit signed
    if (!std::isfinite(v)) return false;
    if (v == 0 && std::signbit(v)) {
        rk = 0x80000000u;  // -0.0 as the top 30 bits of the double
        return true;
    }
    if (v >= kLow && v <= kHigh) {
        const double r = NearestWhole(v);
        if (r == v) {
            rk = (static_cast<std::uint32_t>(static_cast<std::int32_t>(r)) << 2) | 2u;
            return true;
        }
        const double m = NearestWhole(v * 100);
        if (m >= kLow && m <= kHigh && m / 100 == v) {
            rk = (static_cast<std::uint32_t>(static_cast<std::int32_t>(m)) << 2) | 3u;
            return true;
        }
    }
    const auto bits = std::bit_cast<std::uint64_t>(v);
    if ((bits & 0x3FFFFFFFFULL) != 0) return false;
    rk = static_cast<std::uint32_t>(bits >> 32);
    return true;
}

}  // namespace

std::optional<std::uint32_t> ToRk(double v) {
    std::uint32_t rk = 0;
    if (RkOf(v, rk)) return rk;
    return std::nullopt;
}

double FromRk(std::uint32_t rk) {
    double d;
    if (rk & 2)
        d = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
    else
        d = std::bit_cast<double>(static_cast<std::uint64_t>(rk & ~3u) << 32);
    return (rk & 1) ? d / 100 : d;
}

}  // namespace detail

// ---------------------------------------------------------------- sheets

using namespace detail;

std::uint32_t* Worksheet::Find(std::uint32_t row, std::uint8_t column) {
    if (row >= rows_.size()) return nullptr;
    const RowSpan& r = rows_[row];
    if (!r.count) return nullptr;
    std::uint32_t* values = &words_[r.pos];
    const std::uint8_t* columns = Columns(values, r);
    const std::uint8_t* it = std::lower_bound(columns, columns + r.count, column);
    return (it != columns + r.count && *it == column) ? values + (it - columns) : nullptr;
}

namespace {
inline std::size_t BlockWords(std::size_t capacity) { return capacity + (capacity + 3) / 4; }
}  // namespace

// A new row is made as wide as the row above it: rows of a table look alike
// and are mostly written one after the other. The row written last sits at
// the end of the store and grows in place by one cell; another row that is
// full moves to a block twice its size.
void Worksheet::Grow(std::uint32_t row, RowSpan& r) {
    if (r.capacity == 0) {
        const std::uint16_t capacity = std::max<std::uint16_t>(1, row > 0 ? rows_[row - 1].count : 1);
        r.pos = static_cast<std::uint32_t>(words_.Allocate(BlockWords(capacity)));
        r.capacity = capacity;
        return;
    }
    const auto capacity = static_cast<std::uint16_t>(r.capacity + 1);
    if (words_.ExtendLast(r.pos, BlockWords(r.capacity), BlockWords(capacity))) {
        std::uint32_t* values = &words_[r.pos];
        std::memmove(values + capacity, Columns(values, r), r.count);
        r.capacity = capacity;
        return;
    }
    const auto doubled = static_cast<std::uint16_t>(std::min<std::size_t>(r.capacity * 2u, kMaxColumns));
    const std::size_t pos = words_.Allocate(BlockWords(doubled));
    std::uint32_t* from = &words_[r.pos];
    std::uint32_t* to = &words_[pos];
    std::memcpy(to, from, r.count * sizeof(std::uint32_t));
    std::memcpy(to + doubled, Columns(from, r), r.count);
    r.pos = static_cast<std::uint32_t>(pos);
    r.capacity = doubled;
}

std::uint32_t& Worksheet::PlaceAnywhere(std::uint32_t row, std::uint8_t column) {
    if (row >= rows_.size()) {
        // The full height at once: address space only, pages are used as rows come.
        if (rows_.capacity() < kMaxRows) rows_.reserve(kMaxRows);
        rows_.resize(row + 1);
    }
    RowSpan& r = rows_[row];
    std::size_t at = r.count;
    if (r.count) {
        std::uint32_t* values = &words_[r.pos];
        std::uint8_t* columns = Columns(values, r);
        if (columns[r.count - 1] >= column) {
            at = static_cast<std::size_t>(std::lower_bound(columns, columns + r.count, column) - columns);
            if (columns[at] == column) return values[at];
        }
    }
    if (r.count == r.capacity) Grow(row, r);
    std::uint32_t* values = &words_[r.pos];
    std::uint8_t* columns = Columns(values, r);
    if (at < r.count) {
        std::memmove(values + at + 1, values + at, (r.count - at) * sizeof(std::uint32_t));
        std::memmove(columns + at + 1, columns + at, r.count - at);
    }
    ++r.count;
    columns[at] = column;
    values[at] = cell::kEmpty;
    return values[at];
}

void Worksheet::Drop(std::uint32_t value) {
    if (cell::IsText(value)) {
        strings_->Release(cell::Index(value));
    } else if (cell::IsNumber(value)) {
        if (!std::isfinite(numbers_[cell::Index(value)])) --nonFinite_;
        freeNumbers_.push_back(cell::Index(value));
    }
}

std::uint64_t Worksheet::NewId() {
    static std::atomic<std::uint64_t> last{0};
    return ++last;
}

std::uint32_t Worksheet::NewNumber(double v) {
    std::uint32_t slot;
    if (!freeNumbers_.empty()) {
        slot = freeNumbers_.back();
        freeNumbers_.pop_back();
        numbers_[slot] = v;
    } else {
        slot = static_cast<std::uint32_t>(numbers_.push_back(v));
    }
    return slot;
}

void Worksheet::PutOutside(std::uint32_t row, std::uint32_t column, const OutsideCell& value) {
    auto [it, inserted] = outside_.try_emplace({row, column}, value);
    if (!inserted) {
        if (it->second.kind == Cell::Text) strings_->Release(it->second.text);
        it->second = value;
    }
}

void Worksheet::SetNumber(std::uint32_t row, std::uint32_t column, double value) {
    ++version_;
    if (row >= kMaxRows || column >= kMaxColumns) {
        PutOutside(row, column, OutsideCell{Cell::Number, value, 0});
        return;
    }
    std::uint32_t& v = Place(row, static_cast<std::uint8_t>(column));
    std::uint32_t rk = 0;
    const bool compact = RkOf(value, rk);
    if (cell::IsNumber(v) && !compact) {  // a double in place of a double
        double& slot = numbers_[cell::Index(v)];
        nonFinite_ += !std::isfinite(value);
        nonFinite_ -= !std::isfinite(slot);
        slot = value;
        return;
    }
    if (v == cell::kEmpty)
        ++cellCount_;
    else
        Drop(v);
    if (compact) {
        v = rk;
    } else {
        v = cell::Number(NewNumber(value));
        nonFinite_ += !std::isfinite(value);
    }
}

void Worksheet::SetText(std::uint32_t row, std::uint32_t column, std::string_view text) {
    if (text.empty()) {
        Clear(row, column);
        return;
    }
    ++version_;
    const std::uint32_t index = strings_->Intern(text);
    if (row >= kMaxRows || column >= kMaxColumns) {
        PutOutside(row, column, OutsideCell{Cell::Text, 0, index});
        return;
    }
    std::uint32_t& v = Place(row, static_cast<std::uint8_t>(column));
    if (v == cell::kEmpty)
        ++cellCount_;
    else
        Drop(v);
    v = cell::Text(index);
}

void Worksheet::Clear(std::uint32_t row, std::uint32_t column) {
    ++version_;
    if (row >= kMaxRows || column >= kMaxColumns) {
        auto it = outside_.find({row, column});
        if (it == outside_.end()) return;
        if (it->second.kind == Cell::Text) strings_->Release(it->second.text);
        outside_.erase(it);
        return;
    }
    std::uint32_t* v = Find(row, static_cast<std::uint8_t>(column));
    if (!v) return;
    Drop(*v);
    RowSpan& r = rows_[row];
    std::uint32_t* values = &words_[r.pos];
    std::uint8_t* columns = Columns(values, r);
    const auto at = static_cast<std::size_t>(v - values);
    std::memmove(values + at, values + at + 1, (r.count - at - 1) * sizeof(std::uint32_t));
    std::memmove(columns + at, columns + at + 1, r.count - at - 1);
    --r.count;
    --cellCount_;
}

void Worksheet::SetNumberFormat(std::uint32_t firstRow, std::uint32_t lastRow, std::uint32_t column,
                                NumberFormat format) {
    ++version_;
    // Formats outside the grid have no cell to apply to in the file.
    if (column >= kMaxColumns || firstRow > lastRow || firstRow >= kMaxRows) return;
    lastRow = std::min(lastRow, kMaxRows - 1);
    std::vector<FormatRun>& runs = formats_[column];
    const bool general = format == NumberFormat::General;

    if (runs.empty() || runs.back().last < firstRow) {  // the usual case: below everything set so far
        if (general) return;
        if (!runs.empty() && runs.back().last + 1 == firstRow && runs.back().format == format)
            runs.back().last = lastRow;
        else
            runs.push_back(FormatRun{firstRow, lastRow, format});
        return;
    }

    auto lo = std::lower_bound(runs.begin(), runs.end(), firstRow,
                               [](const FormatRun& r, std::uint32_t row) { return r.last < row; });
    auto hi = std::upper_bound(lo, runs.end(), lastRow,
                               [](std::uint32_t row, const FormatRun& r) { return row < r.first; });
    FormatRun replacement[3];
    std::size_t n = 0;
    if (lo != hi && lo->first < firstRow) replacement[n++] = FormatRun{lo->first, firstRow - 1, lo->format};
    if (!general) replacement[n++] = FormatRun{firstRow, lastRow, format};
    if (lo != hi && (hi - 1)->last > lastRow)
        replacement[n++] = FormatRun{lastRow + 1, (hi - 1)->last, (hi - 1)->format};
    const std::size_t at = static_cast<std::size_t>(lo - runs.begin());
    runs.erase(lo, hi);
    runs.insert(runs.begin() + static_cast<std::ptrdiff_t>(at), replacement, replacement + n);

    // Join with equal neighbours.
    std::size_t i = at > 0 ? at - 1 : 0;
    std::size_t end = std::min(runs.size(), at + n + 1);
    while (i + 1 < end) {
        if (runs[i].last + 1 == runs[i + 1].first && runs[i].format == runs[i + 1].format) {
            runs[i].last = runs[i + 1].last;
            runs.erase(runs.begin() + static_cast<std::ptrdiff_t>(i) + 1);
            --end;
        } else {
            ++i;
        }
    }
}

NumberFormat Worksheet::NumberFormatAt(std::uint32_t row, std::uint32_t column) const {
    if (column >= kMaxColumns) return NumberFormat::General;
    const std::vector<FormatRun>& runs = formats_[column];
    auto it = std::upper_bound(runs.begin(), runs.end(), row,
                               [](std::uint32_t r, const FormatRun& run) { return r < run.first; });
    if (it == runs.begin()) return NumberFormat::General;
    --it;
    return it->last >= row ? it->format : NumberFormat::General;
}

CellValue Worksheet::CellAt(std::uint32_t row, std::uint32_t column) const {
    CellValue v;
    auto text = [&](std::uint32_t index) {
        const StoredText t = strings_->Text(index);
        v.kind = CellKind::Text;
        v.text = DecodeText(t.data, t.bytes, t.wide);
    };
    if (row >= kMaxRows || column >= kMaxColumns) {
        auto it = outside_.find({row, column});
        if (it == outside_.end()) return v;
        if (it->second.kind == Cell::Text) {
            text(it->second.text);
        } else {
            v.kind = CellKind::Number;
            v.number = it->second.number;
        }
        return v;
    }
    const std::uint32_t* c = const_cast<Worksheet*>(this)->Find(row, static_cast<std::uint8_t>(column));
    if (!c) return v;
    if (cell::IsText(*c)) {
        text(cell::Index(*c));
    } else {
        v.kind = CellKind::Number;
        v.number = cell::IsNumber(*c) ? numbers_[cell::Index(*c)] : FromRk(*c);
    }
    return v;
}

std::size_t Worksheet::MemoryBytes() const {
    std::size_t formats = 0;
    for (const auto& runs : formats_) formats += runs.capacity() * sizeof(FormatRun);
    return rows_.capacity() * sizeof(RowSpan) + words_.MemoryBytes() + numbers_.MemoryBytes() +
           freeNumbers_.capacity() * sizeof(std::uint32_t) + formats + outside_.size() * 64;
}

// ---------------------------------------------------------------- workbook

Workbook::Workbook() : strings_(std::make_unique<detail::SharedStrings>()) {}

Workbook::~Workbook() = default;

Worksheet& Workbook::Sheet(std::size_t index) { return *sheets_.at(index); }

const Worksheet& Workbook::Sheet(std::size_t index) const { return *sheets_.at(index); }

Worksheet& Workbook::InsertSheet(std::size_t position, std::string name) {
    position = std::min(position, sheets_.size());
    auto sheet = std::make_unique<Worksheet>(*strings_, std::move(name));
    Worksheet& ref = *sheet;
    sheets_.insert(sheets_.begin() + static_cast<std::ptrdiff_t>(position), std::move(sheet));
    return ref;
}

std::size_t Workbook::MemoryBytes() const {
    std::size_t n = strings_->MemoryBytes();
    for (const auto& s : sheets_) n += s->MemoryBytes();
    return n;
}

}  // namespace ledgra::xls
