#include "write_batch.h"

#include <utility>
#include <vector>

#include "replace_file.h"

namespace ardmon::profile {
namespace {

// The live batches; there are seldom more than one.
std::vector<WriteBatch*>& Batches()
{
    static std::vector<WriteBatch*> batches;
    return batches;
}

}  // namespace

bool WriteProfileEdits(const std::string& path, const EditSet& edits)
{
    if (edits.empty()) return true;
    // From the read to the replacement, so that another launcher's update
    // of the same file is never lost under this one.
    const UpdateLock lock(path);
    FileState state;
    auto doc = SharedProfileCache().Load(path, state);
    if (state == FileState::kUnreadable) return false;
    EditResult result = ApplyEdits(*doc, edits);
    if (!result.changed) return true;
    if (!ReplaceFileContent(path, result.bytes)) return false;
    SharedProfileCache().Forget(path);
    return true;
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

bool WriteBatch::Commit()
{
    if (!WriteProfileEdits(path_, edits_)) return false;
    edits_ = EditSet();
    view_.reset();
    base_.reset();
    return true;
}

}  // namespace ardmon::profile
