// One table as Ledgra's writers see it: its size, where its cell texts come
// from, and what a write leaves in it. The C interface keeps one per handle;
// the public C++ class is the caller's, on the other side of that interface.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ledgra {

// Supplies the text of one cell: assigns text (or leaves it, to repeat it)
// and, for the header row of a workbook, stores the column's type code.
using CellTextFn = int (*)(void* userData, int row, int column, std::string& text, int* type);
// The same for a writer that empties the text before each cell, read in
// place: the text the callback gave, valid until the next call.
using CellViewFn = std::string_view (*)(void* userData, int row, int column, int* type);

struct ExportTable {
    ExportTable(int rowCount, int columnCount) : rows(rowCount), columns(columnCount) {}

    int rows;  // counts are taken as they come; zero or less asks for no cells
    int columns;
    CellTextFn cellText = nullptr;
    CellViewFn cellView = nullptr;  // when set, the workbook writer's data cells are read through it
    void* userData = nullptr;       // passed to cellText and cellView unchanged
    std::string fileName;           // the file the workbook writer created
    std::vector<int> columnTypes;   // the workbook writer's, for the length of one write
};

}  // namespace ledgra
