// A profile file as read from disk: its text and an index of its sections,
// built once by the line reader. The index holds offsets only; names, keys and
// values are views into the text. The lines of a section are read again from
// the text whenever they are asked for: a section is read whole or searched
// once, and an index of every line would take more memory than the text.
//
// The text is the file as the A functions see it. For an ANSI file it is the
// file's bytes. For a UTF-16LE file it holds one code page 1252 byte per code
// unit, so offsets into it are also offsets into units(), which the editor
// copies when it writes the file back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "profile_parser.h"

namespace ardmon::profile {

enum class Encoding { kAnsi, kUtf16le };

// One key line or bare line of a section.
struct ProfileEntry {
    static constexpr std::uint32_t kBare = 0xFFFFFFFF;
    std::uint32_t key_begin = 0, key_end = 0;      // for a bare line: its text
    std::uint32_t value_begin = 0, value_end = 0;  // empty for a bare line
    std::uint32_t line_end = 0, line_next = 0;     // as in LineInfo
    std::uint32_t equals = kBare;
    Span key() const { return {key_begin, key_end}; }
    Span value() const { return {value_begin, value_end}; }
    bool IsBare() const { return equals == kBare; }
};

struct ProfileSection {
    LineInfo header;
    Span name;
    size_t lines_end = 0;  // where its lines end: the next header, else the end of the text
    size_t entry_count = 0;
    size_t insert_at = 0;  // where a new key goes: after the last entry, else after the header
};

// Section and key names compare without regard to case, as in code page 1252
// (ASCII letters and the accented Latin letters).
std::string FoldName(std::string_view name);
bool SameName(std::string_view a, std::string_view b);
// A hash of the name that names which are the same (SameName) share.
size_t FoldedHash(std::string_view name);

class ProfileDocument {
public:
    ProfileDocument() = default;
    // The largest file the launcher reads or writes (256 MiB). Its index
    // takes 64 bytes a section, at most about twenty times its size (a header
    // "[]" in every three bytes), and a larger file is no profile a person wrote.
    static constexpr size_t kMaxBytes = size_t{256} << 20;
    // Reads a file's bytes (UTF-16LE when they start with FF FE); at most
    // kMaxBytes of them.
    static ProfileDocument FromFileBytes(std::string bytes);

    Encoding encoding() const { return encoding_; }
    // Whether the text holds a NUL byte anywhere.
    bool holds_nul() const { return holds_nul_; }
    std::string_view text() const { return text_; }
    std::string_view View(Span span) const { return std::string_view(text_).substr(span.begin, span.size()); }
    const std::vector<ProfileSection>& sections() const { return sections_; }

    // Calls fn(const ProfileEntry&) for each key line and bare line of
    // section, in file order.
    template <class Fn>
    void ForEachEntry(const ProfileSection& section, Fn&& fn) const
    {
        ForEachEntryIn(section.header.next, section.lines_end, fn);
    }

    // The same for the lines [begin, end) of a section; begin and end are
    // where lines start.
    template <class Fn>
    void ForEachEntryIn(size_t begin, size_t end, Fn&& fn) const
    {
        class Reader : public ParseHandler {
        public:
            explicit Reader(Fn& fn) : fn_(fn) {}
            void OnSection(const LineInfo&, Span) override {}
            void OnEntry(const LineInfo& line, Span key, Span value, size_t equals) override
            {
                fn_(MakeEntry(line, key, value, equals));
            }
            void OnBareLine(const LineInfo& line, Span text) override
            {
                fn_(MakeEntry(line, text, Span{text.end, text.end}, ProfileEntry::kBare));
            }

        private:
            Fn& fn_;
        } reader(fn);
        ParseSectionLines(text_, begin, end, reader);
    }

    // The first section of that name, or null. Later sections of the same
    // name are listed but never searched, as on Windows.
    const ProfileSection* FindSection(std::string_view name) const;
    // The first key line of that key in the section: false when there is none.
    bool FindKey(const ProfileSection& section, std::string_view key, ProfileEntry& found) const;

    // Whether a name can be asked for with the A functions at all. In a
    // UTF-16LE file a name holding a character outside the code page reads
    // with '?' in its place, yet asking for that '?' does not find it.
    bool Reachable(Span name) const;

    // The file's code units (UTF-16LE files only) and a last odd byte.
    const std::u16string& units() const { return units_; }
    const std::string& odd_tail() const { return odd_tail_; }

    static ProfileEntry MakeEntry(const LineInfo& line, Span key, Span value, size_t equals);

private:
    friend class DocumentBuilder;
    Encoding encoding_ = Encoding::kAnsi;
    bool holds_nul_ = false;
    std::string text_;
    std::u16string units_;
    std::string odd_tail_;
    std::vector<ProfileSection> sections_;
    std::unordered_map<std::string, size_t> first_section_;
};

}  // namespace ardmon::profile
