// ardmon-cli run in-process against the host's load platform (on Windows the
// system's profile functions) with a fixed clock: the bytes a load leaves
// compared with the window's load, the dry run against the real load, every
// exit code, and the command line's parsing.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "ardmon_cli.h"
#include "cli_arguments.h"
#include "cli_report.h"
#include "load_preview.h"
#include "main_window_rules.h"
#include "parse_rules.h"

namespace fs = std::filesystem;
using namespace ardmon;
using namespace ardmon::cli;

namespace {

constexpr std::time_t kLoadTime = 1700000000;

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

class FixedClock final : public ForwardingLoadPlatform {
public:
    using ForwardingLoadPlatform::ForwardingLoadPlatform;
    std::time_t Now() override { return kLoadTime; }
};

// The main window as the load sees it once the user picked profile in the
// list the window fills.
class PickedProfile final : public LoadWindow {
public:
    PickedProfile(std::string dir, const std::string& profile)
        : dir_(std::move(dir)), items_(ListProfiles(JoinPath(dir_, kProfileFolder))), profile_(profile)
    {
    }
    int GetCurSel() override
    {
        const auto at = std::ranges::find(items_, profile_);
        return at == items_.end() ? -1 : static_cast<int>(at - items_.begin());
    }
    std::string GetLBText(int index) override { return items_.at(static_cast<size_t>(index)); }
    std::string WorkDir() override { return dir_; }
    void SetCurrentEnvironment(const std::string&) override {}
    void ShowMessage(const std::string&) override {}

private:
    std::string dir_;
    std::vector<std::string> items_;
    std::string profile_;
};

// A scratch terminal folder: the demo workstation's copy, or a small one.
class Workstation {
public:
    Workstation()
    {
        static int count = 0;
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        dir_ = fs::temp_directory_path() /
               ("ardmon-cli-" + std::to_string(stamp) + "-" + std::to_string(++count));
        fs::create_directories(dir_ / kProfileFolder);
        WriteAll(dir_ / kTerminalFile, "");
    }
    ~Workstation()
    {
        std::error_code ec;
        for (const auto& entry : fs::recursive_directory_iterator(dir_, ec)) {
            fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ec);
        }
        fs::remove_all(dir_, ec);
    }
    Workstation(const Workstation&) = delete;
    Workstation& operator=(const Workstation&) = delete;

    void CopyDemo()
    {
        fs::copy(ARDMON_DEMO_WORKSTATION, dir_,
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    }
    std::string Dir() const { return dir_.string(); }
    fs::path Path(const std::string& name) const { return dir_ / name; }
    std::string Client() const { return ReadAll(dir_ / kClientFile); }

    // Every file's bytes and time stamp, by path.
    std::map<std::string, std::pair<std::string, fs::file_time_type>> Snapshot() const
    {
        std::map<std::string, std::pair<std::string, fs::file_time_type>> files;
        for (const auto& entry : fs::recursive_directory_iterator(dir_)) {
            files[entry.path().string()] = {entry.is_regular_file() ? ReadAll(entry.path()) : "",
                                            fs::last_write_time(entry.path())};
        }
        return files;
    }

private:
    fs::path dir_;
};

struct Outcome {
    int code;
    std::string out;
    std::string err;
};

Outcome Cli(std::vector<std::string> args)
{
    const auto host = MakeHostLoadPlatform();
    FixedClock platform(*host);
    std::ostringstream out;
    std::ostringstream err;
    const int code = RunCli(args, platform, out, err);
    return {code, out.str(), err.str()};
}

// Every "section/key" whose value the client file's sections give differently.
std::set<std::string> ChangedKeys(const std::string& client, const std::string& before_bytes)
{
    const auto read = [&](const std::string& path) {
        std::map<std::string, std::string> entries;
        std::vector<char> names(1 << 16);
        const DWORD n = ::GetPrivateProfileSectionNamesA(names.data(), 1 << 16, path.c_str());
        SplitSectionNames(names.data(), n, [&](std::string_view name) {
            const std::string section(name);
            std::vector<char> content(1 << 16);
            const DWORD m =
                ::GetPrivateProfileSectionA(section.c_str(), content.data(), 1 << 16, path.c_str());
            SplitSectionEntries(content.data(), m, [&](std::string_view key, std::string_view value) {
                entries.emplace(section + "/" + std::string(key), std::string(value));
            });
        });
        return entries;
    };
    const std::string before_path = client + ".before";
    WriteAll(before_path, before_bytes);
    const auto before = read(before_path);
    fs::remove(before_path);
    std::set<std::string> changed;
    for (const auto& [key, value] : read(client)) {
        if (!before.contains(key) || before.at(key) != value) changed.insert(key);
    }
    return changed;
}

// The "section/key" of every add and change line of a dry run's text.
std::set<std::string> ListedKeys(const std::string& text)
{
    std::set<std::string> keys;
    std::istringstream lines(text);
    std::string section;
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with('[')) section = line.substr(1, line.size() - 2);
        if (line.starts_with("  add ") || line.starts_with("  change ")) {
            const size_t start = line.find_first_not_of(' ', 8);
            keys.insert(section + "/" + line.substr(start, line.find('=') - start));
        }
    }
    return keys;
}

const std::vector<std::string> kDemoProfiles = {"DR.ini", "PROD.ini", "UAT.ini"};

TEST(ArdmonCli, LoadsEveryDemoProfileByteForByteAsTheWindowDoes)
{
    for (const std::string& profile : kDemoProfiles) {
        SCOPED_TRACE(profile);
        Workstation window_desk;
        Workstation cli_desk;
        window_desk.CopyDemo();
        cli_desk.CopyDemo();
        PickedProfile window(window_desk.Dir(), profile);
        const auto host = MakeHostLoadPlatform();
        FixedClock platform(*host);
        ASSERT_EQ(RunEnvironmentLoad(window, platform), LoadResult::kLoaded);

        const Outcome cli = Cli({"load", profile, "--dir", cli_desk.Dir()});
        EXPECT_EQ(cli.code, 0) << cli.err;
        EXPECT_EQ(cli.out, "Current Environment: halvoclient.ini<" + profile + ">\n");
        EXPECT_EQ(cli.err, LoadedSuccessfullyMessage(profile) + "\n");
        EXPECT_EQ(cli_desk.Client(), window_desk.Client());
    }
}

TEST(ArdmonCli, DryRunTouchesNothingAndListsWhatTheLoadThenChanges)
{
    for (const std::string& profile : kDemoProfiles) {
        SCOPED_TRACE(profile);
        Workstation desk;
        desk.CopyDemo();
        const auto before = desk.Snapshot();
        const std::string client_before = desk.Client();
        const Outcome dry = Cli({"--dir", desk.Dir(), "load", "--dry-run", profile});
        ASSERT_EQ(dry.code, 0) << dry.err;
        EXPECT_EQ(dry.err, "");
        EXPECT_EQ(desk.Snapshot(), before);

        ASSERT_EQ(Cli({"load", profile, "--dir", desk.Dir()}).code, 0);
        const auto listed = ListedKeys(dry.out);
        EXPECT_TRUE(listed.contains("HALVO_LAUNCHER/Time"));
        EXPECT_EQ(listed, ChangedKeys(desk.Path(kClientFile).string(), client_before));
    }
}

TEST(ArdmonCli, DryRunShowsAddedChangedAndUnchangedKeysAndHidesSecrets)
{
    Workstation desk;
    WriteAll(desk.Path(kClientFile),
             "[Server]\r\nHost=old\r\nPort=1\r\nDbPassword=hunter2\r\n[HALVO_LAUNCHER]\r\n"
             "Last Loaded File=A.ini\r\nTime=01-Jan-2020 00:00:00\r\n");
    WriteAll(desk.Path("env/B.ini"),
             "[server]\r\nhost=new\r\nPORT=1\r\ndbpassword=swordfish\r\nApiToken=t\r\n");
    const std::string record =
        "[HALVO_LAUNCHER]\n"
        "  change  Last Loaded File=A.ini -> B.ini\n"
        "  change  Time=01-Jan-2020 00:00:00 -> " +
        FormatLoadTime(kLoadTime) +
        "\n"
        "  unchanged 0\n";
    EXPECT_EQ(Cli({"load", "B.ini", "--dry-run", "--dir", desk.Dir()}).out,
              "[server]\n"
              "  add     ApiToken=***\n"
              "  change  host=old -> new\n"
              "  change  dbpassword=*** -> ***\n"
              "  unchanged 1\n" +
                  record + "B.ini would add 1, change 4 and leave 1 unchanged\n");
    const Outcome shown =
        Cli({"load", "B.ini", "--dry-run", "--show-secrets", "--json", "--dir", desk.Dir()});
    EXPECT_EQ(
        shown.out,
        "{\"command\":\"load\",\"dir\":" + JsonString(desk.Dir()) +
            ",\"profile\":\"B.ini\",\"dry_run\":true,\"exit_code\":0,\"result\":\"done\",\"messages\":[],"
            "\"sections\":[{\"section\":\"server\",\"added\":[{\"key\":\"ApiToken\",\"value\":\"t\"}],"
            "\"changed\":[{\"key\":\"host\",\"old\":\"old\",\"new\":\"new\"},"
            "{\"key\":\"dbpassword\",\"old\":\"hunter2\",\"new\":\"swordfish\"}],\"unchanged\":1},"
            "{\"section\":\"HALVO_LAUNCHER\",\"added\":[],\"changed\":["
            "{\"key\":\"Last Loaded File\",\"old\":\"A.ini\",\"new\":\"B.ini\"},"
            "{\"key\":\"Time\",\"old\":\"01-Jan-2020 00:00:00\",\"new\":\"" +
            FormatLoadTime(kLoadTime) + "\"}],\"unchanged\":0}]}\n");
}

TEST(ArdmonCli, ListAndStatusShowWhatTheWindowShows)
{
    Workstation desk;
    desk.CopyDemo();
    WriteAll(desk.Path("env/dev.ini"), "");  // sorted as the list shows it: without regard to case
    const std::string dir = desk.Dir();
    EXPECT_EQ(Cli({"list", "--dir", dir}).out,
              "dev.ini\nDR.ini\nPROD.ini\nUAT.ini\nCurrent Environment: halvoclient.ini\n");
    EXPECT_EQ(Cli({"status", "--json", "--dir", dir}).out,
              "{\"command\":\"status\",\"dir\":" + JsonString(dir) +
                  ",\"exit_code\":0,\"result\":\"done\",\"messages\":[],\"current_environment\":"
                  "\"halvoclient.ini\",\"last_loaded_file\":null,\"time\":null}\n");
    ASSERT_EQ(Cli({"load", "UAT.ini", "--dir", dir}).code, 0);
    EXPECT_EQ(Cli({"--dir", dir, "status"}).out,
              "Current Environment: halvoclient.ini<UAT.ini>\nTime: " + FormatLoadTime(kLoadTime) + "\n");
    EXPECT_EQ(Cli({"list", "--json", "--dir", dir}).out,
              "{\"command\":\"list\",\"dir\":" + JsonString(dir) +
                  ",\"exit_code\":0,\"result\":\"done\",\"messages\":[],\"profiles\":[\"dev.ini\",\"DR.ini\","
                  "\"PROD.ini\","
                  "\"UAT.ini\"],\"current_environment\":\"halvoclient.ini<UAT.ini>\"}\n");
}

TEST(ArdmonCli, EveryExitCodeIsReachedWithTheWindowsMessage)
{
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::function<void(Workstation&)> arrange;
        int code;
        std::function<std::string(const Workstation&)> message;
    };
    const auto path = [](const char* name) {
        return [name](const Workstation& w) { return w.Path(name).string(); };
    };
    const auto read_only_client = [](Workstation& w) {
        fs::permissions(w.Path(kClientFile), fs::perms::all, fs::perm_options::remove);
        fs::permissions(w.Path(kClientFile), fs::perms::owner_read, fs::perm_options::add);
    };
    const std::string overflowing = "[Big]\r\n" + std::string(16000, 'k') + "=v\r\n[Fine]\r\na=1\r\n";
    const Case cases[] = {
        {"done",
         {"load", "DR.ini"},
         [](Workstation&) {},
         0,
         [](const Workstation&) { return LoadedSuccessfullyMessage("DR.ini"); }},
        {"usage",
         {"lod", "DR.ini"},
         [](Workstation&) {},
         2,
         [](const Workstation&) { return std::string("ardmon-cli: unknown command 'lod'"); }},
        {"no folder",
         {"list"},
         [](Workstation& w) { fs::remove_all(w.Path("")); },
         3,
         [](const Workstation& w) { return "No folder found " + w.Dir(); }},
        {"no env",
         {"status"},
         [](Workstation& w) { fs::remove_all(w.Path(kProfileFolder)); },
         3,
         [&](const Workstation& w) { return "No folder found " + path(kProfileFolder)(w); }},
        {"no client",
         {"list"},
         [](Workstation& w) { fs::remove(w.Path(kClientFile)); },
         3,
         [&](const Workstation& w) { return "No file found " + path(kClientFile)(w); }},
        {"no terminal",
         {"load", "DR.ini"},
         [](Workstation& w) { fs::remove(w.Path(kTerminalFile)); },
         3,
         [&](const Workstation& w) { return "No file found " + path(kTerminalFile)(w); }},
        {"no profile",
         {"load", "notes.INI"},
         [](Workstation&) {},
         3,
         [](const Workstation& w) {
             return "No profile found " + (w.Path(kProfileFolder) / "notes.INI").string();
         }},
        {"read-only",
         {"load", "DR.ini"},
         read_only_client,
         4,
         [](const Workstation&) { return std::string("can not open halvoclient.ini in this directory"); }},
        {"read-only dry run",
         {"load", "DR.ini", "--dry-run"},
         read_only_client,
         4,
         [](const Workstation&) { return std::string("can not open halvoclient.ini in this directory"); }},
        {"not as given",
         {"load", "big.ini"},
         [&](Workstation& w) { WriteAll(w.Path("env/big.ini"), overflowing); },
         6,
         [](const Workstation&) { return TooManyKeysMessage("Big"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Workstation desk;
        desk.CopyDemo();
        c.arrange(desk);
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--dir", desk.Dir()});
        const Outcome outcome = Cli(args);
        EXPECT_EQ(outcome.code, c.code);
        EXPECT_EQ(outcome.err.substr(0, outcome.err.find('\n')), c.message(desk));
    }
    // Only a bounded wait for the client file's lock gives up; its result is told as 5.
    const std::pair<LoadResult, int> codes[] = {{LoadResult::kLoaded, 0},
                                                {LoadResult::kLoadedNotAsGiven, 6},
                                                {LoadResult::kNotLoaded, 4},
                                                {LoadResult::kBusy, 5}};
    for (const auto& [result, code] : codes) {
        EXPECT_EQ(ExitCodeFor(result, false), code);
        EXPECT_EQ(ExitCodeFor(result, true), code == 6 ? 0 : code);
    }
}

TEST(ArdmonCli, OptionsGoBeforeOrAfterTheCommand)
{
    struct Case {
        std::vector<std::string> args;
        Command command;
        std::string profile;
        std::string dir;
        bool json;
        bool dry_run;
        std::string error;
    };
    const Case cases[] = {
        {{"--dir", "D", "list", "--json"}, Command::kList, "", "D", true, false, ""},
        {{"list", "--dir", "D", "--json"}, Command::kList, "", "D", true, false, ""},
        {{"load", "--dry-run", "A.ini", "--dir=D"}, Command::kLoad, "A.ini", "D", false, true, ""},
        {{"--json", "load", "--", "-x.ini"}, Command::kLoad, "-x.ini", "", true, false, ""},
        {{}, Command::kNone, "", "", false, false, "no command given"},
        {{"load"}, Command::kLoad, "", "", false, false, "load needs the name of a profile"},
        {{"status", "extra"}, Command::kStatus, "", "", false, false, "unexpected argument 'extra'"},
        {{"list", "--dry-run"}, Command::kList, "", "", false, true, "--dry-run goes with load"},
        {{"load", "A.ini", "--show-secrets"},
         Command::kLoad,
         "A.ini",
         "",
         false,
         false,
         "--show-secrets goes with load --dry-run"},
        {{"list", "--dir"}, Command::kNone, "", "", false, false, "option '--dir' needs a folder"},
        {{"list", "--verbose"}, Command::kList, "", "", false, false, "unrecognized option '--verbose'"},
    };
    for (const Case& c : cases) {
        const ParsedArguments parsed = ParseArguments(c.args);
        SCOPED_TRACE(c.error);
        EXPECT_EQ(parsed.error, c.error);
        if (!c.error.empty()) continue;
        EXPECT_EQ(parsed.arguments.command, c.command);
        EXPECT_EQ(parsed.arguments.profile, c.profile);
        EXPECT_EQ(parsed.arguments.dir.value_or(""), c.dir);
        EXPECT_EQ(parsed.arguments.json, c.json);
        EXPECT_EQ(parsed.arguments.dry_run, c.dry_run);
    }
    EXPECT_EQ(Cli({"list", "--version"}).out, std::string("ardmon-cli ") + ARDMON_CLI_VERSION + "\n");
    EXPECT_EQ(Cli({"--bogus", "--help"}).code, 0);
}

TEST(ArdmonCli, JsonStringsAreValidWhateverTheBytes)
{
    const std::pair<std::string, std::string> cases[] = {
        {"plain", "\"plain\""},
        {"q\"b\\", "\"q\\\"b\\\\\""},
        {"tab\tnl\n", "\"tab\\u0009nl\\u000a\""},
        {"caf\xC3\xA9", "\"caf\xC3\xA9\""},
        {"caf\xE9", "\"caf\\u00e9\""},                  // Latin-1, not UTF-8
        {"\xED\xA0\x80", "\"\\u00ed\\u00a0\\u0080\""},  // a surrogate
    };
    for (const auto& [text, json] : cases)
        EXPECT_EQ(JsonString(text), json);
}

}  // namespace
