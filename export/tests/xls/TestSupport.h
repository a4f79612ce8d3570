// Helpers for the workbook writer's tests: temporary folders, running the
// reader script, reading files.
#pragma once

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace xlstest {

// A fresh folder, removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "xlstest.XXXXXX").string();
        path_ = mkdtemp(tmpl.data());
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFile(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
}

// Runs a command and returns its standard output.
inline std::string Run(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[65536];
        std::size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        pclose(p);
    }
    return out;
}

// What the reader script prints for `mode` ("cells", "summary", "gnumeric", "ole").
inline std::string Check(const std::string& mode, const std::string& path) {
    return Run("/usr/bin/python3 " XLS_CHECKER " " + mode + " '" + path + "' 2>&1");
}

// Files in a folder, by name.
inline std::string Listing(const std::string& dir) {
    std::string names;
    std::vector<std::string> v;
    for (const auto& e : std::filesystem::directory_iterator(dir)) v.push_back(e.path().filename().string());
    std::sort(v.begin(), v.end());
    for (const auto& n : v) names += n + "\n";
    return names;
}

}  // namespace xlstest
