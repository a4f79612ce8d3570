// The record stream of a tiny workbook and the compound file around a short
// stream, byte for byte, against the layouts of the published formats (worked
// out by hand, not by the writer). Run on both platforms: both write the same bytes.
#include "xls/Biff8.h"
#include "xls/Model.h"
#include "xls/PlainCompoundFile.h"
#include "xls/Workbook.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace ledgra::xls {
namespace {

struct MemorySink : detail::StreamSink {
    std::string data;
    bool Write(const void* p, std::size_t n) override {
        data.append(static_cast<const char*>(p), n);
        return true;
    }
};

// One line per record: its type, then its payload in hex.
std::string Records(const std::string& stream) {
    std::string out;
    std::size_t pos = 0;
    while (pos + 4 <= stream.size()) {
        auto byte = [&](std::size_t i) { return static_cast<unsigned char>(stream[i]); };
        const unsigned type = byte(pos) | byte(pos + 1) << 8, length = byte(pos + 2) | byte(pos + 3) << 8;
        char buf[8];
        std::snprintf(buf, sizeof buf, "%04X:", type);
        out += buf;
        for (std::size_t i = 0; i < length && pos + 4 + i < stream.size(); ++i) {
            std::snprintf(buf, sizeof buf, " %02X", byte(pos + 4 + i));
            out += buf;
        }
        out += "\n";
        pos += 4 + length;
    }
    return out;
}

TEST(XlsRecords, TinyWorkbookByteForByte) {
    auto book = std::make_unique<Workbook>();
    Worksheet& s = book->InsertSheet(0, "S");
    s.SetText(0, 0, "x");
    s.SetNumberFormat(0, 0, 1, NumberFormat::Fixed2);
    s.SetNumber(0, 1, 1.5);                              // RK: 150 / 100
    s.SetNumber(0, 2, 2);                                // RK: integer 2
    s.SetNumberFormat(0, 65535, 3, NumberFormat::Text);  // whole column D: COLINFO

    detail::Biff8Writer writer(*book);
    ASSERT_TRUE(writer.Plan());
    MemorySink sink;
    ASSERT_TRUE(writer.Write(sink));
    EXPECT_EQ(sink.data.size(), writer.StreamSize());

    const std::string font = "0031: C8 00 00 00 FF 7F 90 01 00 00 00 02 00 00 05 00 41 72 69 61 6C\n";
    const std::string styleXf = "00E0: 00 00 F5 FF 20 00 00 F4 00 00 00 00 00 00 00 00 C0 20\n";
    EXPECT_EQ(Records(sink.data),
              // globals: BOF (workbook globals), CODEPAGE 1200, WINDOW1, DATE1904
              "0809: 00 06 05 00 BB 0D CC 07 09 00 00 00 06 00 00 00\n"
              "0042: B0 04\n"
              "003D: 68 01 0E 01 5C 3A BE 23 38 00 00 00 00 00 01 00 58 02\n"
              "0022: 00 00\n" +
                  font + font + font + font + font +
                  // style XFs: 0 Normal, 1-2 font 1, 3-4 font 2, 5-14 font 0
                  "00E0: 00 00 00 00 F5 FF 20 00 00 00 00 00 00 00 00 00 00 00 C0 20\n"
                  "00E0: 01 00" +
                  styleXf.substr(5) + "00E0: 01 00" + styleXf.substr(5) + "00E0: 02 00" + styleXf.substr(5) +
                  "00E0: 02 00" + styleXf.substr(5) + "00E0: 00 00" + styleXf.substr(5) + "00E0: 00 00" +
                  styleXf.substr(5) + "00E0: 00 00" + styleXf.substr(5) + "00E0: 00 00" + styleXf.substr(5) +
                  "00E0: 00 00" + styleXf.substr(5) + "00E0: 00 00" + styleXf.substr(5) + "00E0: 00 00" +
                  styleXf.substr(5) + "00E0: 00 00" + styleXf.substr(5) + "00E0: 00 00" + styleXf.substr(5) +
                  "00E0: 00 00" + styleXf.substr(5) +
                  // cell XFs 15 General, 16 "0.00" (format 2), 17 "@" (format 49)
                  "00E0: 00 00 00 00 01 00 20 00 00 00 00 00 00 00 00 00 00 00 C0 20\n"
                  "00E0: 00 00 02 00 01 00 20 00 00 04 00 00 00 00 00 00 00 00 C0 20\n"
                  "00E0: 00 00 31 00 01 00 20 00 00 04 00 00 00 00 00 00 00 00 C0 20\n"
                  "0293: 00 80 00 FF\n"
                  // BOUNDSHEET: the sheet's BOF at 674 = 0x2A2, visible worksheet "S"
                  "0085: A2 02 00 00 00 00 01 00 53\n"
                  "008C: 01 00 01 00\n"
                  // SST: 1 use, 1 string "x"; EXTSST: 8 a bucket, the string at 652 = 0x28C,
                  // 12 bytes after its record's header
                  "00FC: 01 00 00 00 01 00 00 00 01 00 00 78\n"
                  "00FF: 08 00 8C 02 00 00 0C 00 00 00\n"
                  "000A:\n"
                  // the worksheet
                  "0809: 00 06 10 00 BB 0D CC 07 09 00 00 00 06 00 00 00\n"
                  "007D: 03 00 03 00 24 09 11 00 00 00 00 00\n"
                  "0200: 00 00 00 00 01 00 00 00 00 00 03 00 00 00\n"
                  "00FD: 00 00 00 00 0F 00 00 00 00 00\n"
                  "027E: 00 00 01 00 10 00 5B 02 00 00\n"
                  "027E: 00 00 02 00 0F 00 0A 00 00 00\n"
                  "023E: B6 06 00 00 00 00 40 00 00 00 00 00 00 00 00 00 00 00\n"
                  "000A:\n");
}

// A 512-byte sector: the given little-endian 32-bit words from offset at on,
// the rest filled with fill.
std::string Sector(std::size_t at, std::initializer_list<std::uint32_t> words, char fill = 0) {
    std::string s(512, fill);
    for (std::uint32_t w : words) {
        for (int i = 0; i < 4; ++i) s[at++] = static_cast<char>(w >> (8 * i));
    }
    return s;
}

// A directory entry of 128 bytes: UTF-16 name, its size, type, black, no
// siblings, the child, the class, the first sector and the size.
std::string Entry(const std::string& name, char type, std::uint32_t child, const std::string& clsid,
                  std::uint32_t start, std::uint32_t size) {
    std::string e(128, 0);
    for (std::size_t i = 0; i < name.size(); ++i) e[2 * i] = name[i];
    e[64] = static_cast<char>(2 * (name.size() + 1));
    e[66] = type;
    e[67] = 1;
    e.replace(68, 12, Sector(0, {0xFFFFFFFF, 0xFFFFFFFF, child}).substr(0, 12));
    e.replace(80, clsid.size(), clsid);
    e.replace(116, 8, Sector(0, {start, size}).substr(0, 8));
    return e;
}

TEST(XlsRecords, CompoundFileOfAShortStreamByteForByte) {
    const std::string stream = "streamed records";
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    detail::PlainCompoundFile file(f);
    ASSERT_TRUE(file.Write(stream.data(), stream.size()));
    ASSERT_TRUE(file.Finish());
    std::string bytes(8192, 0);
    std::rewind(f);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
    std::fclose(f);
    EXPECT_EQ(file.FileSize(), 5632u);

    // Header: signature, version 3.62, little-endian, 512-byte sectors, one
    // FAT sector (9), directory at 8, no mini stream below 4096, no DIFAT.
    std::string header =
        Sector(0, {0xE011CFD0, 0xE11AB1A1, 0, 0, 0,    0,          0x0003003E, 0x0009FFFE, 6, 0,
                   0,          1,          8, 0, 4096, 0xFFFFFFFE, 0,          0xFFFFFFFE, 0, 9});
    header.replace(80, 432, std::string(432, '\xFF'));
    const std::string workbookClass("\x20\x08\x02\0\0\0\0\0\xC0\0\0\0\0\0\0\x46", 16);
    const std::string unused = std::string(68, 0) + std::string(12, '\xFF') + std::string(48, 0);
    const std::string directory = Entry("Root Entry", 5, 1, workbookClass, 0xFFFFFFFE, 0) +
                                  Entry("Workbook", 2, 0xFFFFFFFF, "", 0, 4096) + unused + unused;
    // FAT: the stream's chain 0-7, the directory 8, the FAT sector itself 9.
    std::string fat = Sector(0, {1, 2, 3, 4, 5, 6, 7, 0xFFFFFFFE, 0xFFFFFFFE, 0xFFFFFFFD}, '\xFF');
    const std::string padded = stream + std::string(4096 - stream.size(), 0);
    EXPECT_TRUE(bytes == header + padded + directory + fat);
    EXPECT_EQ(bytes.substr(0, 512), header);
    EXPECT_EQ(bytes.substr(4608, 512), directory);
    EXPECT_EQ(bytes.substr(5120), fat);
}

}  // namespace
}  // namespace ledgra::xls
