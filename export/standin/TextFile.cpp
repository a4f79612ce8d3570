#include "standin/TextFile.h"

#include <charconv>
#include <cmath>

namespace ledgra::standin {

namespace {

bool ParseWholeNumber(std::string_view field, double& value) {
    std::size_t b = 0, e = field.size();
    while (b < e && (field[b] == ' ' || field[b] == '\t')) ++b;
    while (e > b && (field[e - 1] == ' ' || field[e - 1] == '\t')) --e;
    if (b < e && field[b] == '+') ++b;
    if (b == e) return false;
    const char* first = field.data() + b;
    const char* last = field.data() + e;
    auto [end, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && end == last && std::isfinite(value);
}

void PutField(xls::Worksheet& sheet, std::uint32_t row, std::uint32_t column, std::string_view field,
              bool quoted) {
    if (field.empty()) return;
    double number = 0;
    if (!quoted && ParseWholeNumber(field, number))
        sheet.SetNumber(row, column, number);
    else
        sheet.SetText(row, column, field);
}

void AppendNumber(std::string& out, double value, xls::NumberFormat format, NumberText numbers) {
    char buffer[400];
    std::to_chars_result r;
    if (numbers == NumberText::Exact)
        r = std::to_chars(buffer, buffer + sizeof buffer, value);
    else if (format == xls::NumberFormat::Fixed2)
        r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
    else
        r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    if (r.ec == std::errc()) out.append(buffer, r.ptr);
}

void AppendText(std::string& out, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out.append(text);
        return;
    }
    out += '"';
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace

bool LooksLikeWorkbookFile(std::string_view content) {
    static constexpr char kCompoundFile[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
    static constexpr char kZip[] = "PK\x03\x04";
    return content.substr(0, 8) == std::string_view(kCompoundFile, 8) ||
           content.substr(0, 4) == std::string_view(kZip, 4);
}

void ReadCommaSeparated(std::string_view content, xls::Worksheet& sheet, std::uint32_t& rows,
                        std::uint32_t& columns) {
    rows = 0;
    columns = 0;
    std::uint32_t row = 0, column = 0;
    std::string field;
    bool quoted = false;
    bool lineHasContent = false;
    std::size_t i = 0;
    auto endField = [&] {
        PutField(sheet, row, column, field, quoted);
        if (!field.empty() || quoted) {
            if (column + 1 > columns) columns = column + 1;
        }
        field.clear();
        quoted = false;
    };
    auto endLine = [&] {
        endField();
        ++row;
        rows = row;
        column = 0;
        lineHasContent = false;
    };
    while (i < content.size()) {
        const char c = content[i];
        if (c == '"' && field.empty() && !quoted) {
            // A quoted field: up to the closing quote, "" standing for one quote.
            quoted = true;
            lineHasContent = true;
            ++i;
            while (i < content.size()) {
                if (content[i] == '"') {
                    if (i + 1 < content.size() && content[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += content[i++];
            }
            continue;
        }
        if (c == ',') {
            endField();
            ++column;
            lineHasContent = true;
            ++i;
        } else if (c == '\r' || c == '\n') {
            endLine();
            i += (c == '\r' && i + 1 < content.size() && content[i + 1] == '\n') ? 2 : 1;
        } else {
            field += c;
            lineHasContent = true;
            ++i;
        }
    }
    if (lineHasContent) endLine();
}

std::string FormatCommaSeparated(const xls::Worksheet& sheet, std::uint32_t rows, std::uint32_t columns,
                                 NumberText numbers, const WholeTexts* whole) {
    std::string out;
    for (std::uint32_t row = 0; row < rows; ++row) {
        for (std::uint32_t column = 0; column < columns; ++column) {
            if (column) out += ',';
            const xls::CellValue cell = sheet.CellAt(row, column);
            if (cell.kind == xls::CellKind::Number)
                AppendNumber(out, cell.number, sheet.NumberFormatAt(row, column), numbers);
            else if (cell.kind != xls::CellKind::Text)
                continue;
            else if (const auto it = whole ? whole->find(std::uint64_t{row} << 32 | column)
                                           : WholeTexts::const_iterator();
                     whole && it != whole->end())
                AppendText(out, it->second);
            else
                AppendText(out, cell.text);
        }
        out += "\r\n";
    }
    return out;
}

}  // namespace ledgra::standin
