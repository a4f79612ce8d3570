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

// The characters of a new file on their way to a sink, in pieces of at most
// kChunk characters; a UTF-16LE file's units become their bytes piece by
// piece. Long runs of the old file go to the sink as they are.
template <class Char>
class ChunkedText {
public:
    static constexpr size_t kChunk = 32 * 1024;

    explicit ChunkedText(ByteSink& sink) : sink_(sink) { buffer_.reserve(kChunk); }

    void append(std::basic_string_view<Char> text)
    {
        if (text.empty()) return;
        written_ += text.size();
        last_ = text.back();
        if (buffer_.size() + text.size() <= kChunk) {
            buffer_.append(text);
            return;
        }
        Flush();
        if constexpr (sizeof(Char) == 1) {
            Send(text);
        } else {
            for (; text.size() > kChunk; text.remove_prefix(kChunk)) {
                buffer_.append(text.substr(0, kChunk));
                Flush();
            }
            buffer_.append(text);
        }
    }

    void push_back(Char c)
    {
        if (buffer_.size() == kChunk) Flush();
        buffer_.push_back(c);
        ++written_;
        last_ = c;
    }

    // Whether what follows starts on a line of its own.
    bool AtLineStart() const { return written_ == 0 || last_ == Char('\r') || last_ == Char('\n'); }

    // Writes what is kept back; false when the sink refused anything.
    bool Finish()
    {
        Flush();
        return ok_;
    }

    void Send(std::string_view bytes)
    {
        if (ok_ && !bytes.empty()) ok_ = sink_.Write(bytes);
    }

private:
    void Flush()
    {
        if constexpr (sizeof(Char) == 1) {
            Send(buffer_);
        } else {
            bytes_.clear();
            AppendUtf16le(bytes_, buffer_);
            Send(bytes_);
        }
        buffer_.clear();
    }

    ByteSink& sink_;
    std::basic_string<Char> buffer_;
    std::string bytes_;  // a piece of UTF-16LE
    size_t written_ = 0;
    Char last_ = Char('\n');
    bool ok_ = true;
};

template <class Char>
void Emit(ChunkedText<Char>& out, std::string_view text)
{
    if constexpr (sizeof(Char) == 1) {
        out.append(text);
    } else {
        for (char c : text)
            out.push_back(UnitFromAnsi(static_cast<unsigned char>(c)));
    }
}

template <class Char>
void EmitBreak(ChunkedText<Char>& out)
{
    out.push_back(Char('\r'));
    out.push_back(Char('\n'));
}

template <class Char>
void EmitKey(ChunkedText<Char>& out, const KeyLine& k)
{
    Emit(out, k.key());
    out.push_back(Char('='));
    Emit(out, k.value());
    EmitBreak(out);
}

template <class Char>
void Splice(std::basic_string_view<Char> src, const std::vector<Op>& ops, ChunkedText<Char>& out)
{
    size_t pos = 0;
    for (const Op& op : ops) {
        out.append(src.substr(pos, op.begin - pos));
        if (op.break_before && !out.AtLineStart()) EmitBreak(out);
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
}

// Where a written key of one section goes.
struct KeyPlace {
    enum class Kind {
        kFileLine,     // its line in the file, not changed yet
        kReplacement,  // its line in the file, changed by ops[index]
        kNewLine,      // new_lines[index]
    };
    Kind kind;
    ProfileEntry entry;  // the file's line, for kFileLine
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
        KeyPlace place{KeyPlace::Kind::kFileLine, {}, 0};
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

    // The changes in file order.
    std::vector<Op> Finish()
    {
        if (!append_.sections.empty()) ops_.push_back(std::move(append_));
        std::sort(ops_.begin(), ops_.end(), [](const Op& a, const Op& b) {
            return a.begin != b.begin ? a.begin < b.begin : a.kind < b.kind;
        });
        return std::move(ops_);
    }

private:
    // The first key line of each name in section (none for a new section).
    void KeyLinesOf(const ProfileSection* section, KeyPlaces& places) const
    {
        if (section == nullptr) return;
        doc_.ForEachEntry(*section, [&](const ProfileEntry& e) {
            if (!e.IsBare() && doc_.Reachable(e.key())) {
                places.TryEmplace(doc_.View(e.key()), KeyPlace{KeyPlace::Kind::kFileLine, e});
            }
        });
    }

    // A key written before gets the later value; a new key becomes a new line.
    void PlaceKey(const PendingKey& k, KeyPlaces& places, std::vector<KeyLine>& new_lines)
    {
        auto [found, added] =
            places.TryEmplace(EditSet::KeyOf(k), KeyPlace{KeyPlace::Kind::kNewLine, {}, new_lines.size()});
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
                ops_.push_back(ReplaceValue(place.entry, EditSet::ValueOf(k)));
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
        insert.keys = std::move(keys);
        ops_.push_back(std::move(insert));
    }

    void AppendSection(std::string_view name, std::vector<KeyLine> keys)
    {
        append_.sections.push_back(NewSection{name, std::move(keys)});
    }

    const ProfileDocument& doc_;
    KeyPlaces places_;     // of the section being added
    std::vector<Op> ops_;  // replacements and insertions
    Op append_;
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

}  // namespace

struct EditedFile::Plan {
    const ProfileDocument& doc;
    std::vector<Op> ops;
    bool changed = false;
};

EditedFile::EditedFile(const ProfileDocument& doc, const EditSet& edits)
{
    EditPlan plan(doc);
    for (const PendingSection& pending : edits.sections())
        plan.AddSection(pending);
    plan_.reset(new Plan{doc, plan.Finish()});
    plan_->changed = ChangesFile(doc, plan_->ops);
}

EditedFile::~EditedFile() = default;

bool EditedFile::changed() const
{
    return plan_->changed;
}

bool EditedFile::WriteTo(ByteSink& out) const
{
    const ProfileDocument& doc = plan_->doc;
    if (doc.encoding() == Encoding::kAnsi) {
        ChunkedText<char> text(out);
        Splice<char>(doc.text(), plan_->ops, text);
        return text.Finish();
    }
    ChunkedText<char16_t> text(out);
    text.Send("\xFF\xFE");
    Splice<char16_t>(doc.units(), plan_->ops, text);
    text.Finish();
    text.Send(doc.odd_tail());
    return text.Finish();
}

unsigned long long EditedFile::Size() const
{
    struct Counter : ByteSink {
        bool Write(std::string_view bytes) override
        {
            size += bytes.size();
            return true;
        }
        unsigned long long size = 0;
    } counter;
    WriteTo(counter);
    return counter.size;
}

EditResult ApplyEdits(const ProfileDocument& doc, const EditSet& edits)
{
    struct Whole : ByteSink {
        bool Write(std::string_view bytes) override
        {
            text.append(bytes);
            return true;
        }
        std::string text;
    } whole;
    const EditedFile file(doc, edits);
    file.WriteTo(whole);
    return EditResult{std::move(whole.text), file.changed()};
}

}  // namespace ardmon::profile
