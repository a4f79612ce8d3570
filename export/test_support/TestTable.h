// A table for the export tests: cell texts from a grid, and a log of every
// callback call with the values the writer passed in.
#pragma once

#include "test_support/TestFiles.h"

#include <filesystem>
#include <string>
#include <vector>

namespace ledgra::test {

struct CellCall {
    int row;
    int column;
    std::string textBefore;  // what the writer's text held when it called
    int typeBefore;
    bool operator==(const CellCall&) const = default;
};

struct TestTable {
    // rows[r][c] is the text of callback row r + 1 (the text export starts at row 1).
    std::vector<std::vector<std::string>> rows;
    // When set, the callback leaves the text alone for cells whose text is this.
    std::string leaveAlone = "\x01";
    std::vector<CellCall> calls;
    std::filesystem::path mustExist;  // checked at the first call

    bool fileExistedAtFirstCall = false;

    static int Callback(void* user, int row, int column, std::string& text, int* type) {
        auto* self = static_cast<TestTable*>(user);
        if (self->calls.empty() && !self->mustExist.empty())
            self->fileExistedAtFirstCall = std::filesystem::exists(self->mustExist);
        self->calls.push_back({row, column, text, *type});
        const std::string& cell =
            self->rows.at(static_cast<std::size_t>(row - 1)).at(static_cast<std::size_t>(column));
        if (cell != self->leaveAlone) text = cell;
        *type = 99;  // the text export ignores it
        return 12345;
    }
};

}  // namespace ledgra::test
