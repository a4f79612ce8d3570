#include "environment_load.h"

#include <algorithm>
#include <memory>

#include "filesafe.h"
#include "names_and_messages.h"
#include "parse_rules.h"

namespace ardmon {
namespace {

// Closes the client stream on every way out of the load.
struct StreamCloser {
    void operator()(std::FILE* stream) const { std::fclose(stream); }
};

// One run of the load, step by step; each step that can stop the load says
// whether it may go on, after telling the user why not.
class EnvironmentLoad {
public:
    EnvironmentLoad(LoadWindow& window, LoadPlatform& platform, std::string profile_name)
        : window_(window),
          platform_(platform),
          profile_name_(std::move(profile_name)),
          profile_path_(JoinPath(JoinPath(window.WorkDir(), kProfileFolder), profile_name_)),
          client_path_(JoinPath(window.WorkDir(), kClientFile))
    {
    }

    // The client file must exist and be writable before anything is written.
    bool OpenClientFile()
    {
        client_.reset(platform_.OpenForUpdate(client_path_));
        if (client_ != nullptr) return true;
        window_.ShowMessage("can not open halvoclient.ini in this directory");
        return false;
    }

    bool ReadSectionNames()
    {
        // A FIFO, a device or a folder in env/ is no profile: it is not read.
        if (filesafe::IsNonRegularFile(profile_path_)) {
            window_.ShowMessage("\"" + profile_name_ + "\" file can not be opened, so cant load the file");
            return false;
        }
        if (platform_.FileSize(profile_path_) > kMaxProfileBytes) {
            window_.ShowMessage("\"" + profile_name_ +
                                "\" file is bigger than 256 MB, so cant load the file");
            return false;
        }
        names_length_ =
            platform_.GetPrivateProfileSectionNamesA(names_.data(), kNamesBufferSize, profile_path_.c_str());
        if (names_length_ == kNamesOverflow) {
            window_.ShowMessage(kTooManySectionsMessage);
            return false;
        }
        losses_ = platform_.ReadLosses(profile_path_);
        const auto encoding = EncodingLosses(ReadEncodingPart(profile_path_));
        losses_.insert(losses_.end(), encoding.begin(), encoding.end());
        return true;
    }

    // Every write of this load goes to the client file in one replacement.
    void MergeSections()
    {
        platform_.BeginWrites(client_path_);
        SplitSectionNames(names_.data(), names_length_, [&](std::string_view name) { MergeSection(name); });
    }

    // The results of the two record writes are not looked at, as before; the
    // replacement of the file is what decides.
    void WriteLoadRecord()
    {
        const std::string time_text = FormatLoadTime(platform_.Now());
        Write(kRecordSection, kRecordProfileKey, profile_name_);
        Write(kRecordSection, kRecordTimeKey, time_text);
    }

    // Anything but kCommitted leaves the client file as it was before the
    // load: that is said rather than a success that did not happen.
    CommitResult PutClientFileInPlace()
    {
        client_.reset();  // Windows does not replace a file that is still open
        const CommitResult result = platform_.CommitWrites();
        if (result == CommitResult::kBusy) {
            window_.ShowMessage(kClientFileBusyMessage);
        } else if (result == CommitResult::kFailed) {
            window_.ShowMessage("can not write halvoclient.ini, the environment was not loaded");
        }
        return result;
    }

    LoadResult ReportSuccess()
    {
        window_.SetCurrentEnvironment(LoadedProfileText(profile_name_));
        window_.ShowMessage(LoadedSuccessfullyMessage(profile_name_));
        for (const auto& loss : losses_)
            NoteLoss(loss);  // of sections the load never read
        if (not_as_given_.empty()) return write_failed_ ? LoadResult::kLoadedNotAsGiven : LoadResult::kLoaded;
        window_.ShowMessage("Following entries are not loaded as given in the profile:" + not_as_given_);
        return LoadResult::kLoadedNotAsGiven;
    }

private:
    void MergeSection(std::string_view name)
    {
        const std::string section(name);
        const DWORD length = platform_.GetPrivateProfileSectionA(section.c_str(), content_.data(),
                                                                 kSectionBufferSize, profile_path_.c_str());
        if (length == kSectionOverflow) {
            window_.ShowMessage(TooManyKeysMessage(section));
            not_as_given_ += "\n" + section + " section";
            return;
        }
        SplitSectionEntries(content_.data(), length, [&](std::string_view key, std::string_view value) {
            const std::string k(key);
            const std::string v(value);
            if (!Write(section.c_str(), k, v)) {
                write_failed_ = true;
                window_.ShowMessage("Writing of \"" + section + "-" + k + "-" + v +
                                    "\" entry to halvoclient.ini failed");
            }
        });
        NoteLosses(section);
    }

    // Names what of section did not arrive as the profile holds it, once.
    void NoteLosses(const std::string& section)
    {
        std::erase_if(losses_, [&](const std::pair<std::string, std::string>& loss) {
            if (loss.first != section) return false;
            NoteLoss(loss);
            return true;
        });
    }

    void NoteLoss(const std::pair<std::string, std::string>& loss)
    {
        not_as_given_ += "\n" + loss.first + (loss.second.empty() ? " section" : "-" + loss.second);
    }

    // As much of the profile as EncodingLosses looks at: the first line behind
    // a UTF-8 mark, all of a big-endian file (whose size was checked before),
    // else nothing beyond the first bytes. A profile is not held twice.
    static std::string ReadEncodingPart(const std::string& path)
    {
        constexpr size_t kPart = 64 * 1024;
        std::string bytes;
        filesafe::ReadRegularFile(path, kPart, bytes);
        const bool whole =
            bytes.starts_with("\xFE\xFF") ||
            (bytes.starts_with("\xEF\xBB\xBF") && bytes.find_first_of("\r\n") == std::string::npos);
        if (whole && bytes.size() == kPart)
            filesafe::ReadRegularFile(path, static_cast<size_t>(kMaxProfileBytes), bytes);
        return bytes;
    }

    bool Write(const char* section, const std::string& key, const std::string& value)
    {
        return platform_.WritePrivateProfileStringA(section, key.c_str(), value.c_str(),
                                                    client_path_.c_str());
    }

    LoadWindow& window_;
    LoadPlatform& platform_;
    const std::string profile_name_;
    const std::string profile_path_;
    const std::string client_path_;
    std::unique_ptr<std::FILE, StreamCloser> client_;
    std::vector<char> names_ = std::vector<char>(kNamesBufferSize);
    std::vector<char> content_ = std::vector<char>(kSectionBufferSize);
    DWORD names_length_ = 0;
    std::vector<std::pair<std::string, std::string>> losses_;
    std::string not_as_given_;   // one line per section or key, each after a line break
    bool write_failed_ = false;  // its message was shown at the entry
};

}  // namespace

LoadResult RunEnvironmentLoad(LoadWindow& window, LoadPlatform& platform)
{
    const int selected = window.GetCurSel();
    if (selected < 0) {
        window.ShowMessage(kSelectProfileMessage);
        return LoadResult::kNotLoaded;
    }
    EnvironmentLoad load(window, platform, window.GetLBText(selected));
    if (!load.OpenClientFile() || !load.ReadSectionNames()) return LoadResult::kNotLoaded;
    load.MergeSections();
    load.WriteLoadRecord();
    switch (load.PutClientFileInPlace()) {
        case CommitResult::kCommitted:
            return load.ReportSuccess();
        case CommitResult::kBusy:
            return LoadResult::kBusy;
        case CommitResult::kFailed:
            break;
    }
    return LoadResult::kNotLoaded;
}

}  // namespace ardmon
