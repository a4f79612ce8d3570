// Workbooks written by SaveBiff8, read back by xlrd and Gnumeric.
#include "xls/Biff8.h"
#include "xls/Model.h"
#include "xls/Workbook.h"

#include "test_support/CheckXls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace ledgra::xls {
namespace {

using xlstest::Check;
using xlstest::TempDir;

TEST(XlsReadBack, SheetsCellTypesAndFormats) {
    TempDir dir;
    auto book = std::make_unique<Workbook>();
    Worksheet& a = book->InsertSheet(0, "Data-Sheet1");
    a.SetNumberFormat(0, 3, 0, NumberFormat::Fixed2);
    a.SetNumberFormat(0, 3, 1, NumberFormat::Text);
    a.SetNumberFormat(0, 3, 2, NumberFormat::General);
    a.SetNumberFormat(0, 65535, 5, NumberFormat::Text);  // a whole column: its default format
    a.SetNumberFormat(0, 65535, 6, NumberFormat::Text);
    a.SetText(0, 0, "Price");
    a.SetText(0, 1, "Code");
    a.SetText(0, 2, "Count");
    a.SetNumber(1, 0, 1.25);
    a.SetText(1, 1, "00007");
    a.SetNumber(1, 2, 42);
    a.SetNumber(2, 0, 0.1);
    a.SetText(2, 1,
              "Gr\xc3\xbc\xc3\x9f"
              "e \xe2\x82\xac");
    a.SetNumber(2, 2, -3.5e300);
    a.SetNumber(3, 2, -536870912);
    Worksheet& b = book->InsertSheet(1, "Data-Sheet2");
    b.SetText(0, 0, "Price");
    b.SetNumber(1, 0, 7);
    book->InsertSheet(0, "First");  // order: First, Data-Sheet1, Data-Sheet2

    const std::string path = dir / "Data.xls";
    SaveResult r = SaveBiff8(*book, path);
    ASSERT_TRUE(r) << r.description;
    EXPECT_EQ(Check("cells", path),
              "sheet \"First\" rows=0 cols=0\n"
              "sheet \"Data-Sheet1\" rows=4 cols=3\n"
              "colinfo 5 \"@\"\n"
              "colinfo 6 \"@\"\n"
              "0 0 text \"0.00\" \"Price\"\n"
              "0 1 text \"@\" \"Code\"\n"
              "0 2 text \"General\" \"Count\"\n"
              "1 0 number \"0.00\" 1.25\n"
              "1 1 text \"@\" \"00007\"\n"
              "1 2 number \"General\" 42.0\n"
              "2 0 number \"0.00\" 0.1\n"
              "2 1 text \"@\" \"Gr\\u00fc\\u00dfe \\u20ac\"\n"
              "2 2 number \"General\" -3.5e+300\n"
              "3 0 blank \"0.00\" \n"
              "3 1 blank \"@\" \n"
              "3 2 number \"General\" -536870912.0\n"
              "sheet \"Data-Sheet2\" rows=2 cols=1\n"
              "0 0 text \"General\" \"Price\"\n"
              "1 0 number \"General\" 7.0\n");
    EXPECT_EQ(Check("gnumeric", path),
              "exit 0\n"
              "csv out_0.csv\n"
              "\n"
              "csv out_1.csv\n"
              "Price,Code,Count\n"
              "1.25,00007,42\n"
              "0.1,\"Gr\xc3\xbc\xc3\x9f"
              "e \xe2\x82\xac\",-3.4999999999999998864E+300\n"
              ",,-536870912\n"
              "csv out_2.csv\n"
              "Price\n"
              "7\n");
}

// Formats that begin and end on different rows of different columns, over
// sparse cells: every empty cell whose format is not General is a blank.
TEST(XlsReadBack, ABlankWhereverAnEmptyCellHasAFormat) {
    TempDir dir;
    auto book = std::make_unique<Workbook>();
    Worksheet& s = book->InsertSheet(0, "S");
    s.SetNumberFormat(2, 5, 0, NumberFormat::Fixed2);
    s.SetNumberFormat(6, 7, 0, NumberFormat::Text);
    s.SetNumberFormat(4, 9, 2, NumberFormat::Text);
    s.SetNumberFormat(1, 1, 3, NumberFormat::Fixed2);
    s.SetNumberFormat(8, 12, 3, NumberFormat::Fixed2);
    const char* const names[] = {"General", "0.00", "@"};
    std::string expected;
    for (std::uint32_t row = 0; row < 14; ++row) {
        for (std::uint32_t column = 0; column < 4; ++column) {
            const bool filled = (row * 5 + column) % 3 == 0;
            if (filled) s.SetText(row, column, "x");
            const int format = static_cast<int>(s.NumberFormatAt(row, column));
            const std::string where = std::to_string(row) + " " + std::to_string(column) + " ";
            if (filled)
                expected += where + "text \"" + names[format] + "\" \"x\"\n";
            else if (format != 0)
                expected += where + "blank \"" + names[format] + "\" \n";
        }
    }
    const std::string path = dir / "Blanks.xls";
    const SaveResult r = SaveBiff8(*book, path);
    ASSERT_TRUE(r) << r.description;
    std::string cells;  // the listing's cell lines
    const std::string listing = Check("cells", path);
    for (std::size_t at = 0, end; at < listing.size(); at = end + 1) {
        end = listing.find('\n', at);
        if (listing[at] >= '0' && listing[at] <= '9') cells += listing.substr(at, end - at + 1);
    }
    EXPECT_EQ(cells, expected);
}

// A text as Python's json.dumps(..., ensure_ascii=False) writes it.
std::string Json(const std::string& s) {
    std::string out = "\"";
    for (char ch : s) {
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

std::string Repeat(const std::string& s, int n) {
    std::string r;
    for (int i = 0; i < n; ++i) r += s;
    return r;
}

// Texts of every length and script, so that the string table's records end
// inside 8-bit and 16-bit characters, inside surrogate pairs and right after
// string headers.
TEST(XlsReadBack, LongAndNonLatin1TextsSplitOverContinueRecords) {
    std::vector<std::string> texts = {
        std::string(32767, 'a'),
        Repeat("\xd0\xb6", 32767),                // Cyrillic: 16-bit throughout
        Repeat("\xf0\x9f\x98\x80", 16383) + "x",  // surrogate pairs, 32767 units
        std::string(9999, 'b') + "\xe2\x82\xac",  // 16-bit because of its last character
        Repeat("\xc3\xa9", 20000),                // Latin-1, stored 8-bit
    };
    for (int i = 0; i < 3000; ++i) {
        const std::string pieces[] = {"x", "\xc3\xa9", "\xd0\xb6", "\xf0\x9f\x98\x80"};
        texts.push_back(std::to_string(i) + Repeat(pieces[i % 4], i % 37 + 1));
    }
    auto book = std::make_unique<Workbook>();
    Worksheet& s = book->InsertSheet(0, "Texts");
    std::string expected;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const auto row = static_cast<std::uint32_t>(i / 3), col = static_cast<std::uint32_t>(i % 3);
        s.SetText(row, col, texts[i]);
        expected += std::to_string(row) + " " + std::to_string(col) + " " + Json(texts[i]) + "\n";
    }
    s.SetText(2000, 0, texts[0]);  // shared: one SST entry, two uses
    expected += "2000 0 " + Json(texts[0]) + "\n";

    TempDir dir;
    const std::string path = dir / "Texts.xls";
    ASSERT_TRUE(SaveBiff8(*book, path));
    EXPECT_EQ(Check("texts", path), expected);
    const std::string stream = Check("stream", path);
    EXPECT_NE(stream.find("sst total=3006 unique=3005 records="), std::string::npos) << stream;
    EXPECT_NE(stream.find("extsst dsst=24 buckets=126\n"), std::string::npos) << stream;
    EXPECT_EQ(stream.find("sst:"), std::string::npos) << stream;
    EXPECT_EQ(stream.find("BOUNDSHEET says"), std::string::npos) << stream;
    EXPECT_EQ(Check("gnumeric", path).substr(0, 20), "exit 0\ncsv out_0.csv");
}

// Texts no cell uses any more stay out of the file.
TEST(XlsReadBack, OverwrittenTextsLeaveTheStringTable) {
    auto book = std::make_unique<Workbook>();
    Worksheet& s = book->InsertSheet(0, "S");
    s.SetText(0, 0, "gone");
    s.SetText(0, 1, "kept");
    s.SetText(0, 0, "also kept");
    s.SetText(1, 0, "cleared");
    s.Clear(1, 0);
    TempDir dir;
    ASSERT_TRUE(SaveBiff8(*book, dir / "S.xls"));
    EXPECT_EQ(Check("cells", dir / "S.xls"),
              "sheet \"S\" rows=1 cols=2\n"
              "0 0 text \"General\" \"also kept\"\n"
              "0 1 text \"General\" \"kept\"\n");
    const std::string stream = Check("stream", dir / "S.xls");
    EXPECT_NE(stream.find("sst total=2 unique=2 records=1\n"), std::string::npos) << stream;
}

// The rows and columns at the edge of the grid, whole-column formats, and the
// export's layout of a header row above 65534 data rows.
TEST(XlsReadBack, TheWholeGrid) {
    auto book = std::make_unique<Workbook>();
    Worksheet& s = book->InsertSheet(0, "Data-Sheet1");
    s.SetNumberFormat(0, 65535, 3, NumberFormat::Fixed2);  // whole column: COLINFO
    s.SetNumberFormat(0, 65535, 4, NumberFormat::Fixed2);
    s.SetNumberFormat(0, 65534, 0, NumberFormat::Text);
    for (std::uint32_t r = 0; r < 65535; ++r) {
        s.SetText(r, 0, r == 0 ? "Code" : std::to_string(r % 1000));
        s.SetNumber(r, 3, r * 0.5);
    }
    s.SetText(65535, 255, "corner");
    Worksheet& t = book->InsertSheet(1, "Data-Sheet2");
    t.SetText(0, 0, "Code");
    t.SetText(1, 0, "7");
    TempDir dir;
    const std::string path = dir / "Grid.xls";
    ASSERT_TRUE(SaveBiff8(*book, path));
    EXPECT_EQ(Check("summary", path),
              "sheet \"Data-Sheet1\" rows=65536 cols=256\n"
              "  empty \"0.00\" 2\n"
              "  empty \"General\" 131323\n"
              "  number \"0.00\" 65535\n"
              "  text \"@\" 65535\n"
              "  text \"General\" 1\n"
              "  number-sum 1073692672.5 text-chars 189354\n"
              "sheet \"Data-Sheet2\" rows=2 cols=1\n"
              "  text \"General\" 2\n"
              "  number-sum 0.0 text-chars 5\n");
    const std::string gnumeric = Check("gnumeric", path);
    EXPECT_EQ(gnumeric.substr(0, gnumeric.find("<")), "exit 0\ncsv out_0.csv\n") << gnumeric;
    EXPECT_EQ(gnumeric.substr(gnumeric.find("csv out_1.csv")), "csv out_1.csv\nCode\n7\n");
}

// What olefile, read strictly, sees in a compound file with a stream of size bytes.
std::string Container(std::uint64_t size) {
    return "version 3.62, sectors of 512 bytes\n"
           "entries ['Workbook']\n"
           "root class {00020820-0000-0000-C000-000000000046}\n"
           "Workbook " +
           std::to_string(size) + " bytes, as xlrd reads it\n";
}

// Compound files with a stream padded to the 4096-byte mini-stream limit, one
// just over it, and one that needs a DIFAT sector (over 109 FAT sectors, about
// 7 MB), each checked by xlrd, olefile and Gnumeric.
TEST(XlsReadBack, StreamSizesAtTheContainersThresholds) {
    TempDir dir;
    auto sizeOf = [](const Workbook& b) {
        detail::Biff8Writer w(b);
        EXPECT_TRUE(w.Plan());
        return w.StreamSize();
    };
    {
        auto book = std::make_unique<Workbook>();
        book->InsertSheet(0, "S").SetText(0, 0, "tiny");
        ASSERT_TRUE(SaveBiff8(*book, dir / "Tiny.xls"));
        EXPECT_EQ(Check("container", dir / "Tiny.xls"), Container(4096));
        EXPECT_EQ(Check("gnumeric", dir / "Tiny.xls"), "exit 0\ncsv out_0.csv\ntiny\n");
    }
    {
        auto book = std::make_unique<Workbook>();
        Worksheet& s = book->InsertSheet(0, "S");
        std::uint32_t r = 0;
        while (sizeOf(*book) <= 4096) s.SetNumber(r++, 0, 0.1);
        ASSERT_LT(sizeOf(*book), 4096u + 20);
        ASSERT_TRUE(SaveBiff8(*book, dir / "Small.xls"));
        const std::string out = Check("stream", dir / "Small.xls");
        EXPECT_EQ(out.substr(out.find("sheets")),
                  "sheets 1, padding 0\nsst total=0 unique=0 records=1\n"
                  "extsst dsst=8 buckets=0\n");
        EXPECT_EQ(r, 241u);
        EXPECT_EQ(Check("container", dir / "Small.xls"), Container(sizeOf(*book)));
        EXPECT_EQ(Check("summary", dir / "Small.xls"),
                  "sheet \"S\" rows=241 cols=1\n"
                  "  number \"General\" 241\n"
                  "  number-sum 24.100000000000072 text-chars 0\n");
    }
    {
        auto book = std::make_unique<Workbook>();
        Worksheet& s = book->InsertSheet(0, "Big");
        for (std::uint32_t r = 0; r < 60000; ++r)
            for (std::uint32_t c = 0; c < 7; ++c) s.SetNumber(r, c, std::sqrt(r * 7.0 + c + 2));
        ASSERT_GT(sizeOf(*book), 109u * 128 * 512);
        ASSERT_TRUE(SaveBiff8(*book, dir / "Big.xls"));
        EXPECT_EQ(Check("stream", dir / "Big.xls"),
                  "file 7619584 bytes (14881 sectors after the header), stream 7558140 bytes\n"
                  "sheets 1, padding 0\n"
                  "sst total=0 unique=0 records=1\n"
                  "extsst dsst=8 buckets=0\n");
        EXPECT_EQ(Check("container", dir / "Big.xls"), Container(7558140));
        const std::string gnumeric = Check("gnumeric", dir / "Big.xls");
        EXPECT_EQ(gnumeric.substr(0, gnumeric.find("<")), "exit 0\ncsv out_0.csv\n");
    }
}

}  // namespace
}  // namespace ledgra::xls
