#include "parse_rules.h"

#include <algorithm>

namespace ardmon {
namespace {

// The name of the section a header line gives, or false when the line is no header.
bool HeaderName(std::string_view line, std::string& name)
{
    const size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos || line[start] != '[') return false;
    const size_t end = line.find(']', start);
    if (end == std::string_view::npos) return false;
    name.assign(line.substr(start + 1, end - start - 1));
    return true;
}

// The text of UTF-16 big-endian bytes, one character per code unit ('?' for
// what is not ASCII).
std::string NarrowBigEndian(std::string_view bytes)
{
    std::string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const unsigned unit =
            static_cast<unsigned char>(bytes[i]) << 8 | static_cast<unsigned char>(bytes[i + 1]);
        text += unit < 0x80 ? static_cast<char>(unit) : '?';
    }
    return text;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> EncodingLosses(std::string_view bytes)
{
    std::vector<std::pair<std::string, std::string>> losses;
    std::string name;
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        const std::string_view first = bytes.substr(3, bytes.find_first_of("\r\n") - 3);
        if (HeaderName(first, name)) losses.emplace_back(name, "");
    } else if (bytes.starts_with("\xFE\xFF")) {
        const std::string text = NarrowBigEndian(bytes.substr(2));
        for (size_t at = 0; at < text.size();) {
            const size_t end = std::min(text.find_first_of("\r\n", at), text.size());
            if (HeaderName(std::string_view(text).substr(at, end - at), name)) losses.emplace_back(name, "");
            at = end + 1;
        }
    }
    return losses;
}

}  // namespace ardmon
