#include "names.h"

#include <random>

namespace filesafe {

namespace {

constexpr std::string_view kTemporaryPrefix = ".~halvo-";
constexpr std::string_view kTemporaryEnd = ".tmp";
constexpr std::size_t kRandomLetters = 12;

#ifdef _WIN32
constexpr std::string_view kSeparators = "/\\";
#else
constexpr std::string_view kSeparators = "/";
#endif

std::string RandomLetters(std::size_t count) {
    thread_local std::mt19937_64 rng{std::random_device{}()};
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string s;
    for (std::size_t i = 0; i < count; ++i) s += letters[rng() % 36];
    return s;
}

// The longest prefix of text of at most bytes bytes that ends at a character
// boundary (UTF-8 continuation bytes are never split from their lead byte).
std::string_view CutAtCharacter(std::string_view text, std::size_t bytes) {
    if (text.size() <= bytes) return text;
    std::size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

}  // namespace

std::size_t NameStart(std::string_view path) {
    const std::size_t separator = path.find_last_of(kSeparators);
    return separator == std::string_view::npos ? 0 : separator + 1;
}

std::string TemporaryName() {
    return std::string(kTemporaryPrefix) + RandomLetters(kRandomLetters) + std::string(kTemporaryEnd);
}

bool IsTemporaryName(std::string_view name) {
    if (name.size() != kTemporaryPrefix.size() + kRandomLetters + kTemporaryEnd.size() ||
        !name.starts_with(kTemporaryPrefix) || !name.ends_with(kTemporaryEnd))
        return false;
    for (const char c : name.substr(kTemporaryPrefix.size(), kRandomLetters))
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
    return true;
}

bool IsDeviceName(std::string_view path) {
    std::string_view name = path.substr(NameStart(path));
    name = name.substr(0, name.find('.'));
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    std::string upper(name);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    for (const std::string_view device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (upper == device) return true;
    return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) && upper[3] >= '1' &&
           upper[3] <= '9';
}

std::string RecoveryName(const std::string& path, const std::string& suffix, int n) {
    const std::size_t nameStart = NameStart(path);
    const std::size_t dot = path.find_last_of('.');
    const std::size_t stemEnd = dot == std::string::npos || dot <= nameStart ? path.size() : dot;
    std::string tail = "-recovered";
    if (n > 1) tail.append("-").append(std::to_string(n));
    tail.append(suffix);
    const std::string_view stem(path.data() + nameStart, stemEnd - nameStart);
    const std::size_t room = kMaxNameBytes > tail.size() ? kMaxNameBytes - tail.size() : 0;
    return path.substr(0, nameStart) + std::string(CutAtCharacter(stem, room)) + tail;
}

}  // namespace filesafe
