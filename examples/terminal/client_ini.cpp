#include "client_ini.h"

#include <algorithm>
#include <cctype>
#include <fstream>

namespace terminal {
namespace {

std::string Trim(const std::string& s) {
    const auto isSpace = [](unsigned char c) { return std::isspace(c) != 0; };
    auto b = std::find_if_not(s.begin(), s.end(), isSpace);
    auto e = std::find_if_not(s.rbegin(), s.rend(), isSpace).base();
    return b < e ? std::string(b, e) : std::string();
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

}  // namespace

std::optional<std::string> ReadIniValue(const std::string& path, const std::string& section,
                                        const std::string& key) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    const std::string wantSection = Trim(section);
    const std::string wantKey = Trim(key);
    bool inSection = false;
    std::string line;
    while (std::getline(in, line)) {
        const std::string t = Trim(line);  // also drops a CR of CR LF files
        if (t.empty() || t[0] == ';') continue;
        if (t[0] == '[') {
            const auto close = t.find(']');
            if (close == std::string::npos) continue;
            const bool match = SameName(Trim(t.substr(1, close - 1)), wantSection);
            // Only the first section of that name counts.
            if (inSection && !match) return std::nullopt;
            inSection = match;
            continue;
        }
        if (!inSection) continue;
        const auto eq = t.find('=');
        if (eq == std::string::npos) continue;
        if (SameName(Trim(t.substr(0, eq)), wantKey)) return Trim(t.substr(eq + 1));
    }
    return std::nullopt;
}

LoadRecord ReadLoadRecord(const std::string& clientIniPath) {
    LoadRecord r;
    r.fileFound = static_cast<bool>(std::ifstream(clientIniPath, std::ios::binary));
    if (!r.fileFound) return r;
    r.lastLoadedFile = ReadIniValue(clientIniPath, "HALVO_LAUNCHER", "Last Loaded File");
    r.time = ReadIniValue(clientIniPath, "HALVO_LAUNCHER", "Time");
    return r;
}

std::string DescribeLoadRecord(const LoadRecord& r) {
    if (!r.fileFound) return "No halvoclient.ini in this folder: no environment loaded";
    if (!r.lastLoadedFile) return "No environment loaded yet (start the terminal from Ardmon)";
    std::string s = "Environment: " + *r.lastLoadedFile;
    if (r.time) s += " (loaded " + *r.time + ")";
    return s;
}

}  // namespace terminal
