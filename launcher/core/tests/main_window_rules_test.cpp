// The main window's rules on a real folder: which entries of env/ are
// profiles, the start-up checks, the recorded load as shown, and what a
// start result means.
#include <gmock/gmock.h>

#include "main_window_rules.h"
#include "test_folder.h"

using namespace ardmon;
using namespace ardmon::test;
using testing::UnorderedElementsAre;

namespace {

TEST(MainWindowRules, ProfilesAreFilesEndingInDotIniExactly)
{
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "folder.ini");
    for (const char* name : {"UAT.ini", "prod.ini", ".ini", "notes.INI", "a.ini.bak", "ini", "x.ini.txt"}) {
        WriteFile(dir.path() / name, "[S]\nk=v\n");
    }
    EXPECT_THAT(ListProfiles(dir.str()), UnorderedElementsAre(".ini", "prod.ini", "UAT.ini"));
    EXPECT_THAT(ListProfiles(dir.str() + "/UAT.ini"), testing::IsEmpty());
    EXPECT_THAT(ListProfiles(dir.str() + "/missing"), testing::IsEmpty());
}

TEST(MainWindowRules, StartUpChecksNameTheFirstEntryMissing)
{
    TempDir dir;
    const std::string work = dir.str();
    WriteFile(dir.path() / "VovuvAvavar.exe", "");
    EXPECT_EQ(FirstMissingEntryMessage(work), "No folder found " + work + "/env");
    WriteFile(dir.path() / "env", "a file passes too");
    EXPECT_EQ(FirstMissingEntryMessage(work), "No file found " + work + "/halvoclient.ini");
    std::filesystem::remove(dir.path() / "VovuvAvavar.exe");
    WriteFile(dir.path() / "halvoclient.ini", "");
    EXPECT_EQ(FirstMissingEntryMessage(work), "No file found " + work + "/VovuvAvavar.exe");
    std::filesystem::create_directory(dir.path() / "VovuvAvavar.exe");
    EXPECT_EQ(FirstMissingEntryMessage(work), std::nullopt);
}

TEST(MainWindowRules, TheRecordedLoadAsShownCutTo99Characters)
{
    const struct {
        std::string record;
        std::string shown;
    } cases[] = {
        {"", "halvoclient.ini"},
        {"[HALVO_LAUNCHER]\nLast Loaded File=String not found\n", "halvoclient.ini"},
        {"[HALVO_LAUNCHER]\nLast Loaded File=\n", "halvoclient.ini<>"},
        {"[HALVO_LAUNCHER]\nLast Loaded File=PROD.ini\n", "halvoclient.ini<PROD.ini>"},
        {"[HALVO_LAUNCHER]\nLast Loaded File=" + std::string(150, 'x') + "\n",
         "halvoclient.ini<" + std::string(99, 'x') + ">"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        WriteFile(dir.path() / "halvoclient.ini", c.record);
        EXPECT_EQ(LastLoadDisplayText(ReadLastLoadRecord(dir.str())), c.shown) << c.record;
    }
}

TEST(MainWindowRules, StartResultsFollowTheWindowsCodes)
{
    const struct {
        std::intptr_t result;
        bool closes;
        std::string message;
    } cases[] = {
        {33, true, ""},
        {42, true, ""},
        {32, false, "Error occured during start Vovuvavavar"},
        {26, false, "Sharing violation occured"},
        {2, false, "Error occured during start Vovuvavavar"},
        {0, false, "Error occured during start Vovuvavavar"},
    };
    for (const auto& c : cases) {
        const LaunchOutcome outcome = InterpretLaunchResult(c.result);
        EXPECT_EQ(outcome.close_launcher, c.closes) << c.result;
        EXPECT_EQ(outcome.message, c.message) << c.result;
    }
}

}  // namespace
