#include "main_window_rules.h"

#include "private_profile.h"

namespace ardmon {

bool IsListedProfile(const std::string& name, bool is_directory)
{
    return !is_directory && name.ends_with(".ini");
}

std::vector<std::string> ListProfiles(const std::string& folder)
{
    std::vector<std::string> names;
    for (FolderEntry& entry : ReadFolder(folder)) {
        if (IsListedProfile(entry.name, entry.is_directory)) {
            names.push_back(std::move(entry.name));
        }
    }
    return names;
}

std::optional<std::string> FirstMissingEntryMessage(const std::string& work_dir)
{
    struct Check {
        const char* name;
        const char* message;
    };
    static constexpr Check checks[] = {
        {kProfileFolder, "No folder found "},
        {kClientFile, "No file found "},
        {kTerminalFile, "No file found "},
    };
    for (const Check& check : checks) {
        const std::string path = JoinPath(work_dir, check.name);
        if (!EntryExists(path)) {
            return check.message + path;
        }
    }
    return std::nullopt;
}

std::string LastLoadDisplayText(const std::string& recorded)
{
    if (recorded == kNoRecord) {
        return kClientFile;
    }
    return LoadedProfileText(recorded);
}

namespace {

// key of the load record, read as the main window reads it.
std::string ReadRecord(const std::string& work_dir, const char* key, const char* fallback)
{
    char recorded[kRecordBufferSize] = {};
    const std::string client_path = JoinPath(work_dir, kClientFile);
    GetPrivateProfileStringA(kRecordSection, key, fallback, recorded, sizeof recorded, client_path.c_str());
    recorded[sizeof recorded - 1] = '\0';
    return recorded;
}

}  // namespace

std::string ReadLastLoadRecord(const std::string& work_dir)
{
    return ReadRecord(work_dir, kRecordProfileKey, kNoRecord);
}

std::string ReadLoadRecordTime(const std::string& work_dir)
{
    return ReadRecord(work_dir, kRecordTimeKey, "");
}

LaunchOutcome InterpretLaunchResult(std::intptr_t result)
{
    if (result == 26) {
        return {false, "Sharing violation occured"};
    }
    if (result > 32) {
        return {true, {}};
    }
    return {false, "Error occured during start Vovuvavavar"};
}

IconOrigin MinimizedIconOrigin(int client_width, int client_height, int icon_width, int icon_height)
{
    return {(client_width - icon_width + 1) / 2, (client_height - icon_height + 1) / 2};
}

}  // namespace ardmon
