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
        if (added) sections_.push_back(PendingSection{std::string(section), {}, 0});
        s = it->second;
        last_ = s;
    }
    PendingSection& pending = sections_[s];
    ++pending.key_count;
    if (!PutAsFollowed(pending, key, value)) PutOwn(pending, key, value);
}

void EditSet::Follow(std::shared_ptr<const ProfileDocument> doc, const ProfileSection& section)
{
    followed_ = std::move(doc);
    followed_next_ = section.header.next;
    followed_end_ = section.lines_end;
}

// A write that is the next key line of the followed section, key and value
// byte for byte, joins (or starts) a run of that section's lines.
bool EditSet::PutAsFollowed(PendingSection& section, std::string_view key, std::string_view value)
{
    if (followed_ == nullptr || followed_next_ >= followed_end_) return false;
    const ProfileDocument& doc = *followed_;
    class FirstKey : public ParseHandler {
    public:
        void OnSection(const LineInfo&, Span) override {}
        void OnBareLine(const LineInfo&, Span) override {}
        void OnEntry(const LineInfo&, Span k, Span v, size_t) override
        {
            key = k;
            value = v;
            found = true;
        }
        Span key, value;
        bool found = false;
    } line;
    const size_t after = ParseNextKeyLine(doc.text(), followed_next_, followed_end_, line);
    if (!line.found || doc.View(line.key) != key) return false;
    if (doc.View(line.value) != value) {
        followed_next_ = after;  // written with a value of its own: the next write may follow again
        return false;
    }

    if (sources_.empty() || sources_.back() != followed_) sources_.push_back(followed_);
    const auto source = static_cast<std::uint32_t>(sources_.size());
    if (section.runs.empty() || section.runs.back().source != source ||
        section.runs.back().end != followed_next_) {
        section.runs.push_back(PendingRun{source, static_cast<std::uint32_t>(followed_next_), 0});
    }
    section.runs.back().end = static_cast<std::uint32_t>(after);
    followed_next_ = after;
    return true;
}

void EditSet::PutOwn(PendingSection& section, std::string_view key, std::string_view value)
{
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
    const auto index = static_cast<std::uint32_t>(keys_.size());
    keys_.push_back(
        PendingKey{text, static_cast<std::uint32_t>(key.size()), static_cast<std::uint32_t>(value.size())});
    if (section.runs.empty() || section.runs.back().source != PendingRun::kOwn ||
        section.runs.back().end != index) {
        section.runs.push_back(PendingRun{PendingRun::kOwn, index, index});
    }
    section.runs.back().end = index + 1;
}

namespace {

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
void EmitKey(ChunkedText<Char>& out, std::string_view key, std::string_view value)
{
    Emit(out, key);
    out.push_back(Char('='));
    Emit(out, value);
    EmitBreak(out);
}

constexpr std::uint32_t kNoLine = 0xFFFFFFFF;

// The keys of one section, compared as names are (SameName): the first key
// line of each name in the file's section and every key written to it. Made
// empty at the size a section will need, so it never grows while it is
// filled; one table serves every section in turn. The texts are views into
// the document or the edit set, which outlive it.
class SectionKeys {
public:
    struct Slot {
        std::string_view key;            // the file's spelling, else that of the first write
        std::string_view file_value;     // the value on the file's line
        std::string_view value;          // the value last written
        std::uint32_t equals = kNoLine;  // the '=' of the file's line; kNoLine for a new key
        bool last_line = false;          // the file's line is the last and has no break
        bool written = false;
        bool used = false;
    };

    // Fills the table with the keys of section (none for a new one) and the
    // writes of pending.
    void Fill(const ProfileDocument& doc, const ProfileSection* section, const EditSet& edits,
              const PendingSection& pending)
    {
        Reset((section != nullptr ? section->entry_count : 0) + pending.key_count);
        if (section != nullptr) {
            doc.ForEachEntry(*section, [&](const ProfileEntry& e) {
                if (e.IsBare() || !doc.Reachable(e.key())) return;
                auto [slot, added] = Place(doc.View(e.key()));
                if (!added) return;
                slot->file_value = doc.View(e.value());
                slot->equals = e.equals;
                slot->last_line = e.line_next == e.line_end;
            });
        }
        edits.ForEachKey(pending, [&](std::string_view key, std::string_view value) {
            auto [slot, added] = Place(key);
            if (added) new_keys_.push_back(slot);
            slot->value = value;
            slot->written = true;
        });
    }

    // The keys the file's section does not have, in the order of their first
    // writes.
    const std::vector<const Slot*>& new_keys() const { return new_keys_; }

    const Slot& Find(std::string_view key) const { return slots_[Probe(key)]; }

    // Whether the keys give other bytes than the file's section has: a new
    // key, or a written value that is not the one on its line (or whose line
    // needs a break).
    bool Changes() const
    {
        const auto end = slots_.begin() + static_cast<std::ptrdiff_t>(size_);
        return !new_keys_.empty() || std::any_of(slots_.begin(), end, [](const Slot& s) {
            return s.used && s.written && (s.last_line || s.value != s.file_value);
        });
    }

private:
    void Reset(size_t most)
    {
        size_ = 16;
        while (size_ < most * 2)
            size_ *= 2;
        if (slots_.size() < size_) slots_.resize(size_);
        std::fill_n(slots_.begin(), size_, Slot{});
        new_keys_.clear();
    }

    size_t Probe(std::string_view key) const
    {
        const size_t mask = size_ - 1;
        size_t i = FoldedHash(key) & mask;
        while (slots_[i].used && !SameName(slots_[i].key, key))
            i = (i + 1) & mask;
        return i;
    }

    std::pair<Slot*, bool> Place(std::string_view key)
    {
        Slot& slot = slots_[Probe(key)];
        if (slot.used) return {&slot, false};
        slot.key = key;
        slot.used = true;
        return {&slot, true};
    }

    std::vector<Slot> slots_;
    size_t size_ = 0;  // in use, a power of two
    std::vector<const Slot*> new_keys_;
};

// A written section and the first section of its name in the file, or null.
struct SectionEdit {
    const PendingSection* pending;
    const ProfileSection* section;
};

// The new file, put together section by section: the file's text as it is
// up to each section that was written to, where the written keys replace the
// values of their lines and the new keys follow the section's last line; then
// the new sections at the end.
template <class Char>
class Splicer {
public:
    Splicer(const ProfileDocument& doc, std::basic_string_view<Char> src, const EditSet& edits,
            ChunkedText<Char>& out)
        : doc_(doc), src_(src), edits_(edits), out_(out)
    {
    }

    void Run(const std::vector<SectionEdit>& in_file, const std::vector<SectionEdit>& new_sections)
    {
        for (const SectionEdit& edit : in_file)
            MergeSection(edit);
        CopyTo(src_.size());
        if (new_sections.empty()) return;
        if (!out_.AtLineStart()) EmitBreak(out_);
        for (const SectionEdit& edit : new_sections) {
            keys_.Fill(doc_, nullptr, edits_, *edit.pending);
            out_.push_back(Char('['));
            Emit(out_, edit.pending->name);
            out_.push_back(Char(']'));
            EmitBreak(out_);
            EmitNewKeys();
        }
    }

private:
    void MergeSection(const SectionEdit& edit)
    {
        keys_.Fill(doc_, edit.section, edits_, *edit.pending);
        doc_.ForEachEntry(*edit.section, [&](const ProfileEntry& e) {
            if (e.IsBare() || !doc_.Reachable(e.key())) return;
            const SectionKeys::Slot& slot = keys_.Find(doc_.View(e.key()));
            if (!slot.written || slot.equals != e.equals) return;
            CopyTo(e.equals + 1);
            Emit(out_, slot.value);
            pos_ = e.line_end;
            if (slot.last_line) EmitBreak(out_);
        });
        CopyTo(edit.section->insert_at);
        if (keys_.new_keys().empty()) return;
        if (!out_.AtLineStart()) EmitBreak(out_);
        EmitNewKeys();
    }

    // The keys the file does not have, in the order of their first writes,
    // each with its first spelling and its last value.
    void EmitNewKeys()
    {
        for (const SectionKeys::Slot* slot : keys_.new_keys())
            EmitKey(out_, slot->key, slot->value);
    }

    void CopyTo(size_t end)
    {
        out_.append(src_.substr(pos_, end - pos_));
        pos_ = end;
    }

    const ProfileDocument& doc_;
    std::basic_string_view<Char> src_;
    const EditSet& edits_;
    ChunkedText<Char>& out_;
    SectionKeys keys_;
    size_t pos_ = 0;
};

}  // namespace

struct EditedFile::Plan {
    const ProfileDocument& doc;
    const EditSet& edits;
    std::vector<SectionEdit> in_file;       // in file order
    std::vector<SectionEdit> new_sections;  // in write order
    bool changed = false;
};

EditedFile::EditedFile(const ProfileDocument& doc, const EditSet& edits) : plan_(new Plan{doc, edits, {}, {}})
{
    for (const PendingSection& pending : edits.sections()) {
        const ProfileSection* section = doc.FindSection(pending.name);
        (section != nullptr ? plan_->in_file : plan_->new_sections).push_back(SectionEdit{&pending, section});
    }
    std::sort(plan_->in_file.begin(), plan_->in_file.end(),
              [](const SectionEdit& a, const SectionEdit& b) { return a.section < b.section; });
    plan_->changed = !plan_->new_sections.empty();
    SectionKeys keys;
    for (size_t i = 0; i < plan_->in_file.size() && !plan_->changed; ++i) {
        keys.Fill(doc, plan_->in_file[i].section, edits, *plan_->in_file[i].pending);
        plan_->changed = keys.Changes();
    }
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
        Splicer<char>(doc, doc.text(), plan_->edits, text).Run(plan_->in_file, plan_->new_sections);
        return text.Finish();
    }
    ChunkedText<char16_t> text(out);
    text.Send("\xFF\xFE");
    Splicer<char16_t>(doc, doc.units(), plan_->edits, text).Run(plan_->in_file, plan_->new_sections);
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
