// Workbooks that live in text files: reading comma-separated lines into a
// sheet when the application opens a file that is not a workbook, and writing a
// sheet back as text when it saves in a text format.
#pragma once

#include "xls/Workbook.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace ledgra::standin {

// True when content starts like a binary workbook (a compound file or a zip
// archive), which the stand-in cannot read.
bool LooksLikeWorkbookFile(std::string_view content);

// Fills sheet from comma-separated lines (CR LF, LF or CR; fields in double
// quotes may hold commas, line breaks and doubled quotes). A field that is a
// whole finite number in the C locale becomes a number, any other non-empty
// field a text. rows and columns receive the extent of what was read.
void ReadCommaSeparated(std::string_view content, xls::Worksheet& sheet, std::uint32_t& rows,
                        std::uint32_t& columns);

// How numbers are written as text: as their format shows them, or with every
// digit needed to read the same number back.
enum class NumberText { AsShown, Exact };

// Texts too long for a workbook cell, whole, by row << 32 | column.
using WholeTexts = std::map<std::uint64_t, std::string>;

// The cells of rows 0..rows-1 and columns 0..columns-1 as comma-separated lines
// ended by CR LF; texts quoted when needed, those in whole taken from there.
std::string FormatCommaSeparated(const xls::Worksheet& sheet, std::uint32_t rows, std::uint32_t columns,
                                 NumberText numbers = NumberText::AsShown, const WholeTexts* whole = nullptr);

}  // namespace ledgra::standin
