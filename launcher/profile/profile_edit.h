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

struct PendingSection {
    std::string name;
    std::vector<PendingKey> keys;  // in write order, a key written twice is here twice
};

// Writes collected in memory, in order. Applying them gives what writing each
// to the file at once would give: a key written again (in any case) gets the
// later value and keeps the spelling of its first write.
class EditSet {
public:
    void Put(std::string_view section, std::string_view key, std::string_view value);
    bool empty() const { return sections_.empty(); }
    const std::vector<PendingSection>& sections() const { return sections_; }
    static std::string_view KeyOf(const PendingKey& k) { return {k.text, k.key_size}; }
    static std::string_view ValueOf(const PendingKey& k) { return {k.text + k.key_size, k.value_size}; }

private:
    // Keys and values are copied into blocks that never move, so a large
    // batch is not copied again as it grows.
    static constexpr size_t kBlockSize = 256 * 1024;
    std::vector<std::unique_ptr<char[]>> blocks_;
    size_t block_left_ = 0;
    char* block_next_ = nullptr;
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
