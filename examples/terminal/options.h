// The terminal's options. A person starts it with none (Ardmon does, too); the
// unattended export exists for scripts and the end-to-end test, which reach a
// terminal started by Ardmon through the environment instead of the command line.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace terminal {

struct Options {
    int rows = 200'000;          // --rows N, HALVO_TERMINAL_ROWS
    std::string exportWorkbook;  // --export-workbook PATH, HALVO_TERMINAL_EXPORT_WORKBOOK
    std::string exportText;      // --export-text PATH, HALVO_TERMINAL_EXPORT_TEXT
    std::string report;          // --report FILE, HALVO_TERMINAL_REPORT
    bool hold = false;           // --hold, HALVO_TERMINAL_HOLD=1: stay open after the export

    bool unattended() const { return !exportWorkbook.empty() || !exportText.empty(); }
};

inline constexpr int kMaxRows = 10'000'000;

// Reads the environment first, then the command line, which wins. getenv is
// the lookup (a seam for tests). On a bad option, returns nothing and sets error.
std::optional<Options> ParseOptions(const std::vector<std::string>& args,
                                    const std::function<const char*(const char*)>& getenv,
                                    std::string& error);

const char* Usage();

}  // namespace terminal
