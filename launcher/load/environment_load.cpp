#include "environment_load.h"

#include <memory>
#include <vector>

#include "names_and_messages.h"
#include "parse_rules.h"

namespace ardmon {
namespace {

// Closes the client stream on every way out of the load.
struct StreamCloser {
    void operator()(std::FILE* stream) const { std::fclose(stream); }
};

}  // namespace

void RunEnvironmentLoad(LoadWindow& window, LoadPlatform& platform)
{
    const int selected = window.GetCurSel();
    if (selected < 0) {
        window.ShowMessage(kSelectProfileMessage);
        return;
    }
    const std::string profile_name = window.GetLBText(selected);
    const std::string work_dir = window.WorkDir();
    const std::string profile_path = JoinPath(JoinPath(work_dir, kProfileFolder), profile_name);
    const std::string client_path = JoinPath(work_dir, kClientFile);

    std::unique_ptr<std::FILE, StreamCloser> client(platform.OpenForUpdate(client_path));
    if (client == nullptr) {
        window.ShowMessage("can not open halvoclient.ini in this directory");
        return;
    }

    std::vector<char> names(kNamesBufferSize);
    std::vector<char> content(kSectionBufferSize);
    DWORD names_length =
        platform.GetPrivateProfileSectionNamesA(names.data(), kNamesBufferSize, profile_path.c_str());
    if (names_length == kNamesOverflow) {
        window.ShowMessage(kTooManySectionsMessage);
        return;
    }

    // Every write of this load goes to the client file in one replacement.
    platform.BeginWrites(client_path);
    SplitSectionNames(names.data(), names_length, [&](std::string_view name) {
        const std::string section(name);
        DWORD length = platform.GetPrivateProfileSectionA(section.c_str(), content.data(), kSectionBufferSize,
                                                          profile_path.c_str());
        if (length == kSectionOverflow) {
            window.ShowMessage(TooManyKeysMessage(section));
            return;
        }
        SplitSectionEntries(content.data(), length, [&](std::string_view key, std::string_view value) {
            const std::string k(key);
            const std::string v(value);
            if (!platform.WritePrivateProfileStringA(section.c_str(), k.c_str(), v.c_str(),
                                                     client_path.c_str())) {
                window.ShowMessage("Writing of \"" + section + "-" + k + "-" + v +
                                   "\" entry to halvoclient.ini failed");
            }
        });
    });

    // The results of the two record writes are not looked at, as before; the
    // replacement of the file below is what decides.
    const std::string time_text = FormatLoadTime(platform.Now());
    platform.WritePrivateProfileStringA(kRecordSection, kRecordProfileKey, profile_name.c_str(),
                                        client_path.c_str());
    platform.WritePrivateProfileStringA(kRecordSection, kRecordTimeKey, time_text.c_str(),
                                        client_path.c_str());
    // The stream is closed first: Windows does not replace a file that is
    // still open.
    client.reset();
    if (!platform.CommitWrites()) {
        // The client file is as it was before the load: say so rather than
        // report a success that did not happen.
        window.ShowMessage("can not write halvoclient.ini, the environment was not loaded");
        return;
    }

    window.SetCurrentEnvironment(LoadedProfileText(profile_name));
    window.ShowMessage("\"" + profile_name + "\" file loaded to halvoclient.ini successfully");
}

}  // namespace ardmon
