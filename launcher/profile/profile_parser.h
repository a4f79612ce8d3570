// The line reader of profile files. Like inih it stores nothing: it walks the
// text once and calls back for every line that means something, with offsets
// into the text so that an editor can keep every other byte.
//
// It reads as Windows reads:
// - a line ends at CR, LF or CRLF; blank lines mean nothing;
// - space, tab and vertical tab around a line, a name, a key or a value are
//   not part of it;
// - a line whose first non-blank character is '[' is a section header; the
//   name ends at the first ']' or, when there is none, at the end of the line;
//   text after the ']' is ignored;
// - a line whose first non-blank character is ';' is a comment ('#' is not);
// - a key line has the key before its first '=' and the value after it;
// - any other line is a bare line, which a section read returns as it stands;
// - lines before the first section header belong to no section and are never
//   reported;
// - a NUL byte ends a name, key or value (the rest of that item is not seen),
//   but the line goes on to its line break.
#pragma once

#include <cstddef>
#include <string_view>

namespace ardmon::profile {

struct Span {
    size_t begin = 0;
    size_t end = 0;
    size_t size() const { return end - begin; }
};

struct LineInfo {
    size_t begin = 0;  // first character of the line
    size_t end = 0;    // just before the line break
    size_t next = 0;   // just after the line break (== end on a last line without one)
};

class ParseHandler {
public:
    virtual ~ParseHandler() = default;
    virtual void OnSection(const LineInfo& line, Span name) = 0;
    // equals is the offset of the '=' that splits the line.
    virtual void OnEntry(const LineInfo& line, Span key, Span value, size_t equals) = 0;
    virtual void OnBareLine(const LineInfo& line, Span text) = 0;
};

void ParseProfileText(std::string_view text, ParseHandler& handler);

// The lines of [begin, end) of text, read as lines within a section: begin
// is a line's start, end the start of the line after the last.
void ParseSectionLines(std::string_view text, size_t begin, size_t end, ParseHandler& handler);
// The same up to and including the first key line; returns where the line
// after it starts (end when there is none).
size_t ParseNextKeyLine(std::string_view text, size_t begin, size_t end, ParseHandler& handler);

inline bool IsProfileBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v';
}

}  // namespace ardmon::profile
