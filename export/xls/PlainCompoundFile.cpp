#include "xls/PlainCompoundFile.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace ledgra::xls::detail {
namespace {

constexpr std::uint32_t kSector = 512;
constexpr std::uint32_t kPerSector = kSector / 4;  // FAT entries per sector
constexpr std::uint32_t kHeaderDifat = 109;        // FAT sector numbers the header holds
constexpr std::uint32_t kFree = 0xFFFFFFFF, kEndOfChain = 0xFFFFFFFE, kFatSector = 0xFFFFFFFD,
                        kDifatSector = 0xFFFFFFFC, kNoStream = 0xFFFFFFFF;
constexpr std::uint64_t kMinStream = 4096;  // smaller streams are padded (no mini stream)

// Excel 97-2003 workbook class id, as Excel stores it in the root entry.
constexpr std::uint8_t kWorkbookClassId[16] = {0x20, 0x08, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                               0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

void Put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// One 128-byte directory entry.
void DirectoryEntry(std::uint8_t* e, const char* name, std::uint8_t type, std::uint32_t child,
                    std::uint32_t start, std::uint32_t size) {
    const std::size_t length = std::strlen(name);
    for (std::size_t i = 0; i < length; ++i) Put16(e + 2 * i, static_cast<std::uint8_t>(name[i]));
    Put16(e + 64, static_cast<std::uint16_t>(2 * (length + 1)));
    e[66] = type;
    e[67] = 1;  // black
    Put32(e + 68, kNoStream);
    Put32(e + 72, kNoStream);
    Put32(e + 76, child);
    if (type == 5) std::memcpy(e + 80, kWorkbookClassId, sizeof kWorkbookClassId);
    Put32(e + 116, start);
    Put32(e + 120, size);
}

}  // namespace

PlainCompoundFile::PlainCompoundFile(std::FILE* file) : file_(file) {
    const std::vector<std::uint8_t> header(kSector, 0);  // written properly by Finish
    Put(header.data(), header.size());
}

bool PlainCompoundFile::Put(const void* data, std::size_t size) {
    if (!failed_ && std::fwrite(data, 1, size, file_) != size) failed_ = true;
    return !failed_;
}

bool PlainCompoundFile::PutSector(const std::uint32_t (&words)[128]) {
    std::uint8_t bytes[kSector];
    for (std::uint32_t i = 0; i < kPerSector; ++i) Put32(bytes + 4 * i, words[i]);
    return Put(bytes, sizeof bytes);
}

bool PlainCompoundFile::Write(const void* data, std::size_t size) {
    if (!Put(data, size)) return false;
    written_ += size;
    return true;
}

// Layout: the header, the stream's sectors, one directory sector, the FAT
// sectors, the DIFAT sectors; the FAT covers itself and the DIFAT too.
PlainCompoundFile::Layout PlainCompoundFile::LayOut(std::uint64_t streamSize) {
    Layout l;
    l.streamSize = streamSize;
    l.streamSectors = static_cast<std::uint32_t>((streamSize + kSector - 1) / kSector);
    l.directory = l.streamSectors;
    for (;;) {
        const std::uint32_t total = l.streamSectors + 1 + l.fatSectors + l.difatSectors;
        const std::uint32_t fat = (total + kPerSector - 1) / kPerSector;
        const std::uint32_t difat =
            fat > kHeaderDifat ? (fat - kHeaderDifat + kPerSector - 2) / (kPerSector - 1) : 0;
        if (fat == l.fatSectors && difat == l.difatSectors) break;
        l.fatSectors = fat;
        l.difatSectors = difat;
    }
    l.firstFat = l.directory + 1;
    l.firstDifat = l.firstFat + l.fatSectors;
    return l;
}

bool PlainCompoundFile::Finish() {
    const Layout l = LayOut(std::max(written_, kMinStream));
    fileSize_ = std::uint64_t{kSector} * (1 + l.firstDifat + l.difatSectors);
    std::vector<std::uint8_t> padding(
        static_cast<std::size_t>(std::uint64_t{kSector} * l.streamSectors - written_), 0);
    if (!Put(padding.data(), padding.size())) return false;
    if (!PutDirectory(l) || !PutFat(l) || !PutDifat(l)) return false;
    if (failed_ || std::fseek(file_, 0, SEEK_SET) != 0) return false;
    return PutHeader(l);
}

// The root entry (with the workbook's class) and the "Workbook" stream.
bool PlainCompoundFile::PutDirectory(const Layout& l) {
    std::uint8_t entries[kSector] = {};
    DirectoryEntry(entries, "Root Entry", 5, 1, kEndOfChain, 0);
    DirectoryEntry(entries + 128, "Workbook", 2, kNoStream, 0, static_cast<std::uint32_t>(l.streamSize));
    for (int i = 2; i < 4; ++i) {
        Put32(entries + 128 * i + 68, kNoStream);
        Put32(entries + 128 * i + 72, kNoStream);
        Put32(entries + 128 * i + 76, kNoStream);
    }
    return Put(entries, sizeof entries);
}

// The stream's chain, the directory's, and the FAT and DIFAT sectors marked.
bool PlainCompoundFile::PutFat(const Layout& l) {
    std::uint32_t words[kPerSector];
    for (std::uint32_t s = 0; s < l.fatSectors; ++s) {
        for (std::uint32_t i = 0; i < kPerSector; ++i) {
            const std::uint32_t n = s * kPerSector + i;
            if (n + 1 < l.streamSectors)
                words[i] = n + 1;
            else if (n + 1 == l.streamSectors || n == l.directory)
                words[i] = kEndOfChain;
            else if (n >= l.firstFat && n < l.firstDifat)
                words[i] = kFatSector;
            else if (n >= l.firstDifat && n < l.firstDifat + l.difatSectors)
                words[i] = kDifatSector;
            else
                words[i] = kFree;
        }
        if (!PutSector(words)) return false;
    }
    return true;
}

// Each DIFAT sector lists 127 FAT sectors and ends with the next DIFAT sector.
bool PlainCompoundFile::PutDifat(const Layout& l) {
    std::uint32_t words[kPerSector];
    for (std::uint32_t d = 0; d < l.difatSectors; ++d) {
        for (std::uint32_t i = 0; i < kPerSector - 1; ++i) {
            const std::uint32_t k = kHeaderDifat + d * (kPerSector - 1) + i;
            words[i] = k < l.fatSectors ? l.firstFat + k : kFree;
        }
        words[kPerSector - 1] = d + 1 < l.difatSectors ? l.firstDifat + d + 1 : kEndOfChain;
        if (!PutSector(words)) return false;
    }
    return true;
}

bool PlainCompoundFile::PutHeader(const Layout& l) {
    std::uint8_t header[kSector] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    Put16(header + 24, 0x3E);    // minor version
    Put16(header + 26, 3);       // major version: 512-byte sectors
    Put16(header + 28, 0xFFFE);  // little-endian
    Put16(header + 30, 9);       // sector shift
    Put16(header + 32, 6);       // mini sector shift
    Put32(header + 44, l.fatSectors);
    Put32(header + 48, l.directory);
    Put32(header + 56, static_cast<std::uint32_t>(kMinStream));
    Put32(header + 60, kEndOfChain);  // no mini FAT
    Put32(header + 68, l.difatSectors ? l.firstDifat : kEndOfChain);
    Put32(header + 72, l.difatSectors);
    for (std::uint32_t i = 0; i < kHeaderDifat; ++i)
        Put32(header + 76 + 4 * i, i < l.fatSectors ? l.firstFat + i : kFree);
    return Put(header, sizeof header);
}

}  // namespace ledgra::xls::detail
