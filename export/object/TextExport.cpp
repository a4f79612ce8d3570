#include "object/TextExport.h"

#include <ledgra/LedgraInteraction.h>

#include "interaction/Interaction.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

#include <algorithm>
#include <cstdint>
#include <new>

namespace ledgra {

namespace {

// Blocks are whole huge pages (2 MiB), aligned, asked to be backed by huge
// pages and prefaulted writable in one call: filling fresh memory page by page
// costs a fault per 4 KiB, and on virtual machines a TLB miss per 4 KiB too,
// which made gathering the text many times slower than writing it.
constexpr std::size_t kHugePage = std::size_t{1} << 21;
constexpr std::size_t kFirstBlock = kHugePage;
constexpr std::size_t kLargestBlock = std::size_t{1} << 24;  // 16 MiB

#ifdef _WIN32
// Windows commits the block's pages as they are first touched; large pages
// need a privilege a user rarely has, so they are not asked for.
char* MapBlock(std::size_t capacity) {
    void* p = ::VirtualAlloc(nullptr, capacity, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (p == nullptr) throw std::bad_alloc();
    return static_cast<char*>(p);
}

void UnmapBlock(char* block, std::size_t) { ::VirtualFree(block, 0, MEM_RELEASE); }
#else
char* MapBlock(std::size_t capacity) {
    const std::size_t length = capacity + kHugePage;
    void* p = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    // Keep the aligned middle, give back the rest.
    const auto start = reinterpret_cast<std::uintptr_t>(p);
    const std::uintptr_t aligned = (start + kHugePage - 1) & ~(std::uintptr_t{kHugePage} - 1);
    if (aligned != start) ::munmap(p, aligned - start);
    const std::size_t tail = kHugePage - (aligned - start);
    if (tail != 0) ::munmap(reinterpret_cast<char*>(aligned) + capacity, tail);
    char* block = reinterpret_cast<char*>(aligned);
    ::madvise(block, capacity, MADV_HUGEPAGE);        // a hint; fine if refused
    ::madvise(block, capacity, MADV_POPULATE_WRITE);  // likewise (older kernels)
    return block;
}

void UnmapBlock(char* block, std::size_t capacity) { ::munmap(block, capacity); }
#endif

}  // namespace

bool NeedsQuotes(std::string_view text) {
    if (text.empty()) return false;
    if (text.front() == '"') return true;
    for (const char c : text)
        if (c == ',' || c == '\n' || c == '\r') return true;
    return false;
}

TextBuffer::~TextBuffer() {
    for (const Block& b : blocks_) UnmapBlock(b.data, b.capacity);
}

void TextBuffer::CloseBlock() {
    if (!blocks_.empty()) blocks_.back().used = static_cast<std::size_t>(next_ - blocks_.back().data);
}

void TextBuffer::Stream(std::string_view bytes) {
    std::string error;
    if (!stream_->Write(bytes, error)) throw StreamFailed{error};
    stream_->StartFlush();
}

// Writes the streamed block's text and makes its whole room free again.
void TextBuffer::Drain() {
    Block& b = blocks_.back();
    Stream(std::string_view(b.data, static_cast<std::size_t>(next_ - b.data)));
    next_ = b.data;
}

void TextBuffer::AddBlock(std::size_t atLeast) {
    if (stream_ != nullptr && !blocks_.empty() && atLeast <= blocks_.back().capacity) {
        Drain();
        return;
    }
    CloseBlock();
    std::size_t capacity =
        blocks_.empty() ? kFirstBlock : std::min(blocks_.back().capacity * 2, kLargestBlock);
    if (atLeast > capacity) {
        if (atLeast > SIZE_MAX - 2 * kHugePage) throw std::bad_alloc();
        capacity = (atLeast + kHugePage - 1) & ~(kHugePage - 1);
    }
    blocks_.reserve(blocks_.size() + 1);
    char* p = MapBlock(capacity);
    blocks_.push_back({p, capacity, 0});
    next_ = p;
    end_ = next_ + capacity;
}

void TextBuffer::AppendSlow(const char* data, std::size_t size) {
    const std::size_t room = static_cast<std::size_t>(end_ - next_);
    if (room != 0) {
        std::memcpy(next_, data, room);
        next_ += room;
    }
    data += room;
    size -= room;
    if (stream_ != nullptr && !blocks_.empty() && size > blocks_.back().capacity) {
        Drain();
        Stream(std::string_view(data, size));  // larger than a block: as it is
        return;
    }
    AddBlock(size);
    std::memcpy(next_, data, size);
    next_ += size;
}

std::size_t TextBuffer::size() const {
    std::size_t total = 0;
    for (std::size_t i = 0; i + 1 < blocks_.size(); ++i) total += blocks_[i].used;
    if (!blocks_.empty()) total += static_cast<std::size_t>(next_ - blocks_.back().data);
    return total;
}

bool TextBuffer::CommitTo(filesafe::Replacement& file, std::string& error) {
    CloseBlock();
    if (stream_ == nullptr && !file.Reserve(size(), error)) return false;
    for (const Block& b : blocks_)
        if (!file.Write(std::string_view(b.data, b.used), error)) return false;
    return file.Commit(error);
}

int WriteTableAsText(ExportTable& table) {
    CallbackCells cells(table.cellText, table.userData);
    return WriteTableAsText(table, cells);
}

int WriteTableAsText(ExportTable& table, CellSource& cells) {
    Interaction& ui = CurrentInteraction();
    if (table.cellText == nullptr && table.rows >= 1 && table.columns >= 1) {
        SetOutcome(LEDGRA_NO_CALLBACK);
        ui.AfxMessageBox(kMsgCallBackFailed, MB_OK, 0);
        return 0;
    }

    std::string path;
    SaveDialogRequest request;
    request.defaultExt = ".txt";
    request.initialName = "ListLogFile.txt";
    request.flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
    request.filter = kTextExportFilter;
    if (ui.SaveDialog(request, path) != IDOK) {
        SetOutcome(LEDGRA_CANCELLED);
        return 0;
    }

    // The rows end with exactly the CR LF written (no text-mode translation).
    std::string error;
    std::unique_ptr<filesafe::Replacement> file = filesafe::Replacement::Begin(path, error);
    if (!file) {
        SetOutcome(LEDGRA_OPEN_FAILED);
        ui.AfxMessageBox(kMsgTextOpenFailed, MB_OK, 0);
        return 0;
    }
    const bool written = WriteGathered(
        *file, [&](TextBuffer& text) { cells.AppendRows(1, table.rows, table.columns, text); }, error);
    if (!written) {
        SetOutcome(LEDGRA_WRITE_FAILED);
        ui.AfxMessageBox(kMsgWriteFailed, MB_OK, 0);
        return 0;
    }
    return 1;
}

void AppendCellSlowly(TextBuffer& out, bool comma, std::string_view text) { AppendCell(out, comma, text); }

}  // namespace ledgra
