#include "ardmon_logic.h"

#include "private_profile.h"

namespace ardmon {

bool IsListedProfile(const std::string& name, bool isDirectory)
{
    return !isDirectory && name.ends_with(".ini");
}

std::vector<std::string> ListProfiles(const std::string& folder)
{
    std::vector<std::string> names;
    for (FolderEntry& entry : ReadFolder(folder)) {
        if (IsListedProfile(entry.name, entry.isDirectory)) {
            names.push_back(std::move(entry.name));
        }
    }
    return names;
}

std::optional<std::string> FirstMissingEntryMessage(const std::string& workDir)
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
        const std::string path = JoinPath(workDir, check.name);
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

std::string ReadLastLoadRecord(const std::string& workDir)
{
    char recorded[kRecordBufferSize] = {};
    const std::string clientPath = JoinPath(workDir, kClientFile);
    GetPrivateProfileStringA(kRecordSection, kRecordProfileKey, kNoRecord, recorded, sizeof recorded,
                             clientPath.c_str());
    recorded[sizeof recorded - 1] = '\0';
    return recorded;
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

IconOrigin MinimizedIconOrigin(int clientWidth, int clientHeight, int iconWidth, int iconHeight)
{
    return {(clientWidth - iconWidth + 1) / 2, (clientHeight - iconHeight + 1) / 2};
}

}  // namespace ardmon
