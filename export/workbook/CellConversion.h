// The conversions the workbook export applies to cell texts, with the C
// library's semantics (atoi, atol, sscanf "%lf") in the C locale whatever
// locale the host program has set: leading white space is skipped, reading
// stops at the first character that does not fit, and a text without a
// number gives 0. Integers that do not fit saturate at the type's limits
// (the C functions leave that undefined).
#pragma once

#include <cstdint>
#include <string_view>

namespace ledgra::workbook {

// atoi: a 32-bit integer.
std::int32_t ParseInt(std::string_view text) noexcept;
// atol with the 32-bit long of the original platform (the VT_I4 range).
std::int32_t ParseLong(std::string_view text) noexcept;
// sscanf(text, "%lf", &value) with value starting at 0.0: decimal and
// hexadecimal numbers, inf, infinity and nan, a decimal point '.' always.
double ParseDouble(std::string_view text) noexcept;

// The reference of the 1-based row and column ("A1", "AB12", "ZZ-3") written
// into out (LEDGRA_CELL_REF_SIZE bytes with the terminating zero); columns
// outside 1..702 have no letter name: out gets "" and the result is false.
bool CellReference(std::int32_t row, std::int32_t column, char* out) noexcept;

}  // namespace ledgra::workbook
