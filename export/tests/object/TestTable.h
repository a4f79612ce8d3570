// A table for the export tests: cell texts from a grid, and a log of every
// callback call with the values the writer passed in.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace ledgra::test {

struct CellCall {
    int row;
    int column;
    std::string textBefore;  // what the writer's text held when it called
    int typeBefore;
    bool operator==(const CellCall&) const = default;
};

struct TestTable {
    // rows[r][c] is the text of callback row r + 1 (the text export starts at row 1).
    std::vector<std::vector<std::string>> rows;
    // When set, the callback leaves the text alone for cells whose text is this.
    std::string leaveAlone = "\x01";
    std::vector<CellCall> calls;
    std::filesystem::path mustExist;  // checked at the first call

    bool fileExistedAtFirstCall = false;

    static int Callback(void* user, int row, int column, std::string& text, int* type) {
        auto* self = static_cast<TestTable*>(user);
        if (self->calls.empty() && !self->mustExist.empty())
            self->fileExistedAtFirstCall = std::filesystem::exists(self->mustExist);
        self->calls.push_back({row, column, text, *type});
        const std::string& cell =
            self->rows.at(static_cast<std::size_t>(row - 1)).at(static_cast<std::size_t>(column));
        if (cell != self->leaveAlone) text = cell;
        *type = 99;  // the text export ignores it
        return 12345;
    }
};

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// A fresh folder below the system's temporary folder, removed at the end.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "ledgra-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

}  // namespace ledgra::test
