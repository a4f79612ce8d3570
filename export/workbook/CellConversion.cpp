#include "workbook/CellConversion.h"

#include <ledgra/ledgra.h>

#include <locale.h>
#include <cfloat>
#include <charconv>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#ifdef _WIN32
// The C runtime's spellings of the POSIX per-locale calls.
using locale_t = _locale_t;
#define LC_ALL_MASK LC_ALL
static locale_t newlocale(int category, const char* name, locale_t) {
    return ::_create_locale(category, name);
}
static double strtod_l(const char* text, char** end, locale_t locale) {
    return ::_strtod_l(text, end, locale);
}
#endif

namespace ledgra::workbook {

bool CellReference(std::int32_t row, std::int32_t column, char* out) noexcept {
    if (column < 1 || column > 702) {
        out[0] = '\0';
        return false;
    }
    const int q = (column - 1) / 26;
    const int r = (column - 1) % 26;
    if (q == 0)
        std::snprintf(out, LEDGRA_CELL_REF_SIZE, "%c%d", static_cast<char>(64 + column),
                      static_cast<int>(row));
    else
        std::snprintf(out, LEDGRA_CELL_REF_SIZE, "%c%c%d", static_cast<char>(64 + q),
                      static_cast<char>(65 + r), static_cast<int>(row));
    return true;
}

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

std::size_t SkipSpace(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    return i;
}

std::int64_t ParseSaturated(std::string_view text, std::int64_t low, std::int64_t high) {
    std::size_t i = SkipSpace(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::int64_t value = 0;
    const std::int64_t limit = negative ? -low : high;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > limit) {
            value = limit;  // saturated; the remaining digits change nothing
            break;
        }
    }
    return negative ? -value : value;
}

// A plain decimal ("123", "45.5", ".25", "7.") of at most 15 digits, the
// whole text: its digits make an integer below 2^53 and the power of ten
// dividing it is exact too, so one division rounds as the full conversion
// would. Only where doubles are computed in double precision (not x87).
bool ParseShortDecimal(std::string_view digits, double& value) {
#if FLT_EVAL_METHOD == 0
    static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    std::uint64_t mantissa = 0;
    std::size_t count = 0, point = digits.size();
    for (std::size_t i = 0; i < digits.size(); ++i) {
        const char c = digits[i];
        if (c >= '0' && c <= '9') {
            if (++count > 15) return false;
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
        } else if (c == '.' && point == digits.size()) {
            point = i;
        } else {
            return false;
        }
    }
    if (count == 0) return false;
    const std::size_t decimals = point == digits.size() ? 0 : digits.size() - point - 1;
    value = static_cast<double>(mantissa) / kPowers[decimals];
    return true;
#else
    (void)digits;
    (void)value;
    return false;
#endif
}

locale_t CLocale() {
    static const locale_t c = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

}  // namespace

std::int32_t ParseInt(std::string_view text) noexcept {
    return static_cast<std::int32_t>(ParseSaturated(text, std::numeric_limits<std::int32_t>::min(),
                                                    std::numeric_limits<std::int32_t>::max()));
}

std::int32_t ParseLong(std::string_view text) noexcept { return ParseInt(text); }

double ParseDouble(std::string_view text) noexcept {
    std::size_t i = SkipSpace(text);
    std::string_view rest = text.substr(i);
    bool negative = false;
    std::string_view digits = rest;
    if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) {
        negative = digits[0] == '-';
        digits.remove_prefix(1);
    }
    const bool hex = digits.size() >= 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
    if (!hex && !digits.empty() && digits[0] != '+' && digits[0] != '-') {
        double value = 0.0;
        if (ParseShortDecimal(digits, value)) return negative ? -value : value;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (ec == std::errc()) return negative ? -value : value;
        if (ec == std::errc::invalid_argument) return 0.0;  // no number: the value stays 0.0
        // Out of range: strtod's answer (infinity or a denormal/zero) is sscanf's.
    }
    if (digits.empty()) return 0.0;
    // Hexadecimal and out-of-range numbers: strtod in the C locale, on a
    // terminated copy (the text need not be terminated).
    const std::string copy(rest);
    char* end = nullptr;
    const locale_t c = CLocale();
    const double value = c != static_cast<locale_t>(nullptr) ? ::strtod_l(copy.c_str(), &end, c)
                                                             : std::strtod(copy.c_str(), &end);
    return end == copy.c_str() ? 0.0 : value;
}

}  // namespace ledgra::workbook
