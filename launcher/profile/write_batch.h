// A write batch collects the writes to one profile file in memory and
// replaces the file once, when it is committed. While a batch for a file is
// alive, WritePrivateProfileStringA on that file (the same path string) goes
// to the batch, and the read functions see the file as the batch would leave
// it. A batch that is destroyed without Commit drops its writes: the file
// stays as it was.
//
// One batch per file at a time; a second batch for the same path while the
// first is alive takes no writes, and its Commit has nothing to do.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "profile_cache.h"
#include "profile_edit.h"

namespace ardmon::profile {

// What became of a write to a profile file.
enum class WriteOutcome {
    kWritten,  // the file holds it
    kFailed,   // the file is as it was
    kBusy,     // another writer held the file longer than the wait; the file is as it was
};

class WriteBatch {
public:
    explicit WriteBatch(std::string path);
    ~WriteBatch();
    WriteBatch(const WriteBatch&) = delete;
    WriteBatch& operator=(const WriteBatch&) = delete;

    // Writes everything collected with one atomic replacement of the file.
    // False when the file could not be replaced; it is then untouched and the
    // writes stay collected. True when there was nothing to change.
    bool Commit() { return CommitOutcome() == WriteOutcome::kWritten; }
    WriteOutcome CommitOutcome();

    const std::string& path() const { return path_; }

    // The batch in charge of path, or null.
    static WriteBatch* For(std::string_view path);
    void Put(std::string_view section, std::string_view key, std::string_view value);
    // Section of doc was just read: every live batch may find its key lines
    // written next, and then points into doc instead of copying them.
    static void NoteSectionRead(const std::shared_ptr<const ProfileDocument>& doc,
                                const ProfileSection& section);
    // The file as it will be after Commit.
    std::shared_ptr<const ProfileDocument> View(FileState& state);

private:
    std::string path_;
    bool registered_ = false;
    EditSet edits_;
    std::shared_ptr<const ProfileDocument> base_;  // the file view_ was made from
    std::shared_ptr<const ProfileDocument> view_;  // made on demand, dropped by Put
};

// Applies edits to the file at path at once, holding its update lock from
// the read to the replacement: true when the file holds them afterwards,
// false when it is untouched.
bool WriteProfileEdits(const std::string& path, const EditSet& edits);
WriteOutcome WriteProfileEditsFor(const std::string& path, const EditSet& edits);

}  // namespace ardmon::profile
