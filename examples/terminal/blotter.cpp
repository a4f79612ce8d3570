#include "blotter.h"

#include <array>
#include <cstdio>

namespace terminal {
namespace {

struct Instrument {
    const char* code;
    std::int64_t basePriceCents;
};

// Made-up listings of a made-up exchange.
constexpr std::array<Instrument, 12> kInstruments{{
    {"ARDX.HV", 4'215},
    {"BRNL.HV", 18'990},
    {"CVTA.HV", 732},
    {"DLMR.HV", 45'010},
    {"EKON.HV", 2'877},
    {"FJRD.HV", 9'340},
    {"GALV 4.25 31", 10'162},
    {"HMST.HV", 1'205},
    {"IVRN.HV", 27'450},
    {"JUNO-F MAR", 512'300},
    {"KLPA.HV", 6'604},
    {"LUMA.HV", 15'118},
}};

constexpr std::array<const char*, 5> kStatuses{"Filled", "Filled", "Partially Filled", "New", "Cancelled"};

// splitmix64: a well-mixed value per index, so neighbouring rows differ.
std::uint64_t Mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

}  // namespace

Trade MakeTrade(std::int64_t index) {
    const std::uint64_t h = Mix(static_cast<std::uint64_t>(index));
    const Instrument& inst = kInstruments[h % kInstruments.size()];
    Trade t;
    t.instrument = inst.code;
    t.buy = ((h >> 8) & 1) == 0;
    t.quantity = static_cast<std::int64_t>(((h >> 9) % 500) + 1) * 100;
    // Within +-5% of the listing's base price, to the cent.
    const std::int64_t spread = inst.basePriceCents / 20 + 1;
    t.priceCents = inst.basePriceCents - spread +
                   static_cast<std::int64_t>((h >> 20) % static_cast<std::uint64_t>(2 * spread + 1));
    t.valueCents = t.quantity * t.priceCents;
    t.status = kStatuses[(h >> 40) % kStatuses.size()];
    // One trade every 150 ms from 08:00:00.000, wrapping at midnight.
    t.timeMillis = (8LL * 3600 * 1000 + index * 150) % (24LL * 3600 * 1000);
    return t;
}

const char* ColumnTitle(int column) {
    switch (column) {
        case kInstrument:
            return "Instrument";
        case kSide:
            return "Side";
        case kQuantity:
            return "Quantity";
        case kPrice:
            return "Price";
        case kValue:
            return "Value";
        case kStatus:
            return "Status";
        case kTime:
            return "Time";
        default:
            return "";
    }
}

int ColumnTypeCode(int column) {
    switch (column) {
        case kQuantity:
            return 1;
        case kPrice:
        case kValue:
            return 2;
        case kInstrument:
        case kTime:
            return 3;
        case kSide:
        case kStatus:
            return 10;
        default:
            return -1;
    }
}

std::string FormatCents(std::int64_t cents) {
    const bool negative = cents < 0;
    const std::uint64_t v =
        negative ? 0 - static_cast<std::uint64_t>(cents) : static_cast<std::uint64_t>(cents);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%llu.%02llu", negative ? "-" : "",
                  static_cast<unsigned long long>(v / 100), static_cast<unsigned long long>(v % 100));
    return buf;
}

std::string CellText(const Trade& t, int column) {
    switch (column) {
        case kInstrument:
            return t.instrument;
        case kSide:
            return t.buy ? "BUY" : "SELL";
        case kQuantity:
            return std::to_string(t.quantity);
        case kPrice:
            return FormatCents(t.priceCents);
        case kValue:
            return FormatCents(t.valueCents);
        case kStatus:
            return t.status;
        case kTime: {
            const std::int64_t ms = t.timeMillis;
            char buf[16];
            std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", static_cast<int>(ms / 3'600'000),
                          static_cast<int>(ms / 60'000 % 60), static_cast<int>(ms / 1000 % 60),
                          static_cast<int>(ms % 1000));
            return buf;
        }
        default:
            return "";
    }
}

std::string CellText(std::int64_t index, int column) { return CellText(MakeTrade(index), column); }

}  // namespace terminal
