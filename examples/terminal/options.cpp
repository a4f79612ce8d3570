#include "options.h"

#include <charconv>

namespace terminal {
namespace {

bool ParseRows(const std::string& text, int& rows) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || value < 0 || value > kMaxRows) return false;
    rows = value;
    return true;
}

}  // namespace

const char* Usage() {
    return "usage: halvo-terminal [--rows N] [--export-workbook PATH | --export-text PATH]\n"
           "                      [--report FILE] [--hold]\n"
           "Without options it shows the blotter and waits for the user. With an export\n"
           "option it exports the blotter to PATH without asking, writes the result to\n"
           "FILE (and standard error) and exits (with --hold it stays open).\n"
           "The same settings come from HALVO_TERMINAL_ROWS, HALVO_TERMINAL_EXPORT_WORKBOOK,\n"
           "HALVO_TERMINAL_EXPORT_TEXT, HALVO_TERMINAL_REPORT and HALVO_TERMINAL_HOLD=1.\n";
}

std::optional<Options> ParseOptions(const std::vector<std::string>& args,
                                    const std::function<const char*(const char*)>& getenv,
                                    std::string& error) {
    Options o;
    const auto env = [&](const char* name) -> std::string {
        const char* v = getenv(name);
        return v ? v : "";
    };
    if (const std::string rows = env("HALVO_TERMINAL_ROWS"); !rows.empty()) {
        if (!ParseRows(rows, o.rows)) {
            error = "HALVO_TERMINAL_ROWS must be a number from 0 to 10000000";
            return std::nullopt;
        }
    }
    o.exportWorkbook = env("HALVO_TERMINAL_EXPORT_WORKBOOK");
    o.exportText = env("HALVO_TERMINAL_EXPORT_TEXT");
    o.report = env("HALVO_TERMINAL_REPORT");
    o.hold = env("HALVO_TERMINAL_HOLD") == "1";

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto value = [&](std::string& out) {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                error = a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string v;
        if (a == "--rows") {
            if (!value(v)) return std::nullopt;
            if (!ParseRows(v, o.rows)) {
                error = "--rows must be a number from 0 to 10000000";
                return std::nullopt;
            }
        } else if (a == "--export-workbook") {
            if (!value(o.exportWorkbook)) return std::nullopt;
        } else if (a == "--export-text") {
            if (!value(o.exportText)) return std::nullopt;
        } else if (a == "--report") {
            if (!value(o.report)) return std::nullopt;
        } else if (a == "--hold") {
            o.hold = true;
        } else {
            error = "unknown option " + a;
            return std::nullopt;
        }
    }
    if (!o.exportWorkbook.empty() && !o.exportText.empty()) {
        error = "choose one of --export-workbook and --export-text";
        return std::nullopt;
    }
    return o;
}

}  // namespace terminal
