// The rules every sheet name follows, in the model, the stand-in and the file
// alike: 1 to 31 characters (UTF-16 units), none of : \ / ? * [ ] nor the
// control characters 0 and 3, no apostrophe first or last; two names are the
// same when they differ only in the case of ASCII or Latin-1 letters. And the
// letters that name a column.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ledgra::xls {

enum class SheetNameFault { None, Empty, TooLong, BadCharacter, Apostrophe };

SheetNameFault CheckSheetName(std::string_view name);
// A character no sheet name holds (an ASCII one or a byte of UTF-8).
bool ForbiddenInSheetName(char c);
bool SameSheetName(std::string_view a, std::string_view b);

// "A" for 0, "Z" for 25, "AA" for 26, and so on without limit.
std::string ColumnLetters(std::uint64_t column);

}  // namespace ledgra::xls
