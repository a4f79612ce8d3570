#include "xls/Records.h"

namespace ledgra::xls::detail {

void Bytes::Hex(const char* hex) {
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

void Out::Put(const void* p, std::size_t n) {
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

bool Out::Copy(EarlierStream& earlier, std::uint64_t offset, std::uint64_t size) {
    while (size) {
        if (used_ == kSize) Flush();
        const auto k = static_cast<std::size_t>(std::min<std::uint64_t>(size, kSize - used_));
        if (!earlier.Read(offset, buf_.get() + used_, k)) return false;
        used_ += k;
        offset += k;
        size -= k;
    }
    return ok_;
}

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

}  // namespace ledgra::xls::detail
