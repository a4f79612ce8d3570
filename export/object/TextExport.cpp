#include "object/TextExport.h"

#include <cstring>

namespace ledgra {

bool NeedsQuotes(std::string_view text) {
    if (text.empty()) return false;
    if (text.front() == '"') return true;
    for (const char c : text)
        if (c == ',' || c == '\n' || c == '\r') return true;
    return false;
}

void AppendField(std::string& out, std::string_view text) {
    if (!NeedsQuotes(text)) {
        out.append(text);
        return;
    }
    out += '"';
    for (;;) {
        const std::size_t quote = text.find('"');
        if (quote == std::string_view::npos) break;
        out.append(text.substr(0, quote + 1));
        out += '"';
        text.remove_prefix(quote + 1);
    }
    out.append(text);
    out += '"';
}

void AppendRow(ColumnTextRtn fn, void* userData, int row, int columns, std::string& cellText,
               std::string& out) {
    for (int column = 0; column < columns; ++column) {
        int type = -1;
        fn(userData, row, column, cellText, &type);
        if (column != 0) out += ',';
        AppendField(out, cellText);
    }
    out.append("\r\n", 2);
}

bool WriteAll(std::FILE* file, std::string_view text) {
    if (text.empty()) return true;
    return std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

bool CloseFile(std::FILE* file) { return std::fclose(file) == 0; }

}  // namespace ledgra
