// Texts as BIFF8 stores them: either "compressed" (one byte per character,
// code points U+0000..U+00FF) or UTF-16LE. Input is UTF-8; a byte that does
// not start a valid UTF-8 sequence is taken as the Latin-1 character of the
// same value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ledgra::xls::detail {

struct EncodedText {
    bool wide = false;       // UTF-16LE rather than one byte per character
    std::size_t units = 0;   // UTF-16 code units (characters counted as Excel counts them)
    bool truncated = false;  // stopped after maxUnits + 1 units
};

// Encodes utf8 into out (replacing its contents). Stops once more than
// maxUnits units have been produced (the text is then too long anyway).
EncodedText EncodeText(std::string_view utf8, std::vector<std::uint8_t>& out,
                       std::size_t maxUnits = SIZE_MAX - 1);

// True when every byte is below 0x80 (the text is then its own encoding).
bool IsAscii(const void* data, std::size_t size);

// The reverse, for reading cells back: UTF-8 of an encoded text.
std::string DecodeText(const std::uint8_t* data, std::size_t bytes, bool wide);

}  // namespace ledgra::xls::detail
