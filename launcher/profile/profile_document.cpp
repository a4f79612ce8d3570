#include "profile_document.h"

#include <algorithm>
#include <array>
#include <utility>

#include "text_encoding.h"

namespace ardmon::profile {
namespace {

// Upper case to lower case for code page 1252.
constexpr std::array<unsigned char, 256> MakeFoldTable()
{
    std::array<unsigned char, 256> t{};
    for (int c = 0; c < 256; ++c)
        t[c] = static_cast<unsigned char>(c);
    for (int c = 'A'; c <= 'Z'; ++c)
        t[c] = static_cast<unsigned char>(c + 32);
    for (int c = 0xC0; c <= 0xDE; ++c) {
        if (c != 0xD7) t[c] = static_cast<unsigned char>(c + 32);
    }
    t[0x8A] = 0x9A;  // S caron
    t[0x8C] = 0x9C;  // OE
    t[0x8E] = 0x9E;  // Z caron
    t[0x9F] = 0xFF;  // Y diaeresis
    return t;
}
constexpr std::array<unsigned char, 256> kFold = MakeFoldTable();

unsigned char Fold(char c)
{
    return kFold[static_cast<unsigned char>(c)];
}

}  // namespace

std::string FoldName(std::string_view name)
{
    std::string out(name.size(), '\0');
    for (size_t i = 0; i < name.size(); ++i)
        out[i] = static_cast<char>(Fold(name[i]));
    return out;
}

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Fold(a[i]) != Fold(b[i])) return false;
    }
    return true;
}

size_t FoldedHash(std::string_view name)
{
    std::uint64_t h = 0xCBF29CE484222325ULL;  // FNV-1a over the folded bytes
    for (char c : name)
        h = (h ^ Fold(c)) * 0x100000001B3ULL;
    return static_cast<size_t>(h ^ (h >> 29));
}

class DocumentBuilder : public ParseHandler {
public:
    explicit DocumentBuilder(ProfileDocument& doc) : doc_(doc) {}

    void OnSection(const LineInfo& line, Span name) override
    {
        if (!doc_.sections_.empty()) doc_.sections_.back().lines_end = line.begin;
        ProfileSection section;
        section.header = line;
        section.name = name;
        section.lines_end = line.next;
        section.insert_at = line.next;
        if (doc_.Reachable(name)) {
            doc_.first_section_.try_emplace(FoldName(doc_.View(name)), doc_.sections_.size());
        }
        doc_.sections_.push_back(section);
    }

    void OnEntry(const LineInfo& line, Span, Span, size_t) override { Add(line); }
    void OnBareLine(const LineInfo& line, Span) override { Add(line); }

    // The section's lines reach to the end of the text until a header follows.
    void Finish()
    {
        if (!doc_.sections_.empty()) doc_.sections_.back().lines_end = doc_.text_.size();
    }

private:
    void Add(const LineInfo& line)
    {
        ProfileSection& section = doc_.sections_.back();
        ++section.entry_count;
        section.insert_at = line.next;
    }

    ProfileDocument& doc_;
};

ProfileDocument ProfileDocument::FromFileBytes(std::string bytes)
{
    ProfileDocument doc;
    if (HasUtf16leBom(bytes)) {
        doc.encoding_ = Encoding::kUtf16le;
        doc.units_ = UnitsFromUtf16le(std::string_view(bytes).substr(2), doc.odd_tail_);
        doc.text_.resize(doc.units_.size());
        for (size_t i = 0; i < doc.units_.size(); ++i)
            doc.text_[i] = AnsiFromUnit(doc.units_[i]);
    } else {
        doc.text_ = std::move(bytes);
    }
    doc.holds_nul_ = doc.text_.find('\0') != std::string::npos;
    DocumentBuilder builder(doc);
    ParseProfileText(doc.text_, builder);
    builder.Finish();
    return doc;
}

const ProfileSection* ProfileDocument::FindSection(std::string_view name) const
{
    auto it = first_section_.find(FoldName(name));
    return it == first_section_.end() ? nullptr : &sections_[it->second];
}

bool ProfileDocument::FindKey(const ProfileSection& section, std::string_view key, ProfileEntry& found) const
{
    bool seen = false;
    ForEachEntry(section, [&](const ProfileEntry& entry) {
        if (!seen && !entry.IsBare() && SameName(View(entry.key()), key) && Reachable(entry.key())) {
            found = entry;
            seen = true;
        }
    });
    return seen;
}

ProfileEntry ProfileDocument::MakeEntry(const LineInfo& line, Span key, Span value, size_t equals)
{
    auto narrow = [](size_t offset) { return static_cast<std::uint32_t>(offset); };
    return ProfileEntry{narrow(key.begin), narrow(key.end),   narrow(value.begin), narrow(value.end),
                        narrow(line.end),  narrow(line.next), narrow(equals)};
}

bool ProfileDocument::Reachable(Span name) const
{
    if (encoding_ == Encoding::kAnsi) return true;
    for (size_t i = name.begin; i < name.end; ++i) {
        if (text_[i] == '?' && units_[i] != u'?') return false;
    }
    return true;
}

}  // namespace ardmon::profile
