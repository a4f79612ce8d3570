#include "xls/Text.h"

#include "text/Utf8.h"

#include <cstring>

namespace ledgra::xls::detail {
namespace {

using text::DecodeUtf8;

inline bool AllAscii(const unsigned char* p, std::size_t n) {
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, p + i, 8);
        if (w & 0x8080808080808080ULL) return false;
    }
    for (; i < n; ++i)
        if (p[i] & 0x80) return false;
    return true;
}

inline void PutUnit(std::vector<std::uint8_t>& out, std::size_t& at, char16_t u) {
    out[at++] = static_cast<std::uint8_t>(u & 0xFF);
    out[at++] = static_cast<std::uint8_t>(u >> 8);
}

}  // namespace

bool IsAscii(const void* data, std::size_t size) {
    return AllAscii(static_cast<const unsigned char*>(data), size);
}

EncodedText EncodeText(std::string_view utf8, std::vector<std::uint8_t>& out, std::size_t maxUnits) {
    EncodedText r;
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto* end = p + utf8.size();
    const std::size_t limit = maxUnits + 1;

    if (AllAscii(p, utf8.size())) {
        std::size_t n = utf8.size();
        if (n > limit) {
            n = limit;
            r.truncated = true;
        }
        out.assign(p, p + n);
        r.units = n;
        return r;
    }

    // One byte per character until a code point above U+00FF turns up; then
    // widen what is there and go on in UTF-16.
    out.resize(utf8.size() * 2 + 4);  // enough for either form
    std::size_t at = 0;
    while (p < end) {
        if (r.units >= limit) {
            r.truncated = true;
            break;
        }
        char32_t cp;
        p += DecodeUtf8(p, end, cp);
        if (!r.wide) {
            if (cp <= 0xFF) {
                out[at++] = static_cast<std::uint8_t>(cp);
                ++r.units;
                continue;
            }
            for (std::size_t i = at; i-- > 0;) {  // widen in place, from the back
                out[2 * i] = out[i];
                out[2 * i + 1] = 0;
            }
            at *= 2;
            r.wide = true;
        }
        if (cp <= 0xFFFF) {
            PutUnit(out, at, static_cast<char16_t>(cp));
            ++r.units;
        } else {
            cp -= 0x10000;
            PutUnit(out, at, static_cast<char16_t>(0xD800 + (cp >> 10)));
            PutUnit(out, at, static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
            r.units += 2;
        }
    }
    out.resize(at);
    return r;
}

std::string DecodeText(const std::uint8_t* data, std::size_t bytes, bool wide) {
    std::string s;
    auto put = [&](char32_t cp) {
        if (cp < 0x80) {
            s += static_cast<char>(cp);
        } else if (cp < 0x800) {
            s += static_cast<char>(0xC0 | (cp >> 6));
            s += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            s += static_cast<char>(0xE0 | (cp >> 12));
            s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            s += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            s += static_cast<char>(0xF0 | (cp >> 18));
            s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            s += static_cast<char>(0x80 | (cp & 0x3F));
        }
    };
    if (!wide) {
        s.reserve(bytes);
        for (std::size_t i = 0; i < bytes; ++i) put(data[i]);
        return s;
    }
    s.reserve(bytes);
    for (std::size_t i = 0; i + 1 < bytes; i += 2) {
        char32_t u = data[i] | (char32_t(data[i + 1]) << 8);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes) {
            char32_t lo = data[i + 2] | (char32_t(data[i + 3]) << 8);
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
                i += 2;
            }
        }
        put(u);
    }
    return s;
}

}  // namespace ledgra::xls::detail
