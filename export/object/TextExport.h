// The comma-separated text the exports write, shared by WriteToTextFile and the
// text branch of the workbook export.
//
// Each row is the cells' texts joined by "," and ended by exactly CR LF (the
// file is opened in binary mode). A text that holds a comma, a CR or an LF, or
// that begins with a double quote, is enclosed in double quotes with its inner
// double quotes doubled; any other text is written byte for byte, so files
// without such texts are unchanged.
#pragma once

#include "filesafe.h"
#include "object/Table.h"
#include "text/Words.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace ledgra {

// Texts shown by the text export.
inline constexpr const char* kTextExportFilter = "Text Documents(*.txt)|*.txt; *.txt|All Files (*.*)|*.*||";
inline constexpr const char* kMsgCallBackFailed = "CallBack Failed";
inline constexpr const char* kMsgTextOpenFailed = "File OPen Failed";
inline constexpr const char* kMsgWriteFailed = "File Write Failed";

// True when text must be quoted to stay one field.
bool NeedsQuotes(std::string_view text);

// Appends text quoted, inner quotes doubled (Out: std::string or TextBuffer).
template <class Out>
void AppendQuoted(Out& out, std::string_view text) {
    out.push_back('"');
    for (;;) {
        const std::size_t quote = text.find('"');
        if (quote == std::string_view::npos) break;
        out.append(text.data(), quote + 1);
        out.push_back('"');
        text.remove_prefix(quote + 1);
    }
    out.append(text.data(), text.size());
    out.push_back('"');
}

// Appends text to out as one field (no separator).
template <class Out>
void AppendField(Out& out, std::string_view text) {
    if (NeedsQuotes(text))
        AppendQuoted(out, text);
    else
        out.append(text.data(), text.size());
}

// Growing text in large blocks that are never moved or copied: the whole
// export is gathered here before anything is written. Blocks come from the
// system already backed by memory (one call instead of a page fault per page,
// which dominates the cost of a growing string).
class TextBuffer {
public:
    TextBuffer() = default;
    ~TextBuffer();
    TextBuffer(const TextBuffer&) = delete;
    TextBuffer& operator=(const TextBuffer&) = delete;

    void append(const char* data, std::size_t size) {
        if (size <= static_cast<std::size_t>(end_ - next_)) {
            if (size != 0) std::memcpy(next_, data, size);
            next_ += size;
        } else {
            AppendSlow(data, size);
        }
    }
    void push_back(char c) {
        if (next_ == end_) AddBlock(1);
        *next_++ = c;
    }
    // Appends "," (when comma) and text when text needs no quotes and fits
    // the current block, checking a short text in the words it is copied
    // with; false (nothing appended) otherwise.
    bool TryAppendPlainCell(bool comma, std::string_view text) {
        const std::size_t n = text.size();
        const char* from = text.data();
        if (n >= static_cast<std::size_t>(end_ - next_) || (n != 0 && from[0] == '"')) return false;
        char* to = next_;
        *to = ',';
        to += comma;
        if (n <= 16) {
            if (!CopyShortPlain(to, from, n)) return false;
        } else {
            for (std::size_t at = 0; at < n; at += 16) {
                const char* chunk = from + std::min(at, n - 16);  // the last one ends with the text
                if (HasSeparator(text::LoadWord(chunk, 8), text::LoadWord(chunk + 8, 8))) return false;
            }
            std::memcpy(to, from, n);
        }
        next_ = to + n;
        return true;
    }
    std::size_t size() const;  // of the text held
    // From now on the text goes to file as each block fills, and the block is
    // used again: the whole text is never held. A failed write throws
    // StreamFailed (with the error); what was written is the replacement's
    // and goes with it. Only for a file not rewritten in place, which needs
    // its room reserved before the first byte.
    void StreamTo(filesafe::Replacement& file) { stream_ = &file; }
    struct StreamFailed {
        std::string error;
    };
    // Reserves room for the whole text, writes it (what is left of it when
    // streamed) and puts it in place of the file being replaced; false with
    // error set when any step fails.
    bool CommitTo(filesafe::Replacement& file, std::string& error);

private:
    // Copies n (at most 16) bytes as two overlapping words, unless one of
    // them is ',', CR or LF (false, nothing copied).
    static bool CopyShortPlain(char* to, const char* from, std::size_t n) {
        const text::ShortWords words = text::LoadShort(from, n);
        if (HasSeparator(words.first, words.last)) return false;
        text::StoreShort(to, words, n);
        return true;
    }
    // True when a byte of either word is ',', CR or LF (zero bytes are none).
    static bool HasSeparator(std::uint64_t a, std::uint64_t b) {
        constexpr std::uint64_t kOnes = 0x0101010101010101u;
        const auto hasZero = [](std::uint64_t v) { return (v - kOnes) & ~v & (kOnes << 7); };
        const auto has = [&](std::uint64_t v) {
            return hasZero(v ^ kOnes * ',') | hasZero(v ^ kOnes * '\n') | hasZero(v ^ kOnes * '\r');
        };
        return (has(a) | has(b)) != 0;
    }

    struct Block {
        char* data;
        std::size_t capacity;
        std::size_t used;
    };
    void AppendSlow(const char* data, std::size_t size);
    void AddBlock(std::size_t atLeast);
    void CloseBlock();
    void Drain();
    void Stream(std::string_view bytes);

    std::vector<Block> blocks_;
    char* next_ = nullptr;
    char* end_ = nullptr;
    filesafe::Replacement* stream_ = nullptr;
};

// Writes the text gather appends to a TextBuffer into file and puts it in
// place of the file being replaced: streamed as it is gathered, or gathered
// whole first where the file is rewritten in place (its room is reserved
// before the first byte). False with error set when any step fails.
template <class Gather>
bool WriteGathered(filesafe::Replacement& file, Gather gather, std::string& error) {
    TextBuffer text;
    if (!file.InPlace()) text.StreamTo(file);
    try {
        gather(text);
        return text.CommitTo(file, error);
    } catch (const TextBuffer::StreamFailed& failed) {
        error = failed.error;
        return false;
    }
}

// Appends "," (when comma) and text as one field.
template <class Out>
void AppendCell(Out& out, bool comma, std::string_view text) {
    if (comma) out.push_back(',');
    AppendField(out, text);
}

// AppendCell, out of line: for the texts TextBuffer::TryAppendPlainCell leaves.
void AppendCellSlowly(TextBuffer& out, bool comma, std::string_view text);

// Where a writer's cells come from. AppendRows appends rows first..last as
// lines: for each column 0..columns-1, the cell's text asked for with the
// type preset to -1 (valid until the next cell is asked for), then "," (after
// column 0) and the field; each line ends with "\r\n", also for columns <= 0.
class CellSource {
public:
    virtual ~CellSource() = default;
    virtual void AppendRows(long long first, long long last, int columns, TextBuffer& out) = 0;
};

// AppendRows over Derived::Cell(row, column, type), which the rows call
// directly (Derived is final), not through the virtual table.
template <class Derived>
class CellSourceOf : public CellSource {
public:
    void AppendRows(long long first, long long last, int columns, TextBuffer& out) final {
        Derived& cells = static_cast<Derived&>(*this);
        for (long long row = first; row <= last; ++row) {
            for (int column = 0; column < columns; ++column) {
                int type = -1;
                const std::string_view text = cells.Cell(static_cast<int>(row), column, &type);
                if (!out.TryAppendPlainCell(column != 0, text)) AppendCellSlowly(out, column != 0, text);
            }
            out.append("\r\n", 2);
        }
    }
};

// The cells of a CellTextFn: the text is not emptied between calls, so a
// callback that assigns nothing repeats the previous text.
class CallbackCells final : public CellSourceOf<CallbackCells> {
public:
    CallbackCells(CellTextFn fn, void* userData) : fn_(fn), userData_(userData) {}
    std::string_view Cell(int row, int column, int* type) {
        fn_(userData_, row, column, text_, type);
        return text_;
    }

private:
    CellTextFn fn_;
    void* userData_;
    std::string text_;
};

// Pulls one row through the callback and appends it to out as one line. For
// each column 0..columns-1: the type is set to -1, fn is called with
// (userData, row, column, cellText, &type), then "," (after column 0) and the
// field are appended. cellText is not emptied between calls, so a callback that
// assigns nothing repeats the previous text. Ends the line with "\r\n", also
// for columns <= 0. fn may be null only when columns <= 0.
template <class Out>
void AppendRow(CellTextFn fn, void* userData, int row, int columns, std::string& cellText, Out& out) {
    for (int column = 0; column < columns; ++column) {
        int type = -1;
        fn(userData, row, column, cellText, &type);
        AppendCell(out, column != 0, cellText);
    }
    out.append("\r\n", 2);
}

// WriteToTextFile: the save dialog, then every row pulled through the
// callback and written as it comes (WriteGathered), the whole text put in
// place of the chosen file's content at the end (which stays as it was when
// anything fails).
int WriteTableAsText(ExportTable& table);
// The same with the cells read from cells.
int WriteTableAsText(ExportTable& table, CellSource& cells);

}  // namespace ledgra
