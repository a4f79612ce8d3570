#include "profile_edit.h"

#include <algorithm>
#include <cstring>

#include "text_encoding.h"

namespace ardmon::profile {

void EditSet::Put(std::string_view section, std::string_view key, std::string_view value)
{
    size_t s = last_;
    if (s >= sections_.size() || !SameName(sections_[s].name, section)) {
        auto [it, added] = index_.try_emplace(FoldName(section), sections_.size());
        if (added) sections_.push_back(PendingSection{std::string(section), {}});
        s = it->second;
        last_ = s;
    }
    const size_t size = key.size() + value.size();
    if (size > block_left_) {
        const size_t block = std::max(size, kBlockSize);
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(block));
        block_next_ = blocks_.back().get();
        block_left_ = block;
    }
    char* text = block_next_;
    if (!key.empty()) std::memcpy(text, key.data(), key.size());
    if (!value.empty()) std::memcpy(text + key.size(), value.data(), value.size());
    block_next_ += size;
    block_left_ -= size;
    sections_[s].keys.push_back(PendingKey{text, key.size(), value.size()});
}

namespace {

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

struct NewSection {
    std::string_view name;
    std::vector<KeyLine> keys;
};

// One change at one place of the file. The texts stay where they are (in the
// edit set) until the new file is put together.
struct Op {
    size_t begin = 0;
    size_t end = 0;
    int order = 0;              // at one offset: replacement, then insertion, then new sections
    bool break_before = false;  // an insertion: start on a line of its own
    bool break_after = false;
    std::string_view value;            // replacement of [begin, end)
    std::vector<KeyLine> keys;         // new key lines
    std::vector<NewSection> sections;  // new sections with their keys
};

template <class Char>
void Emit(std::basic_string<Char>& out, std::string_view text)
{
    if constexpr (sizeof(Char) == 1) {
        out.append(text);
    } else {
        for (char c : text)
            out.push_back(UnitFromAnsi(static_cast<unsigned char>(c)));
    }
}

template <class Char>
void EmitBreak(std::basic_string<Char>& out)
{
    out.push_back(Char('\r'));
    out.push_back(Char('\n'));
}

template <class Char>
void EmitKey(std::basic_string<Char>& out, const KeyLine& k)
{
    Emit(out, k.key);
    out.push_back(Char('='));
    Emit(out, k.value);
    EmitBreak(out);
}

constexpr size_t kNoOp = static_cast<size_t>(-1);

size_t KeyLineSize(const KeyLine& k)
{
    return k.key.size() + k.value.size() + 3;
}

template <class Char>
std::basic_string<Char> Splice(std::basic_string_view<Char> src, const std::vector<Op>& ops, size_t extra)
{
    std::basic_string<Char> out;
    out.reserve(src.size() + extra);
    size_t pos = 0;
    for (const Op& op : ops) {
        out.append(src.substr(pos, op.begin - pos));
        if (op.break_before && !out.empty() && out.back() != Char('\r') && out.back() != Char('\n')) {
            EmitBreak(out);
        }
        Emit(out, op.value);
        for (const KeyLine& k : op.keys)
            EmitKey(out, k);
        for (const NewSection& section : op.sections) {
            out.push_back(Char('['));
            Emit(out, section.name);
            out.push_back(Char(']'));
            EmitBreak(out);
            for (const KeyLine& k : section.keys)
                EmitKey(out, k);
        }
        if (op.break_after) EmitBreak(out);
        pos = op.end;
    }
    out.append(src.substr(pos));
    return out;
}

}  // namespace

// Where a key of one section goes: a line of the file, or the n-th new line.
struct KeyPlace {
    const ProfileEntry* entry = nullptr;
    size_t index = 0;  // into ops (replacement) or the new lines
};

EditResult ApplyEdits(const ProfileDocument& doc, const EditSet& edits)
{
    std::vector<Op> ops;
    Op append;
    append.begin = append.end = doc.text().size();
    append.order = 2;
    append.break_before = true;
    size_t extra = 0;
    const auto& entries = doc.entries();
    std::unordered_map<std::string, KeyPlace> places;  // folded key -> place, per section
    for (const PendingSection& pending : edits.sections()) {
        places.clear();
        const ProfileSection* section = doc.FindSection(pending.name);
        std::vector<KeyLine> new_lines;
        places.reserve(pending.keys.size() + (section != nullptr ? section->entry_count : 0));
        if (section != nullptr) {
            // The first key line of each name in this section.
            for (size_t i = 0; i < section->entry_count; ++i) {
                const ProfileEntry& e = entries[section->first_entry + i];
                if (!e.IsBare() && doc.Reachable(e.key())) {
                    places.try_emplace(FoldName(doc.View(e.key())), KeyPlace{&e, kNoOp});
                }
            }
        }
        for (const PendingKey& pk : pending.keys) {
            const KeyLine k{edits.KeyOf(pk), edits.ValueOf(pk)};
            auto [it, added] = places.try_emplace(FoldName(k.key), KeyPlace{nullptr, new_lines.size()});
            KeyPlace& place = it->second;
            if (added) {
                new_lines.push_back(k);
            } else if (place.entry == nullptr) {
                new_lines[place.index].value = k.value;
            } else if (place.index != kNoOp) {
                ops[place.index].value = k.value;
            } else {
                const ProfileEntry& e = *place.entry;
                Op replace;
                replace.begin = e.equals + 1;
                replace.end = e.line_end;
                replace.value = k.value;
                replace.break_after = e.line_next == e.line_end;
                place.index = ops.size();
                ops.push_back(std::move(replace));
            }
        }
        if (section == nullptr) {
            extra += pending.name.size() + 4;
            for (const KeyLine& k : new_lines)
                extra += KeyLineSize(k);
            append.sections.push_back(NewSection{pending.name, std::move(new_lines)});
        } else if (!new_lines.empty()) {
            Op insert;
            insert.begin = insert.end = section->insert_at;
            insert.order = 1;
            insert.break_before = true;
            extra += 2;
            for (const KeyLine& k : new_lines)
                extra += KeyLineSize(k);
            insert.keys = std::move(new_lines);
            ops.push_back(std::move(insert));
        }
    }
    // A replacement changes the file unless it puts back the same value on a
    // line that already ends in a line break.
    bool changed = false;
    for (const Op& op : ops) {
        extra += op.value.size() + 2;
        if (op.order > 0 || op.break_after || doc.text().substr(op.begin, op.end - op.begin) != op.value) {
            changed = true;
        }
    }
    if (!append.sections.empty()) {
        extra += 2;
        changed = true;
        ops.push_back(std::move(append));
    }
    std::sort(ops.begin(), ops.end(), [](const Op& a, const Op& b) {
        return a.begin != b.begin ? a.begin < b.begin : a.order < b.order;
    });

    EditResult result;
    result.changed = changed;
    if (doc.encoding() == Encoding::kAnsi) {
        result.bytes = Splice<char>(doc.text(), ops, extra);
    } else {
        std::u16string units = Splice<char16_t>(doc.units(), ops, extra);
        result.bytes.reserve(2 + 2 * units.size() + doc.odd_tail().size());
        result.bytes = "\xFF\xFE";
        AppendUtf16le(result.bytes, units);
        result.bytes += doc.odd_tail();
    }
    return result;
}

}  // namespace ardmon::profile
