#include "fileio/Names.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <cstdint>
#include <cstdio>
#include <random>

namespace ledgra::fileio {

namespace {

constexpr std::string_view kTemporaryPrefix = ".~ledgra-";

#ifdef _WIN32
constexpr std::string_view kSeparators = "/\\";
#else
constexpr std::string_view kSeparators = "/";
#endif

std::string ComputerName() {
    char name[256] = "";
#ifdef _WIN32
    DWORD size = sizeof name;
    if (!GetComputerNameA(name, &size)) return std::string();
#else
    if (::gethostname(name, sizeof name - 1) != 0) return std::string();
#endif
    return name;
}

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

std::string HostTag() {
    std::uint32_t hash = 2166136261u;  // FNV-1a
    for (const char c : ComputerName()) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    char tag[9];
    std::snprintf(tag, sizeof tag, "%08x", static_cast<unsigned>(hash));
    return tag;
}

std::string TemporaryName(unsigned long pid) {
    return std::string(kTemporaryPrefix) + HostTag() + "-" + std::to_string(pid) + "-" + RandomLetters(6);
}

bool IsTemporaryName(std::string_view name, unsigned long& pid) {
    if (name.substr(0, kTemporaryPrefix.size()) != kTemporaryPrefix) return false;
    name.remove_prefix(kTemporaryPrefix.size());
    const std::string host = HostTag();
    if (name.substr(0, host.size()) != host || name.size() < host.size() + 1 || name[host.size()] != '-')
        return false;
    name.remove_prefix(host.size() + 1);
    const std::size_t dash = name.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash > 10 || name.size() - dash - 1 != 6) return false;
    unsigned long value = 0;
    for (const char c : name.substr(0, dash)) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    for (const char c : name.substr(dash + 1))
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
    pid = value;
    return true;
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

}  // namespace ledgra::fileio
