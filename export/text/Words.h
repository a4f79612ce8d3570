// Texts read a word at a time: the string table's hash and comparison, and
// the text export's check and copy of a cell of up to 16 bytes, without a call
// or a loop over its bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ledgra::text {

// Up to 8 bytes at p as one word in the machine's byte order, the rest zero.
inline std::uint64_t LoadWord(const void* p, std::size_t n) noexcept {
    std::uint64_t word = 0;
    std::memcpy(&word, p, n);
    return word;
}

// The n bytes (at most 16) at a place, as two words: from 8 bytes the first
// and the last 8, from 4 the first and the last 4, below that the first,
// middle and last byte in `first`. The words overlap where n is not 16, 8 or
// 4, so every byte is in one of them and none is read past the end.
struct ShortWords {
    std::uint64_t first;
    std::uint64_t last;
};

inline ShortWords LoadShort(const char* p, std::size_t n) noexcept {
    if (n >= 8) return {LoadWord(p, 8), LoadWord(p + n - 8, 8)};
    if (n >= 4) return {LoadWord(p, 4), LoadWord(p + n - 4, 4)};
    if (n == 0) return {0, 0};
    const auto byte = [](char c) { return static_cast<std::uint64_t>(static_cast<unsigned char>(c)); };
    return {byte(p[0]) | byte(p[n / 2]) << 8 | byte(p[n - 1]) << 16, 0};
}

// Stores the words LoadShort read from n bytes as those n bytes at to.
inline void StoreShort(char* to, ShortWords words, std::size_t n) noexcept {
    if (n >= 8) {
        std::memcpy(to, &words.first, 8);
        std::memcpy(to + n - 8, &words.last, 8);
    } else if (n >= 4) {  // the 4 bytes loaded are the word's first 4 in memory, in either byte order
        std::memcpy(to, &words.first, 4);
        std::memcpy(to + n - 4, &words.last, 4);
    } else if (n != 0) {
        to[0] = static_cast<char>(words.first);
        to[n / 2] = static_cast<char>(words.first >> 8);
        to[n - 1] = static_cast<char>(words.first >> 16);
    }
}

}  // namespace ledgra::text
