// A table for the workbook export tests: header titles and type codes for row
// 0, generated or given texts for the data rows, and a log of the calls.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace ledgra::test {

struct WorkbookCall {
    int row;
    int column;
    std::string textBefore;
    int typeBefore;
};

struct WorkbookTable {
    static constexpr int kStoreNoCode = -1000;  // a header code the callback does not store

    WorkbookTable(std::vector<std::string> titles, std::vector<int> types)
        : headers(std::move(titles)), codes(std::move(types)) {}

    std::vector<std::string> headers;
    std::vector<int> codes;       // per column, for the first header pass
    std::vector<int> laterCodes;  // for later header passes, when not empty
    // Text of data cell (row >= 1, column); default "r<row>c<column>".
    std::function<std::string(int, int)> cell;
    bool record = true;
    std::vector<WorkbookCall> calls;
    int headerPasses = 0;

    static int Callback(void* user, int row, int column, std::string& text, int* type) {
        auto* self = static_cast<WorkbookTable*>(user);
        if (self->record) self->calls.push_back({row, column, text, *type});
        if (row == 0) {
            if (column == 0) ++self->headerPasses;
            const std::vector<int>& codes =
                self->headerPasses > 1 && !self->laterCodes.empty() ? self->laterCodes : self->codes;
            const int code = codes.at(static_cast<std::size_t>(column));
            if (code != kStoreNoCode) *type = code;
            text = self->headers.at(static_cast<std::size_t>(column));
        } else {
            text = self->cell ? self->cell(row, column)
                              : "r" + std::to_string(row) + "c" + std::to_string(column);
            *type = 77;  // ignored for data rows
        }
        return 0;
    }
};

}  // namespace ledgra::test
