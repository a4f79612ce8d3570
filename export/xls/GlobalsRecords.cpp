// The workbook globals around the string table.
#include "xls/Records.h"

namespace ledgra::xls::detail {
namespace {

// CODEPAGE (UTF-16), WINDOW1 and DATE1904 (dates from 1900).
void WorkbookSettings(Bytes& b) {
    b.Begin(kCodepage);
    b.U16(1200);
    b.End();
    b.Begin(kWindow1);
    b.U16(360);
    b.U16(270);
    b.U16(14940);
    b.U16(9150);
    b.U16(0x0038);
    b.U16(0);
    b.U16(0);
    b.U16(1);
    b.U16(600);
    b.End();
    b.Begin(kDate1904);
    b.U16(0);
    b.End();
}

void Fonts(Bytes& b) {
    for (int i = 0; i < 5; ++i) {  // Arial 10 pt; index 4 is never referenced
        b.Begin(kFont);
        b.U16(200);
        b.U16(0);
        b.U16(0x7FFF);
        b.U16(400);
        b.U16(0);
        b.U8(0);
        b.U8(2);
        b.U8(0);
        b.U8(0);
        b.U8(5);
        b.U8(0);
        b.Raw("Arial", 5);
        b.End();
    }
}

// The 15 style XFs, the cell XFs for General, "0.00" and "@", and the Normal style.
void Formats(Bytes& b) {
    for (int i = 0; i < 15; ++i) {
        b.Begin(kXf);
        if (i == 0) {
            b.Hex("00 00 00 00 F5 FF 20 00 00 00 00 00 00 00 00 00 00 00 C0 20");
        } else {
            b.U16(i <= 2 ? 1 : i <= 4 ? 2 : 0);
            b.Hex("00 00 F5 FF 20 00 00 F4 00 00 00 00 00 00 00 00 C0 20");
        }
        b.End();
    }
    for (const char* xf : {"00 00 00 00 01 00 20 00 00 00 00 00 00 00 00 00 00 00 C0 20",
                           "00 00 02 00 01 00 20 00 00 04 00 00 00 00 00 00 00 00 C0 20",
                           "00 00 31 00 01 00 20 00 00 04 00 00 00 00 00 00 00 00 C0 20"}) {
        b.Begin(kXf);
        b.Hex(xf);
        b.End();
    }
    b.Begin(kStyle);
    b.Hex("00 80 00 FF");
    b.End();
}

// One BOUNDSHEET a sheet: where its BOF is, visible worksheet, its name.
void SheetList(Bytes& b, const std::vector<Biff8Writer::SheetLayout>& sheets,
               const std::vector<std::vector<std::uint8_t>>& names, const std::vector<bool>& wide) {
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        b.Begin(kBoundSheet);
        b.U32(static_cast<std::uint32_t>(sheets[i].offset));
        b.U8(0);
        b.U8(0);
        const std::size_t units = wide[i] ? names[i].size() / 2 : names[i].size();
        b.U8(static_cast<std::uint8_t>(units));
        b.U8(wide[i] ? 1 : 0);
        b.Raw(names[i].data(), names[i].size());
        b.End();
    }
}

}  // namespace

void GlobalsHead(Bytes& b, const std::vector<Biff8Writer::SheetLayout>& sheets,
                 const std::vector<std::vector<std::uint8_t>>& names, const std::vector<bool>& wide) {
    Bof(b, 0x0005);
    WorkbookSettings(b);
    Fonts(b);
    Formats(b);
    SheetList(b, sheets, names, wide);
    b.Begin(kCountry);
    b.U16(1);
    b.U16(1);
    b.End();
}

void GlobalsTail(Bytes& b, std::uint16_t bucket, const std::vector<Biff8Writer::ExtSstEntry>& extSst) {
    b.Begin(kExtSst);
    b.U16(bucket);
    for (const Biff8Writer::ExtSstEntry& e : extSst) {
        b.U32(e.offset);
        b.U16(e.inRecord);
        b.U16(0);
    }
    b.End();
    b.Begin(kEof);
    b.End();
}

}  // namespace ledgra::xls::detail
