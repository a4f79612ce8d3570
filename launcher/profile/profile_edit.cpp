#include "profile_edit.h"

#include <algorithm>
#include <cstring>
#include <utility>

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
    sections_[s].keys.push_back(
        PendingKey{text, static_cast<std::uint32_t>(key.size()), static_cast<std::uint32_t>(value.size())});
}

namespace {

// A new key line: the key as first written, the value as last written. The
// texts stay in the edit set.
struct KeyLine {
    const PendingKey* first;
    const PendingKey* latest;
    std::string_view key() const { return EditSet::KeyOf(*first); }
    std::string_view value() const { return EditSet::ValueOf(*latest); }
};

struct NewSection {
    std::string_view name;
    std::vector<KeyLine> keys;
};

// What a change does; at one offset of the file the changes go in this order.
enum class OpKind {
    kReplaceValue,    // a new value for a key line of the file
    kInsertKeys,      // new key lines at the end of a section of the file
    kAppendSections,  // new sections at the end of the file
};

// One change at one place of the file. The texts stay where they are (in the
// edit set) until the new file is put together.
struct Op {
    size_t begin = 0;
    size_t end = 0;
    OpKind kind = OpKind::kReplaceValue;
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
    Emit(out, k.key());
    out.push_back(Char('='));
    Emit(out, k.value());
    EmitBreak(out);
}

size_t KeyLinesSize(const std::vector<KeyLine>& keys)
{
    size_t size = 0;
    for (const KeyLine& k : keys)
        size += k.first->key_size + k.latest->value_size + 3;
    return size;
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

// Where a written key of one section goes.
struct KeyPlace {
    enum class Kind {
        kFileLine,     // its line in the file, not changed yet
        kReplacement,  // its line in the file, changed by ops[index]
        kNewLine,      // new_lines[index]
    };
    Kind kind;
    const ProfileEntry* entry = nullptr;  // the file's line, for kFileLine
    size_t index = 0;
};

// The keys of one section, compared as names are (SameName), each with its
// place. Made empty at the size a section will need, so it never grows while
// it is filled and a place it handed out stays where it is; one table serves
// every section in turn. The keys are views into the document or the edit
// set, which outlive it.
class KeyPlaces {
public:
    void Reset(size_t most)
    {
        size_ = 16;
        while (size_ < most * 2)
            size_ *= 2;
        if (slots_.size() < size_) slots_.resize(size_);
        std::fill_n(slots_.begin(), size_, Slot{});
    }

    // The place of key, and whether it was added (as place) just now.
    std::pair<KeyPlace*, bool> TryEmplace(std::string_view key, const KeyPlace& place)
    {
        const size_t mask = size_ - 1;
        for (size_t i = FoldedHash(key) & mask;; i = (i + 1) & mask) {
            Slot& slot = slots_[i];
            if (!slot.used) {
                slot = Slot{key, place, true};
                return {&slot.place, true};
            }
            if (SameName(slot.key, key)) return {&slot.place, false};
        }
    }

private:
    struct Slot {
        std::string_view key;
        KeyPlace place{KeyPlace::Kind::kFileLine};
        bool used = false;
    };
    std::vector<Slot> slots_;
    size_t size_ = 0;  // in use, a power of two
};

// The changes to a document, collected section by section.
class EditPlan {
public:
    explicit EditPlan(const ProfileDocument& doc) : doc_(doc)
    {
        append_.begin = append_.end = doc.text().size();
        append_.kind = OpKind::kAppendSections;
        append_.break_before = true;
    }

    void AddSection(const PendingSection& pending)
    {
        const ProfileSection* section = doc_.FindSection(pending.name);
        std::vector<KeyLine> new_lines;
        places_.Reset((section != nullptr ? section->entry_count : 0) + pending.keys.size());
        KeyLinesOf(section, places_);
        for (const PendingKey& pk : pending.keys) {
            PlaceKey(pk, places_, new_lines);
        }
        if (section == nullptr) {
            AppendSection(pending.name, std::move(new_lines));
        } else if (!new_lines.empty()) {
            InsertKeys(*section, std::move(new_lines));
        }
    }

    // The changes in file order, and the characters they add (a size hint).
    std::vector<Op> Finish(size_t& extra)
    {
        for (const Op& op : ops_)
            extra_ += op.value.size() + 2;
        if (!append_.sections.empty()) {
            extra_ += 2;
            ops_.push_back(std::move(append_));
        }
        std::sort(ops_.begin(), ops_.end(), [](const Op& a, const Op& b) {
            return a.begin != b.begin ? a.begin < b.begin : a.kind < b.kind;
        });
        extra = extra_;
        return std::move(ops_);
    }

private:
    // The first key line of each name in section (none for a new section).
    void KeyLinesOf(const ProfileSection* section, KeyPlaces& places) const
    {
        for (size_t i = 0; section != nullptr && i < section->entry_count; ++i) {
            const ProfileEntry& e = doc_.entries()[section->first_entry + i];
            if (!e.IsBare() && doc_.Reachable(e.key())) {
                places.TryEmplace(doc_.View(e.key()), KeyPlace{KeyPlace::Kind::kFileLine, &e});
            }
        }
    }

    // A key written before gets the later value; a new key becomes a new line.
    void PlaceKey(const PendingKey& k, KeyPlaces& places, std::vector<KeyLine>& new_lines)
    {
        auto [found, added] = places.TryEmplace(
            EditSet::KeyOf(k), KeyPlace{KeyPlace::Kind::kNewLine, nullptr, new_lines.size()});
        KeyPlace& place = *found;
        if (added) {
            new_lines.push_back(KeyLine{&k, &k});
            return;
        }
        switch (place.kind) {
            case KeyPlace::Kind::kNewLine:
                new_lines[place.index].latest = &k;
                break;
            case KeyPlace::Kind::kReplacement:
                ops_[place.index].value = EditSet::ValueOf(k);
                break;
            case KeyPlace::Kind::kFileLine:
                place = {KeyPlace::Kind::kReplacement, place.entry, ops_.size()};
                ops_.push_back(ReplaceValue(*place.entry, EditSet::ValueOf(k)));
                break;
        }
    }

    static Op ReplaceValue(const ProfileEntry& e, std::string_view value)
    {
        Op replace;
        replace.begin = e.equals + 1;
        replace.end = e.line_end;
        replace.kind = OpKind::kReplaceValue;
        replace.value = value;
        replace.break_after = e.line_next == e.line_end;  // the last line, without a break
        return replace;
    }

    void InsertKeys(const ProfileSection& section, std::vector<KeyLine> keys)
    {
        Op insert;
        insert.begin = insert.end = section.insert_at;
        insert.kind = OpKind::kInsertKeys;
        insert.break_before = true;
        extra_ += 2 + KeyLinesSize(keys);
        insert.keys = std::move(keys);
        ops_.push_back(std::move(insert));
    }

    void AppendSection(std::string_view name, std::vector<KeyLine> keys)
    {
        extra_ += name.size() + 4 + KeyLinesSize(keys);
        append_.sections.push_back(NewSection{name, std::move(keys)});
    }

    const ProfileDocument& doc_;
    KeyPlaces places_;     // of the section being added
    std::vector<Op> ops_;  // replacements and insertions
    Op append_;
    size_t extra_ = 0;
};

// Whether the changes give other bytes than the file has: a replacement that
// puts back the same value on a line that already ends in a break does not.
bool ChangesFile(const ProfileDocument& doc, const std::vector<Op>& ops)
{
    return std::any_of(ops.begin(), ops.end(), [&](const Op& op) {
        return op.kind != OpKind::kReplaceValue || op.break_after ||
               doc.text().substr(op.begin, op.end - op.begin) != op.value;
    });
}

// The whole new file, in the document's encoding.
std::string Render(const ProfileDocument& doc, const std::vector<Op>& ops, size_t extra)
{
    if (doc.encoding() == Encoding::kAnsi) {
        return Splice<char>(doc.text(), ops, extra);
    }
    std::u16string units = Splice<char16_t>(doc.units(), ops, extra);
    std::string bytes;
    bytes.reserve(2 + 2 * units.size() + doc.odd_tail().size());
    bytes = "\xFF\xFE";
    AppendUtf16le(bytes, units);
    bytes += doc.odd_tail();
    return bytes;
}

}  // namespace

EditResult ApplyEdits(const ProfileDocument& doc, const EditSet& edits)
{
    EditPlan plan(doc);
    for (const PendingSection& pending : edits.sections())
        plan.AddSection(pending);
    size_t extra = 0;
    const std::vector<Op> ops = plan.Finish(extra);
    EditResult result;
    result.changed = ChangesFile(doc, ops);
    result.bytes = Render(doc, ops, extra);
    return result;
}

}  // namespace ardmon::profile
