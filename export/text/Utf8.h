// The one UTF-8 decoder of Ledgra: the cell texts of the workbook file, the
// lengths of texts sent to the spreadsheet application and the cut of an
// error text all read UTF-8 through it.
#pragma once

#include <cstddef>

namespace ledgra::text {

// The length of the sequence a byte begins: 1 for ASCII and for bytes that
// begin none (continuation bytes, 0xC0, 0xC1, 0xF5 and above), else 2 to 4.
inline std::size_t Utf8SequenceLength(unsigned char lead) noexcept {
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 1;
}

// Decodes one code point at p (p < end) and returns the number of bytes
// used. A byte that begins no valid sequence (an overlong form, a surrogate,
// beyond U+10FFFF, or cut short by end) is used alone, as the Latin-1
// character of its value.
inline std::size_t DecodeUtf8(const unsigned char* p, const unsigned char* end, char32_t& cp) noexcept {
    const unsigned char b = p[0];
    cp = b;
    const std::size_t length = Utf8SequenceLength(b);
    if (length == 1 || static_cast<std::size_t>(end - p) < length) return 1;
    for (std::size_t i = 1; i < length; ++i)
        if ((p[i] & 0xC0) != 0x80) return 1;
    const unsigned char b1 = p[1];
    switch (length) {
        case 2:
            cp = (char32_t(b & 0x1F) << 6) | (b1 & 0x3F);
            return 2;
        case 3:
            if ((b == 0xE0 && b1 < 0xA0) || (b == 0xED && b1 > 0x9F)) return 1;
            cp = (char32_t(b & 0x0F) << 12) | (char32_t(b1 & 0x3F) << 6) | (p[2] & 0x3F);
            return 3;
        default:
            if ((b == 0xF0 && b1 < 0x90) || (b == 0xF4 && b1 > 0x8F)) return 1;
            cp = (char32_t(b & 0x07) << 18) | (char32_t(b1 & 0x3F) << 12) | (char32_t(p[2] & 0x3F) << 6) |
                 (p[3] & 0x3F);
            return 4;
    }
}

}  // namespace ledgra::text
