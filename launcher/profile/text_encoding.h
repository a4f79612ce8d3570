// Text encodings of profile files. The A functions speak the ANSI code page
// (1252 here); a file that starts with the UTF-16LE byte order mark is read
// and written as UTF-16LE, every other file is taken byte for byte.
#pragma once

#include <string>
#include <string_view>

namespace ardmon::profile {

// The Unicode code unit for one byte of code page 1252. The five bytes the
// code page leaves undefined map to the C1 controls of the same value, as
// Windows' own tables do.
char16_t UnitFromAnsi(unsigned char c);

// The code page 1252 byte for one UTF-16 code unit, or '?' when the code page
// has no such character. Each code unit gives one byte, so a surrogate pair
// reads as "??"; the byte offsets of the converted text then match the unit
// offsets of the file text one for one.
char AnsiFromUnit(char16_t unit);

// True when the bytes start with the UTF-16LE byte order mark FF FE.
bool HasUtf16leBom(std::string_view bytes);

// Code units of a UTF-16LE byte string (without the mark). A last odd byte,
// which no code unit holds, is returned in odd_tail so that it can be kept.
std::u16string UnitsFromUtf16le(std::string_view bytes, std::string& odd_tail);

// UTF-16LE bytes of code units.
void AppendUtf16le(std::string& out, std::u16string_view units);

}  // namespace ardmon::profile
