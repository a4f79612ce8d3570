// The rules of the spreadsheet application that the stand-in follows: A1 cell
// references on its grid, sheet names, and the name a workbook opened from a
// text file gives its one sheet. Plain functions, no state.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ledgra::standin {

// The application's grid (rows 1..1048576, columns A..XFD); a workbook file
// holds less, which saving checks.
inline constexpr std::uint32_t kGridRows = 1048576;
inline constexpr std::uint32_t kGridColumns = 16384;

// A rectangle of cells, 0-based, both corners included.
struct CellRect {
    std::uint32_t firstRow = 0;
    std::uint32_t firstColumn = 0;
    std::uint32_t lastRow = 0;
    std::uint32_t lastColumn = 0;
    std::uint64_t Rows() const { return std::uint64_t{lastRow} - firstRow + 1; }
    std::uint64_t Columns() const { return std::uint64_t{lastColumn} - firstColumn + 1; }
};

// "A1", "$B$12", "ab7": one cell of the grid; letters in either case.
bool ParseCellReference(std::string_view text, std::uint32_t& row, std::uint32_t& column);
// "A1" or "A1:C10" (corners in any order).
bool ParseRangeReference(std::string_view text, CellRect& rect);
// The smallest rectangle holding both.
CellRect Union(const CellRect& a, const CellRect& b);

enum class SheetNameProblem { None, Invalid, Duplicate, Reserved };

// Checks a new name for a sheet against the rules every sheet name follows
// (xls/SheetNames.h), then: not "History", and different (ignoring case) from
// every name in others.
SheetNameProblem CheckSheetName(std::string_view name, const std::vector<std::string>& others);
// The application's description of each problem.
const char* SheetNameProblemText(SheetNameProblem problem);

// The name of the one sheet of a workbook opened from a text file: the file's
// base name (after the last '/', or '\' too on Windows) without its last
// extension, characters a sheet name cannot hold replaced by '_', cut to 31
// characters; "Sheet1" when nothing is left.
std::string SheetNameFromPath(std::string_view path);

// "SheetN" with the smallest N >= 1 that no name in names uses.
std::string NextFreeSheetName(const std::vector<std::string>& names);

}  // namespace ledgra::standin
