// A compound file (OLE2, version 3, 512-byte sectors) holding the one
// "Workbook" stream, written straight to an open file without any library:
// a header placeholder, the stream's sectors as they come, then the directory,
// the allocation table (FAT) and its extension (DIFAT), then the real header.
// The same bytes on every platform.
#pragma once

#include "xls/Biff8.h"

#include <cstdint>
#include <cstdio>

namespace ledgra::xls::detail {

// At least the compound file's size for a stream of streamSize bytes (the
// header, the stream padded to whole sectors, its allocation tables and
// directory), to reserve room before a file is rewritten in place.
inline std::uint64_t CompoundFileRoom(std::uint64_t streamSize) {
    return streamSize + streamSize / 64 + 16384;
}

// The stream begins after the header sector, its sectors in order.
constexpr std::uint64_t kCompoundStreamStart = 512;

class PlainCompoundFile final : public StreamSink {
public:
    // file: opened for binary writing, empty, seekable; the caller closes it.
    explicit PlainCompoundFile(std::FILE* file);

    bool Write(const void* data, std::size_t size) override;
    // Writes everything after the stream and the header; false on a write error
    // (errno tells why).
    bool Finish();
    // The whole file's size once finished.
    std::uint64_t FileSize() const { return fileSize_; }

private:
    // Where everything after the stream goes, in sectors after the header.
    struct Layout {
        std::uint64_t streamSize = 0;  // padded to the mini-stream limit
        std::uint32_t streamSectors = 0, directory = 0;
        std::uint32_t fatSectors = 1, difatSectors = 0;
        std::uint32_t firstFat = 0, firstDifat = 0;
    };
    static Layout LayOut(std::uint64_t streamSize);
    bool PutDirectory(const Layout& l);
    bool PutFat(const Layout& l);
    bool PutDifat(const Layout& l);
    bool PutHeader(const Layout& l);
    bool Put(const void* data, std::size_t size);
    bool PutSector(const std::uint32_t (&words)[128]);

    std::FILE* file_;
    std::uint64_t written_ = 0;  // bytes of the stream
    std::uint64_t fileSize_ = 0;
    bool failed_ = false;
};

}  // namespace ledgra::xls::detail
