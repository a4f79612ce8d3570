#include "profile_parser.h"

#include <cstring>

namespace ardmon::profile {
namespace {

// Trims blanks at both ends, then cuts at the first NUL and trims again.
Span Clean(std::string_view text, size_t begin, size_t end)
{
    while (begin < end && IsProfileBlank(text[begin]))
        ++begin;
    while (end > begin && IsProfileBlank(text[end - 1]))
        --end;
    const void* nul = std::memchr(text.data() + begin, '\0', end - begin);
    if (nul != nullptr) {
        end = static_cast<size_t>(static_cast<const char*>(nul) - text.data());
        while (end > begin && IsProfileBlank(text[end - 1]))
            --end;
    }
    return {begin, end};
}

size_t Find(std::string_view text, char c, size_t begin, size_t end)
{
    const void* hit = std::memchr(text.data() + begin, c, end - begin);
    return hit == nullptr ? end : static_cast<size_t>(static_cast<const char*>(hit) - text.data());
}

}  // namespace

void ParseProfileText(std::string_view text, ParseHandler& handler)
{
    const size_t size = text.size();
    bool in_section = false;
    size_t pos = 0;
    while (pos < size) {
        LineInfo line;
        line.begin = pos;
        size_t end = pos;
        while (end < size && text[end] != '\r' && text[end] != '\n')
            ++end;
        line.end = end;
        if (end < size) {
            line.next = end + 1;
            if (text[end] == '\r' && end + 1 < size && text[end + 1] == '\n') line.next = end + 2;
        } else {
            line.next = end;
        }
        pos = line.next;

        size_t first = line.begin;
        while (first < line.end && IsProfileBlank(text[first]))
            ++first;
        if (first == line.end) continue;  // blank line
        const char lead = text[first];
        if (lead == '[') {
            size_t close = Find(text, ']', first + 1, line.end);
            in_section = true;
            handler.OnSection(line, Clean(text, first + 1, close));
            continue;
        }
        if (lead == ';' || !in_section) continue;
        size_t equals = Find(text, '=', first, line.end);
        if (equals == line.end) {
            handler.OnBareLine(line, Clean(text, first, line.end));
        } else {
            handler.OnEntry(line, Clean(text, first, equals), Clean(text, equals + 1, line.end), equals);
        }
    }
}

}  // namespace ardmon::profile
