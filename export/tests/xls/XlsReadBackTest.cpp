// Workbooks written by SaveBiff8, read back by xlrd and Gnumeric.
#include "xls/Workbook.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace ledgra::xls {
namespace {

using xlstest::Check;
using xlstest::TempDir;

TEST(XlsReadBack, SheetsCellTypesAndFormats) {
    TempDir dir;
    auto book = NewWorkbook();
    Worksheet& a = book->InsertSheet(0, "Data-Sheet1");
    a.SetNumberFormat(0, 3, 0, NumberFormat::Fixed2);
    a.SetNumberFormat(0, 3, 1, NumberFormat::Text);
    a.SetNumberFormat(0, 3, 2, NumberFormat::General);
    a.SetText(0, 0, "Price");
    a.SetText(0, 1, "Code");
    a.SetText(0, 2, "Count");
    a.SetNumber(1, 0, 1.25);
    a.SetText(1, 1, "00007");
    a.SetNumber(1, 2, 42);
    a.SetNumber(2, 0, 0.1);
    a.SetText(2, 1, "Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac");
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
              "0.1,\"Gr\xc3\xbc\xc3\x9f" "e \xe2\x82\xac\",-3.4999999999999998864E+300\n"
              ",,-536870912\n"
              "csv out_2.csv\n"
              "Price\n"
              "7\n");
}

}  // namespace
}  // namespace ledgra::xls
