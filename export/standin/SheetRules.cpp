#include "standin/SheetRules.h"

#include "automation/Variant.h"
#include "names.h"
#include "xls/SheetNames.h"
#include "xls/Workbook.h"

#include <algorithm>
#include <string>

namespace ledgra::standin {

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool ParseCellReference(std::string_view text, std::uint32_t& row, std::uint32_t& column) {
    std::size_t i = 0;
    if (i < text.size() && text[i] == '$') ++i;
    std::uint32_t letters = 0;
    std::uint64_t col = 0;
    while (i < text.size()) {
        const char c = Lower(text[i]);
        if (c < 'a' || c > 'z') break;
        col = col * 26 + static_cast<std::uint64_t>(c - 'a' + 1);
        ++letters;
        ++i;
        if (letters > 3) return false;
    }
    if (letters == 0) return false;
    if (i < text.size() && text[i] == '$') ++i;
    std::uint64_t r = 0;
    std::size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        r = r * 10 + static_cast<std::uint64_t>(text[i] - '0');
        ++i;
        if (++digits > 7) return false;
    }
    if (digits == 0 || i != text.size()) return false;
    if (r < 1 || r > kGridRows || col > kGridColumns) return false;
    row = static_cast<std::uint32_t>(r - 1);
    column = static_cast<std::uint32_t>(col - 1);
    return true;
}

bool ParseRangeReference(std::string_view text, CellRect& rect) {
    const std::size_t colon = text.find(':');
    std::uint32_t r1 = 0, c1 = 0;
    if (colon == std::string_view::npos) {
        if (!ParseCellReference(text, r1, c1)) return false;
        rect = CellRect{r1, c1, r1, c1};
        return true;
    }
    std::uint32_t r2 = 0, c2 = 0;
    if (!ParseCellReference(text.substr(0, colon), r1, c1) ||
        !ParseCellReference(text.substr(colon + 1), r2, c2))
        return false;
    rect = CellRect{std::min(r1, r2), std::min(c1, c2), std::max(r1, r2), std::max(c1, c2)};
    return true;
}

CellRect Union(const CellRect& a, const CellRect& b) {
    return CellRect{std::min(a.firstRow, b.firstRow), std::min(a.firstColumn, b.firstColumn),
                    std::max(a.lastRow, b.lastRow), std::max(a.lastColumn, b.lastColumn)};
}

SheetNameProblem CheckSheetName(std::string_view name, const std::vector<std::string>& others) {
    if (xls::CheckSheetName(name) != xls::SheetNameFault::None) return SheetNameProblem::Invalid;
    if (xls::SameSheetName(name, "History")) return SheetNameProblem::Reserved;
    for (const std::string& other : others)
        if (xls::SameSheetName(name, other)) return SheetNameProblem::Duplicate;
    return SheetNameProblem::None;
}

const char* SheetNameProblemText(SheetNameProblem problem) {
    switch (problem) {
        case SheetNameProblem::Invalid:
            return "You typed an invalid name for a sheet or chart. Make sure that:\n\n"
                   "\xE2\x80\xA2 The name that you type does not exceed 31 characters.\n"
                   "\xE2\x80\xA2 The name does not contain any of the following characters: "
                   ": \\ / ? * [ or ]\n"
                   "\xE2\x80\xA2 You did not leave the name blank.";
        case SheetNameProblem::Duplicate:
            return "Cannot rename a sheet to the same name as another sheet, a referenced object "
                   "library or a workbook referenced by Visual Basic.";
        case SheetNameProblem::Reserved:
            return "'History' is a reserved name.";
        case SheetNameProblem::None:
            break;
    }
    return "";
}

std::string SheetNameFromPath(std::string_view path) {
    std::string_view base = path.substr(filesafe::NameStart(path));
    const std::size_t dot = base.find_last_of('.');
    if (dot != std::string_view::npos && dot > 0) base = base.substr(0, dot);
    std::string name(Utf16Prefix(base, xls::kMaxSheetNameLength));
    for (char& c : name)
        if (xls::ForbiddenInSheetName(c)) c = '_';
    if (!name.empty() && name.front() == '\'') name.front() = '_';
    if (!name.empty() && name.back() == '\'') name.back() = '_';
    return name.empty() ? std::string("Sheet1") : name;
}

std::string NextFreeSheetName(const std::vector<std::string>& names) {
    for (unsigned n = 1;; ++n) {
        std::string candidate = "Sheet" + std::to_string(n);
        const bool used = std::any_of(names.begin(), names.end(), [&](const std::string& name) {
            return xls::SameSheetName(name, candidate);
        });
        if (!used) return candidate;
    }
}

}  // namespace ledgra::standin
