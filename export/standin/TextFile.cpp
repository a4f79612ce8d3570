#include "standin/TextFile.h"

#ifndef _WIN32  // ReplaceFileContent is in win32/ReplaceFile.cpp there
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

void AppendNumber(std::string& out, double value, xls::NumberFormat format) {
    char buffer[400];
    std::to_chars_result r;
    if (format == xls::NumberFormat::Fixed2)
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

std::string FormatCommaSeparated(const xls::Worksheet& sheet, std::uint32_t rows, std::uint32_t columns) {
    std::string out;
    for (std::uint32_t row = 0; row < rows; ++row) {
        for (std::uint32_t column = 0; column < columns; ++column) {
            if (column) out += ',';
            const xls::CellValue cell = sheet.CellAt(row, column);
            if (cell.kind == xls::CellKind::Number)
                AppendNumber(out, cell.number, sheet.NumberFormatAt(row, column));
            else if (cell.kind == xls::CellKind::Text)
                AppendText(out, cell.text);
        }
        out += "\r\n";
    }
    return out;
}

#ifndef _WIN32
bool ReplaceFileContent(const std::string& path, std::string_view content, std::string& error) {
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    std::string temp = folder + (slash == std::string::npos ? "/" : "") + ".ledgra-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error = "Cannot create a temporary file in " + folder + ": " + std::strerror(errno);
        return false;
    }
    bool ok = true;
    const char* p = content.data();
    std::size_t left = content.size();
    while (ok && left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (!ok) error = "Cannot write " + path + ": " + std::strerror(errno);
    struct stat existing {};
    const mode_t mask = [] {
        const mode_t m = ::umask(0);
        ::umask(m);
        return m;
    }();
    const mode_t mode = ::stat(path.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : (0666 & ~mask);
    if (ok && ::fchmod(fd, mode) != 0) {
        ok = false;
        error = "Cannot set the permissions of " + path + ": " + std::strerror(errno);
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = "Cannot write " + path + ": " + std::strerror(errno);
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        error = "Cannot replace " + path + ": " + std::strerror(errno);
    }
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

#endif

}  // namespace ledgra::standin
