#include "ardmon_cli.h"

#include <algorithm>
#include <functional>

#include "cli_arguments.h"
#include "cli_report.h"
#include "main_window_rules.h"

namespace ardmon::cli {
namespace {

constexpr char kHelp[] =
    "Usage: ardmon-cli [--dir FOLDER] [--json] COMMAND\n"
    "Lists, shows and loads the environment profiles of a trading terminal's folder,\n"
    "as Ardmon's window does.\n"
    "\n"
    "Commands:\n"
    "  list                  the profiles of env/, one a line, and the current environment\n"
    "  status                the current environment: the profile last loaded and when\n"
    "  load PROFILE          merges env/PROFILE into halvoclient.ini and records the load\n"
    "  load PROFILE --dry-run\n"
    "                        changes nothing; lists per section the keys the load would add\n"
    "                        and change, and counts the unchanged ones\n"
    "\n"
    "Options (before or after the command):\n"
    "  --dir FOLDER          the terminal's folder (default: the current folder)\n"
    "  --json                the result as one JSON object\n"
    "  --show-secrets        with --dry-run: show values of keys named like passwords\n"
    "  -h, --help            this text\n"
    "  --version             the version\n"
    "\n"
    "Exit codes:\n"
    "  0  done\n"
    "  2  wrong usage\n"
    "  3  the folder, env, halvoclient.ini, VovuvAvavar.exe or the profile is missing\n"
    "  4  not loaded, nothing changed\n"
    "  5  another load held halvoclient.ini too long, nothing changed\n"
    "  6  loaded, but some entries were not loaded as given\n";

// The main window as the load sees it: the profile given on the command line
// selected, each message told at once.
class CliLoadWindow final : public LoadWindow {
public:
    CliLoadWindow(std::string work_dir, std::string profile, std::function<void(const std::string&)> tell)
        : work_dir_(std::move(work_dir)), profile_(std::move(profile)), tell_(std::move(tell))
    {
    }
    int GetCurSel() override { return 0; }
    std::string GetLBText(int) override { return profile_; }
    std::string WorkDir() override { return work_dir_; }
    void SetCurrentEnvironment(const std::string& text) override { current_environment_ = text; }
    void ShowMessage(const std::string& text) override { tell_(text); }

    const std::string& CurrentEnvironment() const { return current_environment_; }

private:
    std::string work_dir_;
    std::string profile_;
    std::function<void(const std::string&)> tell_;
    std::string current_environment_;
};

bool IsAbsolutePath(const std::string& path)
{
#ifdef _WIN32
    return path.starts_with('\\') || path.starts_with('/') || (path.size() > 1 && path[1] == ':');
#else
    return path.starts_with('/');
#endif
}

// The folder's path as the window would build it when started there.
std::string WorkDirOf(const Arguments& arguments)
{
    if (!arguments.dir || *arguments.dir == ".") return CurrentWorkDir();
    return IsAbsolutePath(*arguments.dir) ? *arguments.dir : JoinPath(CurrentWorkDir(), *arguments.dir);
}

// The profiles in the order a sorted list shows them: letters without
// regard to case, then the bytes.
std::vector<std::string> SortedProfiles(const std::string& work_dir)
{
    std::vector<std::string> profiles = ListProfiles(JoinPath(work_dir, kProfileFolder));
    const auto folded = [](const std::string& name) {
        std::string f = name;
        std::ranges::transform(f, f.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; });
        return f;
    };
    std::ranges::sort(profiles, [&](const std::string& a, const std::string& b) {
        const std::string fa = folded(a);
        const std::string fb = folded(b);
        return fa != fb ? fa < fb : a < b;
    });
    return profiles;
}

class Run {
public:
    Run(Report& report, std::ostream& err) : report_(report), err_(err) {}

    void Tell(const std::string& message)
    {
        err_ << message << '\n';
        report_.messages.push_back(message);
    }

    // The folder itself, then the window's start-up checks in their order.
    bool FolderComplete()
    {
        std::optional<std::string> missing;
        if (!EntryExists(report_.dir)) {
            missing = "No folder found " + report_.dir;
        } else {
            missing = FirstMissingEntryMessage(report_.dir);
        }
        if (missing) Tell(*missing);
        return !missing;
    }

    int List()
    {
        report_.profiles = SortedProfiles(report_.dir);
        report_.current_environment = LastLoadDisplayText(ReadLastLoadRecord(report_.dir));
        return kExitDone;
    }

    int Status()
    {
        const std::string recorded = ReadLastLoadRecord(report_.dir);
        report_.current_environment = LastLoadDisplayText(recorded);
        if (recorded != kNoRecord) report_.last_loaded_file = recorded;
        if (std::string time = ReadLoadRecordTime(report_.dir); !time.empty()) report_.time = time;
        return kExitDone;
    }

    int Load(const Arguments& arguments, LoadPlatform& platform)
    {
        const std::string& profile = arguments.profile;
        report_.profile = profile;
        const std::string profile_folder = JoinPath(report_.dir, kProfileFolder);
        if (std::ranges::count(ListProfiles(profile_folder), profile) == 0) {
            Tell("No profile found " + JoinPath(profile_folder, profile));
            return kExitMissing;
        }
        if (arguments.dry_run) return DryRun(profile, platform);
        CliLoadWindow window(report_.dir, profile, [this](const std::string& text) { Tell(text); });
        const LoadResult result = RunEnvironmentLoad(window, platform);
        if (!window.CurrentEnvironment().empty()) report_.current_environment = window.CurrentEnvironment();
        return ExitCodeFor(result, false);
    }

private:
    // The load against a platform that only records its writes. Its success
    // message would claim a load that did not happen, so it is not told.
    int DryRun(const std::string& profile, LoadPlatform& platform)
    {
        const std::string success = LoadedSuccessfullyMessage(profile);
        CliLoadWindow window(report_.dir, profile, [&](const std::string& text) {
            if (text != success) Tell(text);
        });
        DryRunPlatform dry_run(platform);
        const LoadResult result = RunEnvironmentLoad(window, dry_run);
        if (result == LoadResult::kLoaded || result == LoadResult::kLoadedNotAsGiven) {
            report_.preview = PreviewWrites(platform, dry_run.ClientPath(), dry_run.Writes());
        }
        return ExitCodeFor(result, true);
    }

    Report& report_;
    std::ostream& err_;
};

}  // namespace

int ExitCodeFor(LoadResult result, bool dry_run)
{
    switch (result) {
        case LoadResult::kLoaded:
            return kExitDone;
        case LoadResult::kLoadedNotAsGiven:
            return dry_run ? kExitDone : kExitNotAsGiven;
        case LoadResult::kNotLoaded:
            return kExitNotLoaded;
        case LoadResult::kBusy:
            return kExitBusy;
    }
    return kExitNotLoaded;
}

int RunCli(const std::vector<std::string>& args, LoadPlatform& platform, std::ostream& out, std::ostream& err)
{
    const ParsedArguments parsed = ParseArguments(args);
    const Arguments& arguments = parsed.arguments;
    if (arguments.help) {
        out << kHelp;
        return kExitDone;
    }
    if (arguments.version) {
        out << "ardmon-cli " << ARDMON_CLI_VERSION << '\n';
        return kExitDone;
    }
    Report report;
    report.dry_run = arguments.dry_run;
    report.show_secrets = arguments.show_secrets;
    Run run(report, err);
    if (!parsed.error.empty()) {
        run.Tell("ardmon-cli: " + parsed.error);
        err << "Try 'ardmon-cli --help' for more information.\n";
        report.exit_code = kExitUsage;
    } else {
        report.command = CommandName(arguments.command);
        report.dir = WorkDirOf(arguments);
        if (!run.FolderComplete()) {
            report.exit_code = kExitMissing;
        } else if (arguments.command == Command::kList) {
            report.exit_code = run.List();
        } else if (arguments.command == Command::kStatus) {
            report.exit_code = run.Status();
        } else {
            report.exit_code = run.Load(arguments, platform);
        }
    }
    if (arguments.json) {
        WriteJson(out, report);
    } else {
        WriteText(out, report);
    }
    return report.exit_code;
}

}  // namespace ardmon::cli
