// Feeds arbitrary bytes to the profile reader and the two split rules as a
// profile file, and checks the buffer contract of every read: nothing is
// written at or past the size, the list always ends in two NULs, the count of
// a list never exceeds size-2 and that of a string never exceeds size-1. A
// write followed by a read must give back what was written.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "parse_rules.h"
#include "private_profile.h"
#include "profile_cache.h"

namespace {

constexpr size_t kGuard = 16;
constexpr char kGuardByte = '\x5A';

void Check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "contract broken: %s\n", what);
        std::abort();
    }
}

struct Buffer {
    explicit Buffer(DWORD n) : size(n), bytes(n + kGuard, kGuardByte) {}
    char* data() { return bytes.data(); }
    void CheckGuard()
    {
        for (size_t i = size; i < bytes.size(); ++i)
            Check(bytes[i] == kGuardByte, "write past size");
    }
    DWORD size;
    std::vector<char> bytes;
};

void CheckList(Buffer& buf, DWORD result)
{
    buf.CheckGuard();
    if (buf.size < 2) return;
    Check(result <= buf.size - 2, "list count above size-2");
    Check(buf.bytes[result] == '\0', "closing NUL");
    // The NUL before it ends the last string; when the list was cut, the NUL
    // after it ends the buffer.
    Check((result == 0 && buf.bytes[1] == '\0') || (result > 0 && buf.bytes[result - 1] == '\0') ||
              (result == buf.size - 2 && buf.bytes[buf.size - 1] == '\0'),
          "second closing NUL");
}

std::string TempPath()
{
    // In memory where the system has a folder for it: flushing a file there
    // costs nothing, so the fuzzer runs many times faster.
    static const std::string folder = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    static const std::string path = folder + "/fuzz_profile-" + std::to_string(::getpid()) + ".ini";
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    if (size < 2) return 0;
    const DWORD small = 1 + data[0] % 48;  // sizes that cut lists often
    const DWORD key_size = 1 + data[1] % 16;
    const std::string path = TempPath();
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr) return 0;
        std::fwrite(data + 2, 1, size - 2, f);
        std::fclose(f);
    }
    ardmon::profile::SharedProfileCache().Clear();

    // The split rules on the raw bytes: every piece lies inside the buffer,
    // names are never empty, and neither holds a NUL; keys hold no '='.
    const char* raw = reinterpret_cast<const char*>(data + 2);
    const size_t raw_size = size - 2;
    auto inside = [&](std::string_view piece) {
        return piece.data() >= raw && piece.data() + piece.size() <= raw + raw_size;
    };
    ardmon::SplitSectionNames(raw, raw_size, [&](std::string_view name) {
        Check(inside(name) && !name.empty() && name.find('\0') == std::string_view::npos, "raw name");
    });
    ardmon::SplitSectionEntries(raw, raw_size, [&](std::string_view key, std::string_view value) {
        Check(inside(key) && inside(value), "raw entry outside the buffer");
        Check(key.find('=') == std::string_view::npos && key.find('\0') == std::string_view::npos &&
                  value.find('\0') == std::string_view::npos,
              "raw entry");
    });

    Buffer cut_names(small);
    CheckList(cut_names, GetPrivateProfileSectionNamesA(cut_names.data(), small, path.c_str()));

    Buffer names(5000);
    DWORD names_length = GetPrivateProfileSectionNamesA(names.data(), 5000, path.c_str());
    CheckList(names, names_length);
    ardmon::SplitSectionNames(names.data(), names_length, [&](std::string_view name) {
        Check(!name.empty() && name.find('\0') == std::string_view::npos, "name");
        const std::string section(name);
        Buffer cut(small);
        CheckList(cut, GetPrivateProfileSectionA(section.c_str(), cut.data(), small, path.c_str()));
        Buffer content(16000);
        DWORD length = GetPrivateProfileSectionA(section.c_str(), content.data(), 16000, path.c_str());
        CheckList(content, length);
        ardmon::SplitSectionEntries(
            content.data(), length, [&](std::string_view key, std::string_view value) {
                Check(key.find('=') == std::string_view::npos, "key with '='");
                Check(value.find('\0') == std::string_view::npos, "value with NUL");
                const std::string k(key);
                Buffer text(key_size);
                DWORD n = GetPrivateProfileStringA(section.c_str(), k.c_str(), "d", text.data(), key_size,
                                                   path.c_str());
                text.CheckGuard();
                Check(n <= key_size - 1 && text.bytes[n] == '\0', "string count");
            });
    });

    // A write reads back, and the sections before it are still listed.
    Check(WritePrivateProfileStringA("fz", "k", "v1", path.c_str()) == 1, "write refused");
    Buffer back(16);
    GetPrivateProfileStringA("fz", "k", "", back.data(), 16, path.c_str());
    Check(std::strcmp(back.data(), "v1") == 0, "write did not read back");
    Buffer after(5000);
    DWORD after_length = GetPrivateProfileSectionNamesA(after.data(), 5000, path.c_str());
    CheckList(after, after_length);
    if (names_length < 4998 && after_length < 4998) {
        Check(after_length >= names_length && std::memcmp(after.data(), names.data(), names_length) == 0,
              "sections lost by a write");
    }
    return 0;
}
