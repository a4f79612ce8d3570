#include "profile_parser.h"

#include <algorithm>
#include <array>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace ardmon::profile {
namespace {

// What a byte means to the line reader.
enum : unsigned char { kPlain, kBreak, kEquals, kClose, kNul };

constexpr std::array<unsigned char, 256> MakeClassTable()
{
    std::array<unsigned char, 256> t{};
    t['\r'] = t['\n'] = kBreak;
    t['='] = kEquals;
    t[']'] = kClose;
    t['\0'] = kNul;
    return t;
}
constexpr std::array<unsigned char, 256> kClass = MakeClassTable();

// One line, read once: where it ends and where its first '=' and first ']'
// are (at end when there is none), and whether it holds a NUL.
struct LineScan {
    size_t end;
    size_t equals;
    size_t close;
    bool nul = false;
};

#ifdef __SSE2__
// The bytes of 16 that equal c, as bits.
unsigned Matches(__m128i bytes, char c)
{
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(c))));
}
#endif

LineScan ScanLine(std::string_view text, size_t pos)
{
    const size_t size = text.size();
    size_t equals = std::string_view::npos, close = std::string_view::npos;
    bool nul = false;
#ifdef __SSE2__
    // 16 bytes at a time while they lie within the text; the rest one by one.
    for (; pos + 16 <= size; pos += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + pos));
        const unsigned breaks = Matches(bytes, '\r') | Matches(bytes, '\n');
        const unsigned before = breaks != 0 ? (1u << __builtin_ctz(breaks)) - 1 : 0xFFFFu;
        const unsigned eq = Matches(bytes, '=') & before, cl = Matches(bytes, ']') & before;
        if (eq != 0 && equals == std::string_view::npos) equals = pos + __builtin_ctz(eq);
        if (cl != 0 && close == std::string_view::npos) close = pos + __builtin_ctz(cl);
        nul |= (Matches(bytes, '\0') & before) != 0;
        if (breaks != 0) {
            pos += __builtin_ctz(breaks);
            return {pos, std::min(equals, pos), std::min(close, pos), nul};
        }
    }
#endif
    for (; pos < size; ++pos) {
        const unsigned char c = kClass[static_cast<unsigned char>(text[pos])];
        if (c == kPlain) continue;
        if (c == kBreak) break;
        if (c == kEquals && equals == std::string_view::npos) equals = pos;
        if (c == kClose && close == std::string_view::npos) close = pos;
        nul |= c == kNul;
    }
    return {pos, std::min(equals, pos), std::min(close, pos), nul};
}

// Trims blanks at both ends, then (when the line holds a NUL) cuts at the
// first NUL and trims again.
Span Clean(std::string_view text, size_t begin, size_t end, bool nul)
{
    while (begin < end && IsProfileBlank(text[begin]))
        ++begin;
    while (end > begin && IsProfileBlank(text[end - 1]))
        --end;
    const void* cut = nul ? std::memchr(text.data() + begin, '\0', end - begin) : nullptr;
    if (cut != nullptr) {
        end = static_cast<size_t>(static_cast<const char*>(cut) - text.data());
        while (end > begin && IsProfileBlank(text[end - 1]))
            --end;
    }
    return {begin, end};
}

// Reads the lines from pos on; with one_entry it stops after the first key
// line. Returns where it stopped.
size_t ParseLines(std::string_view text, size_t pos, bool in_section, ParseHandler& handler, bool one_entry)
{
    const size_t size = text.size();
    while (pos < size) {
        const LineScan scan = ScanLine(text, pos);
        LineInfo line;
        line.begin = pos;
        line.end = scan.end;
        line.next = scan.end;
        if (scan.end < size) {
            line.next = scan.end + 1;
            if (text[scan.end] == '\r' && scan.end + 1 < size && text[scan.end + 1] == '\n')
                line.next = scan.end + 2;
        }
        pos = line.next;

        size_t first = line.begin;
        while (first < line.end && IsProfileBlank(text[first]))
            ++first;
        if (first == line.end) continue;  // blank line
        const char lead = text[first];
        if (lead == '[') {
            // Only blanks come before the '[', so the line's first ']' closes it.
            in_section = true;
            handler.OnSection(line, Clean(text, first + 1, scan.close, scan.nul));
            continue;
        }
        if (lead == ';' || !in_section) continue;
        if (scan.equals == line.end) {
            handler.OnBareLine(line, Clean(text, first, line.end, scan.nul));
        } else {
            handler.OnEntry(line, Clean(text, first, scan.equals, scan.nul),
                            Clean(text, scan.equals + 1, line.end, scan.nul), scan.equals);
            if (one_entry) break;
        }
    }
    return pos;
}

}  // namespace

void ParseProfileText(std::string_view text, ParseHandler& handler)
{
    ParseLines(text, 0, false, handler, false);
}

void ParseSectionLines(std::string_view text, size_t begin, size_t end, ParseHandler& handler)
{
    ParseLines(text.substr(0, end), begin, true, handler, false);
}

size_t ParseNextKeyLine(std::string_view text, size_t begin, size_t end, ParseHandler& handler)
{
    return ParseLines(text.substr(0, end), begin, true, handler, true);
}

}  // namespace ardmon::profile
