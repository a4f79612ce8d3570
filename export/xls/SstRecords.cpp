// The shared string table: SST and its CONTINUE records. A string's header
// never ends a record, and a surrogate pair never straddles two.
#include "xls/Records.h"

namespace ledgra::xls::detail {
namespace {

// Run once to measure (Emit = false) and once to write; both runs make the
// same decisions.
template <bool Emit>
class SstWriter {
public:
    SstWriter(Out* out, std::uint64_t start) : out_(out), pos_(start) {}

    void Run(const SstPlan& plan, std::vector<Biff8Writer::ExtSstEntry>* ext) {
        Open(kSst);
        const auto total = static_cast<std::uint32_t>(plan.strings.TotalRefs());
        Put(&total, 4);
        Put(&plan.count, 4);
        std::uint32_t k = 0;
        const std::uint32_t n = plan.strings.Count();
        for (std::uint32_t i = 0; i < n; ++i) {
            if (!plan.order.empty() && plan.order[i] == UINT32_MAX) continue;
            const StoredText t = plan.strings.Text(i);
            if (used_ + 3 + FirstCharacterBytes(t) > kMaxPayload) Continue();
            if (ext && k % plan.bucket == 0)
                ext->push_back(
                    {static_cast<std::uint32_t>(pos_), static_cast<std::uint16_t>(pos_ - recordStart_)});
            PutString(t);
            ++k;
        }
        Close();
    }
    std::uint64_t Position() const { return pos_; }

private:
    static bool HighSurrogate(const StoredText& t, std::size_t byte) {
        return (t.data[byte + 1] & 0xFC) == 0xD8;
    }
    // What must follow a string's header in the same record.
    static std::size_t FirstCharacterBytes(const StoredText& t) {
        return !t.wide ? 1 : (t.bytes >= 4 && HighSurrogate(t, 0)) ? 4 : 2;
    }

    // The header, then the characters over as many records as they need,
    // each CONTINUE starting with the flags byte again.
    void PutString(const StoredText& t) {
        const std::uint8_t flags = t.wide ? 1 : 0;
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
                    HighSurrogate(t, static_cast<std::size_t>(p - t.data) + take - 2))
                    take -= 2;  // keep a surrogate pair together
            }
            if (take) {
                Put(p, take);
                p += take;
                left -= take;
            }
            if (left) {
                Continue();
                PutU8(flags);
            }
        }
    }

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
    void Continue() {
        Close();
        Open(kContinue);
    }
    void Put(const void* p, std::size_t n) {
        if constexpr (Emit) std::memcpy(out_->Take(n), p, n);
        pos_ += n;
        used_ += n;
    }
    void PutU8(std::uint8_t v) { Put(&v, 1); }

    Out* out_;
    std::uint64_t pos_;
    std::uint64_t recordStart_ = 0;
    std::size_t used_ = 0;
    std::uint8_t* header_ = nullptr;
};

}  // namespace

std::uint64_t MeasureSst(const SstPlan& plan, std::uint64_t start,
                         std::vector<Biff8Writer::ExtSstEntry>& ext) {
    SstWriter<false> sst(nullptr, start);
    sst.Run(plan, &ext);
    return sst.Position() - start;
}

void WriteSst(const SstPlan& plan, Out& out) {
    SstWriter<true> sst(&out, out.Position());
    sst.Run(plan, nullptr);
}

}  // namespace ledgra::xls::detail
