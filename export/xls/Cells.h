// What a cell of the workbook model holds, and the limits of the Excel
// 97-2003 format it is saved in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ledgra::xls {

// Limits of the Excel 97-2003 format.
inline constexpr std::uint32_t kMaxRows = 65536;        // rows 0..65535
inline constexpr std::uint32_t kMaxColumns = 256;       // columns A..IV
inline constexpr std::size_t kMaxTextLength = 32767;    // UTF-16 code units per cell
inline constexpr std::size_t kMaxSheetNameLength = 31;  // UTF-16 code units

enum class NumberFormat : std::uint8_t {
    General,  // "General"
    Fixed2,   // "0.00"
    Text,     // "@"
};

enum class CellKind : std::uint8_t { Empty, Number, Text };

// A cell's content as read back. Texts come back as UTF-8; a text over the
// format's limit keeps only its first 32768 characters (it cannot be saved).
struct CellValue {
    CellKind kind = CellKind::Empty;
    double number = 0;
    std::string text;
};

}  // namespace ledgra::xls
