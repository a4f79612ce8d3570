#include "xls/SheetNames.h"

#include "xls/Text.h"
#include "xls/Workbook.h"

#include <cstring>
#include <vector>

namespace ledgra::xls {
namespace {

// The byte at i with ASCII and Latin-1 letters (U+00E0..U+00FE but U+00F7,
// encoded C3 A0..C3 BE) in upper case.
unsigned char Folded(std::string_view s, std::size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 0x20);
    const bool afterC3 = i > 0 && static_cast<unsigned char>(s[i - 1]) == 0xC3;
    if (afterC3 && c >= 0xA0 && c <= 0xBE && c != 0xB7) return static_cast<unsigned char>(c - 0x20);
    return c;
}

}  // namespace

SheetNameFault CheckSheetName(std::string_view name) {
    if (name.empty()) return SheetNameFault::Empty;
    std::vector<std::uint8_t> encoded;
    if (detail::EncodeText(name, encoded, kMaxSheetNameLength).units > kMaxSheetNameLength)
        return SheetNameFault::TooLong;
    for (const char c : name)
        if (ForbiddenInSheetName(c)) return SheetNameFault::BadCharacter;
    if (name.front() == '\'' || name.back() == '\'') return SheetNameFault::Apostrophe;
    return SheetNameFault::None;
}

bool ForbiddenInSheetName(char c) { return c == 0 || c == 3 || std::strchr(":\\/?*[]", c) != nullptr; }

bool SameSheetName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Folded(a, i) != Folded(b, i)) return false;
    return true;
}

std::string ColumnLetters(std::uint64_t column) {
    std::string letters;
    for (std::uint64_t n = column + 1; n > 0; n = (n - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
    return letters;
}

}  // namespace ledgra::xls
