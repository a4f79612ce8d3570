// Writes workbooks with the Windows build of the .xls writer into the folder
// given as argument; check_xls_win.py reads them back with xlrd on Linux.
#include "xls/Workbook.h"

#include <cstdio>
#include <string>

using namespace ledgra::xls;

static int Save(const Workbook& book, const std::string& path) {
    const SaveResult result = SaveBiff8(book, path);
    if (!result) std::fprintf(stderr, "%s: %s\n", path.c_str(), result.description.c_str());
    return result ? 0 : 1;
}

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const std::string dir = argv[1];

    auto small = std::make_unique<Workbook>();  // smaller than the 4096 bytes a stream is padded to
    Worksheet& a = small->InsertSheet(0, "Data-Sheet1");
    a.SetText(0, 0, "Name");
    a.SetText(0, 1, "Price");
    a.SetText(1, 0, "caf\xC3\xA9");
    a.SetNumber(1, 1, 12.5);
    a.SetNumberFormat(1, 1, 1, NumberFormat::Fixed2);
    a.SetNumberFormat(1, 1, 0, NumberFormat::Text);
    small->InsertSheet(1, "Data-Sheet2").SetNumber(0, 0, -3);

    auto large = std::make_unique<Workbook>();  // about 14 MB: more FAT sectors than the header lists
    Worksheet& b = large->InsertSheet(0, "Big");
    for (std::uint32_t row = 0; row < 65535; ++row)
        for (std::uint32_t column = 0; column < 10; ++column) b.SetNumber(row, column, row * 10.0 + column);

    int failed = Save(*small, dir + "/small.xls") + Save(*large, dir + "/large.xls");
    // Saving over an existing workbook replaces it; a folder is refused.
    failed += Save(*small, dir + "/large.xls.again") + Save(*small, dir + "/large.xls.again");
    if (Save(*small, dir) == 0) ++failed;
    return failed;
}
