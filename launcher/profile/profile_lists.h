// How the read functions fill a caller's buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ardmon::profile {

// Fills a buffer with a list of NUL-terminated strings and one more NUL after
// the last, the way GetPrivateProfileSectionA and
// GetPrivateProfileSectionNamesA do. Let L be the length of the strings with
// their NULs:
// - L <= size-2: the whole list, a closing NUL at L; the result is L (an empty
//   list gives two NULs and 0);
// - otherwise the first size-2 characters of the list, NUL at size-2 and at
//   size-1; the result is size-2. An exact fit (L == size-1) is reported the
//   same way although nothing was lost.
// Nothing is ever written at or past size.
class ListWriter {
public:
    ListWriter(char* buffer, std::uint32_t size);
    // Adds one string, given as the pieces it is made of.
    void Add(std::string_view a, std::string_view b = {}, std::string_view c = {});
    std::uint32_t Finish();

private:
    void Put(std::string_view piece);

    char* buffer_;
    std::uint32_t size_;
    size_t limit_;       // characters of the list that may be stored
    size_t length_ = 0;  // L so far
};

// Copies a string cut to size-1 characters and a NUL; returns the characters
// copied. A size of 0 writes nothing.
std::uint32_t CopyCutString(std::string_view text, char* buffer, std::uint32_t size);

}  // namespace ardmon::profile
