// The demo terminal's blotter: a day of generated trades. Nothing is stored;
// every cell is computed from the row index, so 200,000 rows cost nothing.
#pragma once

#include <cstdint>
#include <string>

namespace terminal {

enum BlotterColumn : int { kInstrument, kSide, kQuantity, kPrice, kValue, kStatus, kTime, kColumnCount };

// One generated trade. Prices and values are held in cents so the texts are exact.
struct Trade {
    std::string instrument;
    bool buy = true;
    std::int64_t quantity = 0;
    std::int64_t priceCents = 0;
    std::int64_t valueCents = 0;
    std::string status;
    std::int64_t timeMillis = 0;  // since midnight
};

// The trade at index (0-based). The same index always gives the same trade.
Trade MakeTrade(std::int64_t index);

// Column titles as the list header and the exported header row show them.
const char* ColumnTitle(int column);

// The text of one cell as the blotter shows it and the exports write it.
std::string CellText(const Trade& trade, int column);
std::string CellText(std::int64_t index, int column);

// Ledgra's type code for a column, reported with the header row: quantity 1
// (integer), price and value 2 ("0.00"), instrument and time 3 (text, "@"),
// side and status 10 ("General").
int ColumnTypeCode(int column);

// An amount in cents as "12345.67" ("-0.05" for minus five cents).
std::string FormatCents(std::int64_t cents);

}  // namespace terminal
