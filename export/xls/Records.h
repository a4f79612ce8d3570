// The pieces the BIFF8 writer assembles the stream from: record types, small
// records built in memory (Bytes), the buffered output (Out), and the writers
// of the globals (GlobalsRecords.cpp), the string table (SstRecords.cpp) and
// the sheets (SheetRecords.cpp). Internal to the writer.
#pragma once

#include "xls/Biff8.h"
#include "xls/Model.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace ledgra::xls::detail {

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
constexpr std::uint8_t kGeneralXf = 15;  // XFs 15, 16, 17: General, "0.00", "@"

inline std::uint8_t XfOf(NumberFormat f) {
    return static_cast<std::uint8_t>(kGeneralXf + static_cast<int>(f));
}

inline void W16(std::uint8_t* p, std::uint16_t v) { std::memcpy(p, &v, 2); }
inline void W32(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); }

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
    void Hex(const char* hex);  // "00 80 00 FF"
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
    void Put(const void* p, std::size_t n);
    void Put(const Bytes& b) { Put(b.data().data(), b.size()); }
    // Puts size bytes of the earlier stream from offset; false when they
    // cannot be read.
    bool Copy(EarlierStream& earlier, std::uint64_t offset, std::uint64_t size);
    std::uint64_t Position() const { return written_ + used_; }
    bool ok() const { return ok_; }

private:
    StreamSink& sink_;
    std::unique_ptr<std::uint8_t[]> buf_;
    std::size_t used_ = 0;
    std::uint64_t written_ = 0;
    bool ok_ = true;
};

// BOF of the globals (kind 0x0005) or of a worksheet (0x0010).
void Bof(Bytes& b, std::uint16_t kind);

// The globals before the string table: BOF, the workbook's settings, fonts,
// formats (XF), the style, the sheet list (BOUNDSHEET) and COUNTRY.
void GlobalsHead(Bytes& b, const std::vector<Biff8Writer::SheetLayout>& sheets,
                 const std::vector<std::vector<std::uint8_t>>& names, const std::vector<bool>& wide);
// The globals after the string table: EXTSST and EOF.
void GlobalsTail(Bytes& b, std::uint16_t bucket, const std::vector<Biff8Writer::ExtSstEntry>& extSst);

// The string table (SST and its CONTINUE records) from stream offset start:
// the strings in order, leaving out those order marks UINT32_MAX (when not
// empty). Measuring notes where each bucket of the EXTSST begins and returns
// the table's size; writing makes the same decisions.
struct SstPlan {
    const SharedStrings& strings;
    const std::vector<std::uint32_t>& order;
    std::uint32_t count;
    std::uint16_t bucket;
};
std::uint64_t MeasureSst(const SstPlan& plan, std::uint64_t start,
                         std::vector<Biff8Writer::ExtSstEntry>& ext);
void WriteSst(const SstPlan& plan, Out& out);

// A sheet's cell records measured: their size and extent, and the first cell
// the format cannot hold (problem Ok: none).
struct SheetMeasure {
    std::uint64_t bytes = 0;
    std::uint32_t firstRow = UINT32_MAX, lastRow = 0;
    std::uint8_t firstColumn = 255, lastColumn = 0;
    bool any = false;
    SaveStatus problem = SaveStatus::Ok;
    std::uint32_t problemRow = 0, problemColumn = 0;
};
SheetMeasure MeasureSheetCells(const Worksheet& sheet, const Biff8Writer::SheetLayout& layout,
                               bool checkTexts, bool checkNumbers);
// The records of a sheet: BOF, COLINFO and DIMENSIONS; the cells; WINDOW2 and EOF.
// sstIndex maps string indexes to SST positions (null: the same).
void SheetHead(Bytes& b, const Biff8Writer::SheetLayout& layout);
bool WriteSheetCells(Out& out, const Worksheet& sheet, const Biff8Writer::SheetLayout& layout,
                     const std::uint32_t* sstIndex);
void SheetTail(Bytes& b, bool firstSheet);
constexpr std::uint64_t kSheetFixed = 20 /*BOF*/ + 18 /*DIMENSIONS*/ + 22 /*WINDOW2*/ + 4 /*EOF*/;

}  // namespace ledgra::xls::detail
