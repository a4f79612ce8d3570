// The workbook model: what goes in comes back out, whatever the order of writes.
#include "xls/Model.h"
#include "xls/Workbook.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

namespace ledgra::xls {
namespace {

std::string Show(const CellValue& v) {
    switch (v.kind) {
        case CellKind::Empty:
            return "empty";
        case CellKind::Number:
            return "number " + std::to_string(v.number);
        case CellKind::Text:
            return "text " + v.text;
    }
    return "?";
}

TEST(XlsModel, CellsOverwriteClearAndComeBackInAnyWriteOrder) {
    auto book = std::make_unique<Workbook>();
    Worksheet& s = book->InsertSheet(0, "S");
    s.SetText(3, 5, "five");
    s.SetText(3, 2, "two");   // before an existing cell of the row
    s.SetNumber(3, 9, 9.5);   // after
    s.SetNumber(3, 2, 2);     // text -> number
    s.SetText(3, 9, "nine");  // number -> text
    s.SetText(3, 5, "");      // an empty text clears
    s.Clear(3, 7);            // clearing an empty cell does nothing
    s.SetNumber(0, 255, 1);   // last column
    EXPECT_EQ(Show(s.CellAt(3, 2)), "number 2.000000");
    EXPECT_EQ(Show(s.CellAt(3, 5)), "empty");
    EXPECT_EQ(Show(s.CellAt(3, 9)), "text nine");
    EXPECT_EQ(Show(s.CellAt(0, 255)), "number 1.000000");
    EXPECT_EQ(Show(s.CellAt(100, 0)), "empty");
    EXPECT_EQ(s.CellCount(), 3u);

    // A full row written from right to left.
    for (std::uint32_t c = 256; c-- > 0;) s.SetNumber(7, c, c);
    for (std::uint32_t c = 0; c < 256; ++c) ASSERT_EQ(s.CellAt(7, c).number, c);
    EXPECT_EQ(s.CellCount(), 259u);

    // Cells outside the grid are kept (saving names them) and can be cleared.
    s.SetText(70000, 1, "far");
    s.SetNumber(1, 300, 3);
    EXPECT_EQ(Show(s.CellAt(70000, 1)), "text far");
    EXPECT_EQ(s.CellCount(), 261u);
    s.Clear(70000, 1);
    EXPECT_EQ(Show(s.CellAt(70000, 1)), "empty");
}

// Rows take the room their cells need: one wide row does not make every
// later row as wide, and a table written row by row wastes nothing.
TEST(XlsModel, RowsStayCompact) {
    auto book = std::make_unique<Workbook>();
    Worksheet& s = book->InsertSheet(0, "S");
    for (std::uint32_t c = 0; c < 256; ++c) s.SetNumber(0, c, c);
    for (std::uint32_t r = 1; r < 60000; ++r) s.SetNumber(r, 0, r);
    const auto& sheet = s;
    EXPECT_LT(sheet.MemoryBytes(), 2u << 20);

    auto table = std::make_unique<Workbook>();
    Worksheet& t = table->InsertSheet(0, "T");
    for (std::uint32_t r = 0; r < 60000; ++r)
        for (std::uint32_t c = 0; c < 10; ++c) t.SetNumber(r, c, r + c);
    // 5 bytes a cell, rounded up to whole words per row, and 8 bytes a row.
    EXPECT_LT(t.MemoryBytes(), 60000u * (52 + 8) + (1u << 20));

    // Written column by column, rows move as they fill; nothing is lost.
    Worksheet& u = table->InsertSheet(1, "U");
    for (std::uint32_t c = 0; c < 40; ++c)
        for (std::uint32_t r = 0; r < 300; ++r) u.SetNumber(r, (c * 7) % 40, r * 100 + (c * 7) % 40);
    for (std::uint32_t r = 0; r < 300; ++r)
        for (std::uint32_t c = 0; c < 40; ++c) ASSERT_EQ(u.CellAt(r, c).number, r * 100 + c) << r << " " << c;
}

TEST(XlsModel, NumbersKeepEveryBit) {
    const double values[] = {0.0,
                             -0.0,
                             1,
                             -1,
                             536870911,
                             -536870912,
                             536870912,
                             -536870913,
                             0.1,
                             3.57,
                             -1234567.89,
                             5368709.11,
                             5368709.12,
                             1e-300,
                             1.5,
                             0.25,
                             1e15,
                             123456789012.0,
                             std::nextafter(1.0, 2.0),
                             std::numeric_limits<double>::denorm_min()};
    auto book = std::make_unique<Workbook>();
    Worksheet& s = book->InsertSheet(0, "S");
    for (std::uint32_t i = 0; i < std::size(values); ++i) s.SetNumber(i, 0, values[i]);
    for (std::uint32_t i = 0; i < std::size(values); ++i)
        EXPECT_EQ(std::bit_cast<std::uint64_t>(s.CellAt(i, 0).number),
                  std::bit_cast<std::uint64_t>(values[i]))
            << values[i];
    // Where the compact form is used, it decodes to the same double.
    for (double v : values) {
        if (auto rk = detail::ToRk(v)) {
            EXPECT_EQ(std::bit_cast<std::uint64_t>(detail::FromRk(*rk)), std::bit_cast<std::uint64_t>(v))
                << v;
        }
    }
    EXPECT_TRUE(detail::ToRk(3.57).has_value());  // 357 / 100
    EXPECT_FALSE(detail::ToRk(0.1 + 0.2).has_value());
}

// The compact form is chosen as rounding with the C library would choose it:
// whole numbers, hundredths, ties and their neighbours, the range's edges.
TEST(XlsModel, TheCompactNumberFormIsChosenAsTheLibraryRoundingChoosesIt) {
    const auto reference = [](double v) -> std::optional<std::uint32_t> {
        if (v == 0 && std::signbit(v)) return 0x80000000u;
        if (v >= -536870912.0 && v <= 536870911.0) {
            if (std::nearbyint(v) == v)
                return (static_cast<std::uint32_t>(static_cast<std::int32_t>(v)) << 2) | 2u;
            const double m = std::nearbyint(v * 100);
            if (m >= -536870912.0 && m <= 536870911.0 && m / 100 == v)
                return (static_cast<std::uint32_t>(static_cast<std::int32_t>(m)) << 2) | 3u;
        }
        const auto bits = std::bit_cast<std::uint64_t>(v);
        if ((bits & 0x3FFFFFFFFULL) == 0) return static_cast<std::uint32_t>(bits >> 32);
        return std::nullopt;
    };
    std::vector<double> values;
    for (double base : {0.0, 1.0, 2.5, 99.995, 12345.0, 5368709.115, 536870911.0, 536870912.0, 5.37e8}) {
        for (double k = -300; k <= 300; ++k) {
            const double v = base + k / 200;
            for (double x : {v, -v, v / 100, std::nextafter(v, 1e300), std::nextafter(v, -1e300)})
                values.push_back(x);
        }
    }
    for (double v : values) EXPECT_EQ(detail::ToRk(v), reference(v)) << v;
}

TEST(XlsModel, TextsAreUtf8WithStrayBytesTakenAsLatin1) {
    auto book = std::make_unique<Workbook>();
    Worksheet& s = book->InsertSheet(0, "S");
    s.SetText(0, 0, "\xe9t\xe9");                      // Latin-1 bytes, not UTF-8
    s.SetText(0, 1, "\xc3\xa9t\xc3\xa9");              // the same text in UTF-8
    s.SetText(0, 2, "\xf0\x9f\x98\x80 \xe2\x82\xac");  // outside the BMP, and the euro sign
    s.SetText(0, 3, "\xed\xa0\x80\xc0\xaf");           // an encoded surrogate and an overlong '/'
    s.SetText(0, 4, "a\xe2\x82");                      // cut short
    EXPECT_EQ(s.CellAt(0, 0).text, "\xc3\xa9t\xc3\xa9");
    EXPECT_EQ(s.CellAt(0, 1).text, "\xc3\xa9t\xc3\xa9");
    EXPECT_EQ(s.CellAt(0, 2).text, "\xf0\x9f\x98\x80 \xe2\x82\xac");
    EXPECT_EQ(s.CellAt(0, 3).text, "\xc3\xad\xc2\xa0\xc2\x80\xc3\x80\xc2\xaf");
    EXPECT_EQ(s.CellAt(0, 4).text, "a\xc3\xa2\xc2\x82");
}

TEST(XlsModel, SharedStringsCountUses) {
    auto book = std::make_unique<Workbook>();
    Worksheet& s = book->InsertSheet(0, "S");
    Worksheet& t = book->InsertSheet(1, "T");
    s.SetText(0, 0, "same");
    t.SetText(5, 5, "same");
    s.SetText(0, 1, "other");
    s.SetText(0, 1, "same");  // "other" is no longer used
    const auto& strings = book->Strings();
    EXPECT_EQ(strings.Count(), 2u);
    EXPECT_EQ(strings.Refs(0), 3u);
    EXPECT_EQ(strings.Refs(1), 0u);
    EXPECT_EQ(strings.TotalRefs(), 3u);
    t.Clear(5, 5);
    s.SetNumber(0, 0, 1);
    EXPECT_EQ(strings.Refs(0), 1u);
    EXPECT_EQ(strings.TotalRefs(), 1u);
}

// Texts of every length up to past the short form kept beside its count,
// Latin-1 and UTF-16, many differing in one byte only (enough for lookups to
// compare texts that only share a hash's first bits): each is stored once,
// found again, and read back as set.
TEST(XlsModel, TextsOfEveryLengthAreKeptOnceAndReadBack) {
    auto book = std::make_unique<Workbook>();
    Worksheet& s = book->InsertSheet(0, "S");
    std::vector<std::string> texts;
    for (std::size_t n = 1; n <= 24; ++n)
        for (std::size_t at = 0; at < n; ++at)
            for (char c = 'A'; c <= 'H'; ++c) {
                std::string text;
                for (std::size_t i = 0; i < n; ++i) text += static_cast<char>('a' + (i * 7 + n) % 26);
                text[at] = c;
                texts.push_back(text);
                texts.push_back("\xe2\x82\xac" + text);
            }
    for (std::uint32_t pass = 0; pass < 2; ++pass)
        for (std::size_t i = 0; i < texts.size(); ++i)
            s.SetText(static_cast<std::uint32_t>(i), pass, texts[i]);
    ASSERT_EQ(book->Strings().Count(), texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(s.CellAt(static_cast<std::uint32_t>(i), 1).text, texts[i]) << i;
        EXPECT_EQ(book->Strings().Refs(static_cast<std::uint32_t>(i)), 2u) << i;
    }
}

TEST(XlsModel, LastNumberFormatWins) {
    auto book = std::make_unique<Workbook>();
    Worksheet& s = book->InsertSheet(0, "S");
    s.SetNumberFormat(0, 100, 2, NumberFormat::Fixed2);
    s.SetNumberFormat(10, 20, 2, NumberFormat::Text);      // inside
    s.SetNumberFormat(15, 30, 2, NumberFormat::General);   // across the end of it
    s.SetNumberFormat(90, 200000, 2, NumberFormat::Text);  // past the last row
    s.SetNumberFormat(5, 1, 2, NumberFormat::Text);        // empty range
    s.SetNumberFormat(0, 10, 400, NumberFormat::Text);     // no such column in the file
    auto at = [&](std::uint32_t row) { return static_cast<int>(s.NumberFormatAt(row, 2)); };
    const int G = 0, F = 1, T = 2;
    EXPECT_EQ(at(0), F);
    EXPECT_EQ(at(9), F);
    EXPECT_EQ(at(10), T);
    EXPECT_EQ(at(14), T);
    EXPECT_EQ(at(15), G);
    EXPECT_EQ(at(30), G);
    EXPECT_EQ(at(31), F);
    EXPECT_EQ(at(89), F);
    EXPECT_EQ(at(90), T);
    EXPECT_EQ(at(65535), T);
    EXPECT_EQ(static_cast<int>(s.NumberFormatAt(0, 1)), G);
    EXPECT_EQ(static_cast<int>(s.NumberFormatAt(0, 400)), G);
    // Joined again into one run when the gap is closed with the same format.
    s.SetNumberFormat(10, 89, 2, NumberFormat::Fixed2);
    EXPECT_EQ(s.Formats(2).size(), 2u);
}

TEST(XlsModel, SheetsInsertedAnywhereKeepTheirReferences) {
    auto book = std::make_unique<Workbook>();
    Worksheet& a = book->InsertSheet(0, "A");
    Worksheet& c = book->InsertSheet(1, "C");
    Worksheet& b = book->InsertSheet(1, "B");
    Worksheet& z = book->InsertSheet(99, "Z");  // past the end: appended
    a.SetText(0, 0, "a");
    c.SetName("C2");
    ASSERT_EQ(book->SheetCount(), 4u);
    EXPECT_EQ(&book->Sheet(0), &a);
    EXPECT_EQ(&book->Sheet(1), &b);
    EXPECT_EQ(book->Sheet(2).Name(), "C2");
    EXPECT_EQ(&book->Sheet(3), &z);
    EXPECT_EQ(book->Sheet(0).CellAt(0, 0).text, "a");
}

}  // namespace
}  // namespace ledgra::xls
