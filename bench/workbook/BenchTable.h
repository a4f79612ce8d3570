// The table both workbook benchmarks export: 131070 rows x 10 mixed columns
// (three sheets), with the cell texts a quick calling program would format.
#pragma once

#include <ledgra/LedgraInteraction.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

namespace ledgra::bench {

constexpr int kColumns = 10;
constexpr int kPerSheet = 65534;
// Type codes: text, price "0.00", category "@", int, amount "0.00", account
// "@", long, name "General", rate "0.00", flag (no code: string).
constexpr int kCodes[kColumns] = {3, 2, 3, 1, 2, 3, 4, 10, 2, -1};
const char* const kHeaders[kColumns] = {"Order",   "Price", "Side",   "Qty",  "Amount",
                                        "Account", "Time",  "Client", "Rate", "Flag"};
const char* const kSides[] = {"Buy", "Sell", "Hold", "Void"};

// The calling program's cell texts, formatted the way a quick caller would.
inline char* Unsigned(char* out, unsigned value) { return std::to_chars(out, out + 12, value).ptr; }

inline int CellText(void*, int row, int column, std::string& text, int* type) {
    if (row == 0) {
        text = kHeaders[column];
        *type = kCodes[column];
        return 0;
    }
    char buffer[40];
    char* end = buffer;
    const unsigned q = static_cast<unsigned>(row);
    switch (column) {
        case 0:  // ORD00000042
            std::memcpy(buffer, "ORD00000000", 11);
            for (unsigned v = q, i = 10; v != 0 && i > 2; v /= 10, --i)
                buffer[i] = static_cast<char>('0' + v % 10);
            end = buffer + 11;
            break;
        case 1:  // price with two decimals
            end = Unsigned(buffer, q % 1000 + 1);
            *end++ = '.';
            *end++ = static_cast<char>('0' + q % 100 / 10);
            *end++ = static_cast<char>('0' + q % 10);
            break;
        case 2:
            text = kSides[q % 4];
            return 0;
        case 3:
            end = Unsigned(buffer, q * 7 % 100000);
            break;
        case 4:
            end = std::to_chars(buffer, buffer + sizeof buffer, q * 0.37 + 0.001, std::chars_format::fixed, 3)
                      .ptr;
            break;
        case 5:  // account 00042
            std::memcpy(buffer, "00000", 5);
            for (unsigned v = q % 1000, i = 4; v != 0; v /= 10, --i)
                buffer[i] = static_cast<char>('0' + v % 10);
            end = buffer + 5;
            break;
        case 6:
            end = Unsigned(buffer, 1700000000u + q);
            break;
        case 7:
            std::memcpy(buffer, "Client ", 7);
            end = Unsigned(buffer + 7, q % 5000);
            break;
        case 8:
            end = Unsigned(buffer, q % 977);
            *end++ = '.';
            *end++ = '5';
            break;
        default:
            text = q % 3 ? (q % 2 ? "Fill" : "Kill") : "";
            return 0;
    }
    text.assign(buffer, end);
    return 0;
}

}  // namespace ledgra::bench
