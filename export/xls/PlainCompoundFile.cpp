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

bool PlainCompoundFile::Finish() {
    const std::uint64_t size = std::max(written_, kMinStream);
    std::vector<std::uint8_t> padding(
        static_cast<std::size_t>((size + kSector - 1) / kSector * kSector - written_), 0);
    if (!Put(padding.data(), padding.size())) return false;

    // Layout: stream sectors, one directory sector, FAT sectors, DIFAT sectors.
    const auto streamSectors = static_cast<std::uint32_t>((size + kSector - 1) / kSector);
    const std::uint32_t directory = streamSectors;
    std::uint32_t fatSectors = 1, difatSectors = 0;
    for (;;) {
        const std::uint32_t total = streamSectors + 1 + fatSectors + difatSectors;
        const std::uint32_t fat = (total + kPerSector - 1) / kPerSector;
        const std::uint32_t difat =
            fat > kHeaderDifat ? (fat - kHeaderDifat + kPerSector - 2) / (kPerSector - 1) : 0;
        if (fat == fatSectors && difat == difatSectors) break;
        fatSectors = fat;
        difatSectors = difat;
    }
    const std::uint32_t firstFat = directory + 1, firstDifat = firstFat + fatSectors;
    fileSize_ = std::uint64_t{kSector} * (1 + firstDifat + difatSectors);

    std::uint8_t entries[kSector] = {};
    DirectoryEntry(entries, "Root Entry", 5, 1, kEndOfChain, 0);
    DirectoryEntry(entries + 128, "Workbook", 2, kNoStream, 0, static_cast<std::uint32_t>(size));
    for (int i = 2; i < 4; ++i) {
        Put32(entries + 128 * i + 68, kNoStream);
        Put32(entries + 128 * i + 72, kNoStream);
        Put32(entries + 128 * i + 76, kNoStream);
    }
    if (!Put(entries, sizeof entries)) return false;

    std::uint32_t words[kPerSector];
    for (std::uint32_t s = 0; s < fatSectors; ++s) {
        for (std::uint32_t i = 0; i < kPerSector; ++i) {
            const std::uint32_t n = s * kPerSector + i;
            if (n + 1 < streamSectors)
                words[i] = n + 1;
            else if (n + 1 == streamSectors || n == directory)
                words[i] = kEndOfChain;
            else if (n >= firstFat && n < firstDifat)
                words[i] = kFatSector;
            else if (n >= firstDifat && n < firstDifat + difatSectors)
                words[i] = kDifatSector;
            else
                words[i] = kFree;
        }
        if (!PutSector(words)) return false;
    }
    // Each DIFAT sector lists 127 FAT sectors and ends with the next DIFAT sector.
    for (std::uint32_t d = 0; d < difatSectors; ++d) {
        for (std::uint32_t i = 0; i < kPerSector - 1; ++i) {
            const std::uint32_t k = kHeaderDifat + d * (kPerSector - 1) + i;
            words[i] = k < fatSectors ? firstFat + k : kFree;
        }
        words[kPerSector - 1] = d + 1 < difatSectors ? firstDifat + d + 1 : kEndOfChain;
        if (!PutSector(words)) return false;
    }

    std::uint8_t header[kSector] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    Put16(header + 24, 0x3E);    // minor version
    Put16(header + 26, 3);       // major version: 512-byte sectors
    Put16(header + 28, 0xFFFE);  // little-endian
    Put16(header + 30, 9);       // sector shift
    Put16(header + 32, 6);       // mini sector shift
    Put32(header + 44, fatSectors);
    Put32(header + 48, directory);
    Put32(header + 56, static_cast<std::uint32_t>(kMinStream));
    Put32(header + 60, kEndOfChain);  // no mini FAT
    Put32(header + 68, difatSectors ? firstDifat : kEndOfChain);
    Put32(header + 72, difatSectors);
    for (std::uint32_t i = 0; i < kHeaderDifat; ++i)
        Put32(header + 76 + 4 * i, i < fatSectors ? firstFat + i : kFree);
    if (failed_ || std::fseek(file_, 0, SEEK_SET) != 0) return false;
    return Put(header, sizeof header);
}

}  // namespace ledgra::xls::detail
