#include "profile_edit.h"

#include <algorithm>

#include "text_encoding.h"

namespace ardmon::profile {

void EditSet::Put(std::string_view section, std::string_view key, std::string_view value) {
    size_t s = last_;
    if (s >= sections_.size() || !SameName(sections_[s].name, section)) {
        auto [it, added] = index_.try_emplace(FoldName(section), sections_.size());
        if (added) sections_.push_back(PendingSection{std::string(section), {}, {}});
        s = it->second;
        last_ = s;
    }
    PendingSection& pending = sections_[s];
    auto [it, added] = pending.key_index.try_emplace(FoldName(key), pending.keys.size());
    if (added) {
        pending.keys.push_back(PendingKey{std::string(key), std::string(value)});
    } else {
        pending.keys[it->second].value.assign(value);
    }
}

namespace {

struct Op {
    size_t begin = 0;
    size_t end = 0;
    int order = 0;  // at one offset: replacement, then insertion, then new sections
    std::string text;
    bool break_before = false;  // an insertion: start on a line of its own
    bool break_after = false;
};

template <class Char>
Char Unit(char c);
template <>
char Unit<char>(char c) { return c; }
template <>
char16_t Unit<char16_t>(char c) { return UnitFromAnsi(static_cast<unsigned char>(c)); }

template <class Char>
std::basic_string<Char> Splice(std::basic_string_view<Char> src, const std::vector<Op>& ops,
                               size_t extra) {
    std::basic_string<Char> out;
    out.reserve(src.size() + extra);
    size_t pos = 0;
    for (const Op& op : ops) {
        out.append(src.substr(pos, op.begin - pos));
        if (op.break_before && !out.empty() && out.back() != Char('\r') && out.back() != Char('\n')) {
            out.push_back(Char('\r'));
            out.push_back(Char('\n'));
        }
        for (char c : op.text) out.push_back(Unit<Char>(c));
        if (op.break_after) {
            out.push_back(Char('\r'));
            out.push_back(Char('\n'));
        }
        pos = op.end;
    }
    out.append(src.substr(pos));
    return out;
}

void AppendLine(std::string& out, std::string_view a, std::string_view b, std::string_view c) {
    out.append(a);
    out.append(b);
    out.append(c);
    out.append("\r\n");
}

}  // namespace

EditResult ApplyEdits(const ProfileDocument& doc, const EditSet& edits) {
    std::vector<Op> ops;
    std::string appended;
    bool changed = false;
    size_t extra = 0;
    const auto& entries = doc.entries();
    for (const PendingSection& pending : edits.sections()) {
        const ProfileSection* section = doc.FindSection(pending.name);
        if (section == nullptr) {
            AppendLine(appended, "[", pending.name, "]");
            for (const PendingKey& k : pending.keys) AppendLine(appended, k.key, "=", k.value);
            continue;
        }
        // The first key line of each name in this section.
        std::unordered_map<std::string, const ProfileEntry*> present;
        for (size_t i = 0; i < section->entry_count; ++i) {
            const ProfileEntry& e = entries[section->first_entry + i];
            if (!e.IsBare()) present.try_emplace(FoldName(doc.View(e.key)), &e);
        }
        Op insert;
        insert.begin = insert.end = section->insert_at;
        insert.order = 1;
        insert.break_before = true;
        for (const PendingKey& k : pending.keys) {
            auto it = present.find(FoldName(k.key));
            if (it == present.end()) {
                AppendLine(insert.text, k.key, "=", k.value);
                continue;
            }
            const ProfileEntry& e = *it->second;
            Op replace;
            replace.begin = e.equals + 1;
            replace.end = e.line.end;
            replace.text = k.value;
            replace.break_after = e.line.next == e.line.end;
            if (replace.break_after || doc.text().substr(replace.begin, replace.end - replace.begin) != k.value) {
                changed = true;
            }
            extra += replace.text.size() + 2;
            ops.push_back(std::move(replace));
        }
        if (!insert.text.empty()) {
            extra += insert.text.size() + 2;
            changed = true;
            ops.push_back(std::move(insert));
        }
    }
    if (!appended.empty()) {
        Op append;
        append.begin = append.end = doc.text().size();
        append.order = 2;
        append.break_before = true;
        extra += appended.size() + 2;
        append.text = std::move(appended);
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
        result.bytes = "\xFF\xFE";
        AppendUtf16le(result.bytes, units);
        result.bytes += doc.odd_tail();
    }
    return result;
}

}  // namespace ardmon::profile
