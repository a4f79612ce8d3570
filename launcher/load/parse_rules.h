// The two rules that turn the list buffers of the profile functions into
// names and entries. Each walks the first length characters of a filled
// buffer once and calls back in buffer order; nothing is kept between calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ardmon {

// The launcher's list buffers and what the profile functions return when a
// list does not fit them (the buffer size minus 2). Only these exact results
// count as overflow.
inline constexpr std::uint32_t kNamesBufferSize = 5000;
inline constexpr std::uint32_t kSectionBufferSize = 16000;
inline constexpr std::uint32_t kNamesOverflow = kNamesBufferSize - 2;      // 4998
inline constexpr std::uint32_t kSectionOverflow = kSectionBufferSize - 2;  // 15998

// Calls on_name(std::string_view) for every NUL-terminated name in the first
// length characters. Empty names are skipped. Characters after the last NUL
// belong to no finished name and are not handed on.
template <class OnName>
void SplitSectionNames(const char* buffer, size_t length, OnName&& on_name)
{
    size_t start = 0;
    for (size_t i = 0; i < length; ++i) {
        if (buffer[i] != '\0') continue;
        if (i > start) on_name(std::string_view(buffer + start, i - start));
        start = i + 1;
    }
}

// Calls on_entry(std::string_view key, std::string_view value) for every
// NUL-terminated string of the first length characters that holds a '=': the
// key is the text before the first '=', the value all the text after it, both
// verbatim. A string without '=' (a bare line of the section) is dropped: it
// has no value to merge, and taking it as a key with an empty value would
// write a key the profile never had.
template <class OnEntry>
void SplitSectionEntries(const char* buffer, size_t length, OnEntry&& on_entry)
{
    constexpr size_t kNone = static_cast<size_t>(-1);
    size_t start = 0;
    size_t equals = kNone;
    for (size_t i = 0; i < length; ++i) {
        const char c = buffer[i];
        if (c == '\0') {
            if (equals != kNone) {
                on_entry(std::string_view(buffer + start, equals - start),
                         std::string_view(buffer + equals + 1, i - equals - 1));
            }
            start = i + 1;
            equals = kNone;
        } else if (c == '=' && equals == kNone) {
            equals = i;
        }
    }
}

// What the profile functions do not load as a profile that starts with bytes
// holds it, for its encoding alone, as (section, "") in file order: behind a
// UTF-8 byte order mark the first section's header is no header, so that
// section is not read (as on Windows); a UTF-16 big-endian file is not read
// at all. Names with characters outside ASCII give '?' for each.
std::vector<std::pair<std::string, std::string>> EncodingLosses(std::string_view bytes);

}  // namespace ardmon
