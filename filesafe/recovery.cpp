// Recovery files: new files beside the one a save could not write, each under
// a name nobody uses yet, no more readable than that file.
#include "filesafe.h"
#include "names.h"

namespace filesafe {

namespace {
constexpr int kMaxRecoveryNames = 1000;
}

std::string ReserveRecoveryFile(const std::string& path, const std::string& suffix, std::string& error) {
    for (int n = 1; n <= kMaxRecoveryNames; ++n) {
        const std::string name = RecoveryName(path, suffix, n);
        bool exists = false;
        if (CreateNewFile(name, path, exists, error)) return name;
        if (!exists) return std::string();
    }
    error = "Could not write \"" + RecoveryName(path, suffix, 1) + "\": every name up to \"" +
            RecoveryName(path, suffix, kMaxRecoveryNames) + "\" is taken.";
    return std::string();
}

std::string SaveRecoveryFile(const std::string& path, const std::string& suffix, std::string_view content,
                             std::string& error) {
    const std::string name = ReserveRecoveryFile(path, suffix, error);
    if (name.empty()) return name;
    if (ReplaceFileContent(name, content, error)) return name;
    RemoveFile(name);
    return std::string();
}

bool ReplaceFileContent(const std::string& path, std::string_view content, std::string& error) {
    std::unique_ptr<Replacement> file = Replacement::Begin(path, error);
    return file && file->Reserve(content.size(), error) && file->Write(content, error) && file->Commit(error);
}

std::string PrivateFolder::NewFile(const std::string& name) {
#ifdef _WIN32
    const std::string path = path_ + "\\" + name;
#else
    const std::string path = path_ + "/" + name;
#endif
    bool exists = false;
    std::string error;
    if (path_.empty() || !file_.empty() || !CreateNewFile(path, "", exists, error)) return std::string();
    file_ = path;
    return file_;
}

}  // namespace filesafe
