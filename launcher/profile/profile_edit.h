// Writing keys into a profile file the way Windows does, keeping every byte of
// the lines that do not change:
// - an existing key (the first of that name in the first section of that
//   name) gets its new value on its own line; everything up to and including
//   its '=' stays as it was, spelling and indentation included;
// - a new key goes after the last key or bare line of its section, so comments
//   and blank lines that follow the section stay below it; several new keys
//   keep the order they were written in;
// - a new section goes at the end of the file, without a blank line before it;
// - new lines are "[section]" and "key=value" with CRLF and no added spaces;
// - a line break is added first where the text to be followed has none.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "profile_document.h"

namespace ardmon::profile {

// A written key and its value, kept in the edit set's own storage. Sizes fit
// 32 bits: a write larger than a profile file may be never gets here.
struct PendingKey {
    const char* text = nullptr;  // key, then value right after it
    std::uint32_t key_size = 0;
    std::uint32_t value_size = 0;
};

// Keys written one after another into one section: either keys of the edit
// set's own storage, or the key lines of a stretch of a parsed file whose
// keys and values were written as that file holds them, in its order.
struct PendingRun {
    static constexpr std::uint32_t kOwn = 0;
    std::uint32_t source = kOwn;  // kOwn, else 1 + an index into the edit set's sources
    std::uint32_t begin = 0;      // kOwn: own keys [begin, end); else text offsets [begin, end)
    std::uint32_t end = 0;
};

struct PendingSection {
    std::string name;
    std::vector<PendingRun> runs;  // in write order
    size_t key_count = 0;          // writes, a key written twice counts twice
};

// Writes collected in memory, in order. Applying them gives what writing each
// to the file at once would give: a key written again (in any case) gets the
// later value and keeps the spelling of its first write.
//
// Writes that repeat, in order, the key lines of a section just read from a
// parsed file (Follow) are not copied: the edit set keeps the file's text
// alive and notes only which lines they were. A whole section merged from a
// profile costs a few bytes.
class EditSet {
public:
    void Put(std::string_view section, std::string_view key, std::string_view value);
    // The next writes may be the key lines of section of doc, in order.
    void Follow(std::shared_ptr<const ProfileDocument> doc, const ProfileSection& section);
    bool empty() const { return sections_.empty(); }
    const std::vector<PendingSection>& sections() const { return sections_; }

    // Calls fn(std::string_view key, std::string_view value) for each write
    // to section, in write order.
    template <class Fn>
    void ForEachKey(const PendingSection& section, Fn&& fn) const
    {
        for (const PendingRun& run : section.runs) {
            if (run.source == PendingRun::kOwn) {
                for (std::uint32_t i = run.begin; i < run.end; ++i)
                    fn(std::string_view(keys_[i].text, keys_[i].key_size),
                       std::string_view(keys_[i].text + keys_[i].key_size, keys_[i].value_size));
                continue;
            }
            const ProfileDocument& doc = *sources_[run.source - 1];
            doc.ForEachEntryIn(run.begin, run.end, [&](const ProfileEntry& e) {
                if (!e.IsBare()) fn(doc.View(e.key()), doc.View(e.value()));
            });
        }
    }

private:
    bool PutAsFollowed(PendingSection& section, std::string_view key, std::string_view value);
    void PutOwn(PendingSection& section, std::string_view key, std::string_view value);

    // Keys and values are copied into blocks that never move, so a large
    // batch is not copied again as it grows.
    static constexpr size_t kBlockSize = 256 * 1024;
    std::vector<std::unique_ptr<char[]>> blocks_;
    size_t block_left_ = 0;
    char* block_next_ = nullptr;
    std::vector<PendingKey> keys_;  // the own keys, in write order
    std::vector<std::shared_ptr<const ProfileDocument>> sources_;
    // The section being followed: its document and the lines not written yet.
    std::shared_ptr<const ProfileDocument> followed_;
    size_t followed_next_ = 0, followed_end_ = 0;
    std::vector<PendingSection> sections_;
    std::unordered_map<std::string, size_t> index_;  // folded section -> sections_[]
    size_t last_ = 0;                                // section of the previous write
};

// Where the bytes of a new file go, piece by piece, in file order.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // False stops the writing.
    virtual bool Write(std::string_view bytes) = 0;
};

// The file that edits make of doc, planned once. It is written out in pieces
// of bounded size, so a large file is never whole in memory; doc and edits
// must outlive it.
class EditedFile {
public:
    EditedFile(const ProfileDocument& doc, const EditSet& edits);
    ~EditedFile();
    EditedFile(const EditedFile&) = delete;
    EditedFile& operator=(const EditedFile&) = delete;

    // False when the file would stay byte for byte the same.
    bool changed() const;
    // The whole file, in the document's encoding; false when out refused a piece.
    bool WriteTo(ByteSink& out) const;
    // How many bytes WriteTo writes.
    unsigned long long Size() const;

private:
    struct Plan;
    std::unique_ptr<Plan> plan_;
};

struct EditResult {
    std::string bytes;     // the whole file, in the document's encoding
    bool changed = false;  // false when the file would stay byte for byte the same
};

EditResult ApplyEdits(const ProfileDocument& doc, const EditSet& edits);

}  // namespace ardmon::profile
