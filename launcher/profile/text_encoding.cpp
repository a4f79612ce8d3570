#include "text_encoding.h"

namespace ardmon::profile {
namespace {

// 0x80..0x9F of code page 1252; the undefined bytes stand for themselves.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

char16_t UnitFromAnsi(unsigned char c)
{
    if (c >= 0x80 && c < 0xA0) return kHighControls[c - 0x80];
    return c;
}

char AnsiFromUnit(char16_t unit)
{
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return static_cast<char>(unit);
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] == unit) return static_cast<char>(0x80 + i);
    }
    return '?';
}

bool HasUtf16leBom(std::string_view bytes)
{
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
           static_cast<unsigned char>(bytes[1]) == 0xFE;
}

std::u16string UnitsFromUtf16le(std::string_view bytes, std::string& odd_tail)
{
    std::u16string units(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                         (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    }
    odd_tail.clear();
    if (bytes.size() % 2 != 0) odd_tail.push_back(bytes.back());
    return units;
}

void AppendUtf16le(std::string& out, std::u16string_view units)
{
    size_t at = out.size();
    out.resize(at + 2 * units.size());
    for (char16_t u : units) {
        out[at++] = static_cast<char>(u & 0xFF);
        out[at++] = static_cast<char>(u >> 8);
    }
}

}  // namespace ardmon::profile
