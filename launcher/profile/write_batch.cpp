#include "write_batch.h"

#include <utility>
#include <vector>

#include "filesafe.h"

namespace ardmon::profile {
namespace {

// The live batches; there are seldom more than one.
std::vector<WriteBatch*>& Batches()
{
    static std::vector<WriteBatch*> batches;
    return batches;
}

// The new file goes straight into the replacement's file, a piece at a time.
class ReplacementSink : public ByteSink {
public:
    explicit ReplacementSink(filesafe::Replacement& file) : file_(file) {}
    bool Write(std::string_view bytes) override { return file_.Write(bytes, error_); }

private:
    filesafe::Replacement& file_;
    std::string error_;
};

bool Replace(const std::string& path, const EditedFile& edited)
{
    std::string error;
    const std::unique_ptr<filesafe::Replacement> file = filesafe::Replacement::Begin(path, error);
    if (file == nullptr) return false;
    // Only a file rewritten in place needs its room taken first.
    if (file->InPlace() && !file->Reserve(edited.Size(), error)) return false;
    ReplacementSink sink(*file);
    return edited.WriteTo(sink) && file->Commit(error);
}

}  // namespace

WriteOutcome WriteProfileEditsFor(const std::string& path, const EditSet& edits)
{
    if (edits.empty()) return WriteOutcome::kWritten;
    // From the read to the replacement, so that another launcher's update
    // of the same file is never lost under this one.
    const filesafe::UpdateLock lock(path);
    if (lock.state() == filesafe::UpdateLock::State::kBusy) return WriteOutcome::kBusy;
    if (lock.state() == filesafe::UpdateLock::State::kRefused) return WriteOutcome::kFailed;
    FileState state;
    auto doc = SharedProfileCache().Load(path, state);
    if (state == FileState::kUnreadable) return WriteOutcome::kFailed;
    const EditedFile edited(*doc, edits);
    if (!edited.changed()) return WriteOutcome::kWritten;
    const bool replaced = Replace(path, edited);
    SharedProfileCache().Forget(path);
    return replaced ? WriteOutcome::kWritten : WriteOutcome::kFailed;
}

bool WriteProfileEdits(const std::string& path, const EditSet& edits)
{
    return WriteProfileEditsFor(path, edits) == WriteOutcome::kWritten;
}

WriteBatch::WriteBatch(std::string path) : path_(std::move(path))
{
    registered_ = For(path_) == nullptr;
    if (registered_) Batches().push_back(this);
}

WriteBatch::~WriteBatch()
{
    if (registered_) std::erase(Batches(), this);
}

WriteBatch* WriteBatch::For(std::string_view path)
{
    for (WriteBatch* batch : Batches()) {
        if (batch->path_ == path) return batch;
    }
    return nullptr;
}

void WriteBatch::NoteSectionRead(const std::shared_ptr<const ProfileDocument>& doc,
                                 const ProfileSection& section)
{
    for (WriteBatch* batch : Batches())
        batch->edits_.Follow(doc, section);
}

void WriteBatch::Put(std::string_view section, std::string_view key, std::string_view value)
{
    edits_.Put(section, key, value);
    view_.reset();
}

std::shared_ptr<const ProfileDocument> WriteBatch::View(FileState& state)
{
    auto doc = SharedProfileCache().Load(path_, state);
    if (edits_.empty() || state == FileState::kUnreadable) return doc;
    if (!view_ || base_ != doc) {
        base_ = doc;
        view_ = std::make_shared<const ProfileDocument>(
            ProfileDocument::FromFileBytes(ApplyEdits(*doc, edits_).bytes));
    }
    state = FileState::kPresent;
    return view_;
}

WriteOutcome WriteBatch::CommitOutcome()
{
    const WriteOutcome outcome = WriteProfileEditsFor(path_, edits_);
    if (outcome != WriteOutcome::kWritten) return outcome;
    edits_ = EditSet();
    view_.reset();
    base_.reset();
    return outcome;
}

}  // namespace ardmon::profile
