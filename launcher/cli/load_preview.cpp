#include "load_preview.h"

#include <algorithm>
#include <map>

#include "parse_rules.h"

namespace ardmon::cli {
namespace {

std::string Folded(std::string_view text)
{
    std::string folded(text);
    std::ranges::transform(folded, folded.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return folded;
}

// The entries of one client section, the first of each key (as a read of
// the key finds it), by folded key.
std::map<std::string, std::string> ReadClientSection(LoadPlatform& platform, const std::string& client_path,
                                                     const std::string& section)
{
    std::map<std::string, std::string> entries;
    for (DWORD size = kSectionBufferSize;; size *= 4) {
        std::vector<char> buffer(size);
        const DWORD length =
            platform.GetPrivateProfileSectionA(section.c_str(), buffer.data(), size, client_path.c_str());
        if (length == size - 2 && size < (1u << 26)) continue;  // a client section bigger than the buffer
        SplitSectionEntries(buffer.data(), length, [&](std::string_view key, std::string_view value) {
            entries.emplace(Folded(key), std::string(value));
        });
        return entries;
    }
}

struct PendingSection {
    std::string name;
    std::vector<KeyChange> keys;  // new_value: the last one written
};

std::vector<PendingSection> CollectWrites(const std::vector<RecordedWrite>& writes)
{
    std::vector<PendingSection> sections;
    auto same_name = [](const std::string& a, const std::string& b) { return Folded(a) == Folded(b); };
    for (const RecordedWrite& write : writes) {
        auto section = std::ranges::find_if(
            sections, [&](const PendingSection& s) { return same_name(s.name, write.section); });
        if (section == sections.end())
            section = sections.insert(sections.end(), PendingSection{write.section, {}});
        auto key = std::ranges::find_if(section->keys,
                                        [&](const KeyChange& k) { return same_name(k.key, write.key); });
        if (key == section->keys.end())
            key = section->keys.insert(section->keys.end(), KeyChange{write.key, {}, {}});
        key->new_value = write.value;
    }
    return sections;
}

}  // namespace

std::vector<SectionPreview> PreviewWrites(LoadPlatform& platform, const std::string& client_path,
                                          const std::vector<RecordedWrite>& writes)
{
    std::vector<SectionPreview> previews;
    for (PendingSection& pending : CollectWrites(writes)) {
        const auto current = ReadClientSection(platform, client_path, pending.name);
        SectionPreview& preview = previews.emplace_back();
        preview.name = pending.name;
        for (KeyChange& key : pending.keys) {
            const auto old = current.find(Folded(key.key));
            if (old == current.end()) {
                preview.added.push_back(std::move(key));
            } else if (old->second == key.new_value) {
                ++preview.unchanged;
            } else {
                key.old_value = old->second;
                preview.changed.push_back(std::move(key));
            }
        }
    }
    return previews;
}

bool IsSecretKey(std::string_view key)
{
    const std::string folded = Folded(key);
    for (const char* word : {"password", "passwd", "pwd", "secret", "token"}) {
        if (folded.find(word) != std::string::npos) return true;
    }
    return false;
}

}  // namespace ardmon::cli
