// Times the environment load on profiles of growing size, up to the largest
// the launcher's buffers admit (a section-name list just under 4998
// characters, every section's content just under 15998), each merged into a
// fresh copy of a 1 MB client file, and times crudini --merge on the same pair
// of files for comparison. Each size is loaded five times (each time a fresh
// pair of files) and the median counts; the first load of each size also
// gives the page faults and the peak memory over what the process held before.
//
// Last line: load-max-seconds=S crudini-ratio=R memory-ratio=M (R is "none"
// without crudini; M is the largest load's peak memory over the baseline,
// divided by the profile's size).
#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "environment_load.h"

namespace {

namespace fs = std::filesystem;

constexpr int kMaxSections = 555;        // "S0000000" and its NUL: 9 * 555 = 4995 characters
constexpr size_t kSectionLimit = 15990;  // content of one section, under 15998
constexpr size_t kClientBytes = 1 << 20;

std::string SectionName(int i) {
    char name[16];
    std::snprintf(name, sizeof name, "S%07d", i);
    return name;
}

std::string KeyName(int i) {
    char key[16];
    std::snprintf(key, sizeof key, "Key%05d", i);
    return key;
}

// A profile of `sections` sections, each filled to just under the limit.
std::string MakeProfile(int sections, size_t& entries) {
    std::string text;
    entries = 0;
    for (int s = 0; s < sections; ++s) {
        text.append("[").append(SectionName(s)).append("]\r\n");
        size_t content = 0;
        for (int k = 0;; ++k) {
            std::string entry = KeyName(k);
            entry.append("=value-").append(std::to_string(s)).append("-").append(std::to_string(k));
            if (content + entry.size() + 1 > kSectionLimit) break;
            content += entry.size() + 1;
            text.append(entry).append("\r\n");
            ++entries;
        }
    }
    return text;
}

// A client file of about 1 MB: every other profile section is already there
// with some of its keys, the rest are sections of its own.
std::string MakeClient() {
    std::string text = "; client configuration\r\n";
    for (int s = 0; s < kMaxSections; s += 2) {
        text.append("[").append(SectionName(s)).append("]\r\n");
        for (int k = 0; k < 40; k += 2) {
            text.append(KeyName(k)).append("=old value ").append(std::to_string(k)).append("\r\n");
        }
        text += "\r\n";
    }
    for (int i = 0; text.size() < kClientBytes; ++i) {
        text.append("[Client").append(std::to_string(i)).append("]\r\n");
        for (int k = 0; k < 12; ++k) {
            text.append("Setting").append(std::to_string(k)).append("=some configured value\r\n");
        }
    }
    return text;
}

void Write(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

class BenchWindow : public ardmon::LoadWindow {
public:
    explicit BenchWindow(std::string dir) : dir_(std::move(dir)) {}
    int GetCurSel() override { return 0; }
    std::string GetLBText(int) override { return "bench.ini"; }
    std::string WorkDir() override { return dir_; }
    void SetCurrentEnvironment(const std::string& text) override { box = text; }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    std::string box;
    std::vector<std::string> messages;

private:
    std::string dir_;
};

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// A field of /proc/self/status in kB ("VmRSS:", "VmHWM:").
long StatusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
    return 0;
}

// Starts the peak (VmHWM) again from the current resident memory.
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

long MinorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

struct LoadRun {
    double seconds = 0;
    long faults = 0;
    long peak_kb = 0;  // over the resident memory before the load
};

// One load of profile into a fresh copy of client, in its own folder (a new
// path, so that nothing parsed before is reused).
bool RunLoad(const fs::path& work, const std::string& profile, const std::string& client, LoadRun& run) {
    fs::create_directories(work / "env");
    Write(work / "env" / "bench.ini", profile);
    Write(work / "halvoclient.ini", client);
    BenchWindow window(work.string());
    ::malloc_trim(0);  // memory freed by earlier loads is not counted as room this one finds
    ResetPeak();
    const long rss = StatusKb("VmRSS:");
    const long faults = MinorFaults();
    const auto start = std::chrono::steady_clock::now();
    ardmon::RunEnvironmentLoad(window);
    run.seconds = Seconds(start);
    run.faults = MinorFaults() - faults;
    run.peak_kb = StatusKb("VmHWM:") - rss;
    if (window.messages.size() == 1 && window.box == "halvoclient.ini<bench.ini>") return true;
    std::fprintf(stderr, "load failed: %s\n",
                 window.messages.empty() ? "no message" : window.messages.front().c_str());
    return false;
}

}  // namespace

int main() {
    char pattern[] = "/tmp/bench-load-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return 1;
    const fs::path root = pattern;
    const bool have_crudini = std::system("command -v crudini >/dev/null 2>&1") == 0;
    const std::string client = MakeClient();

    std::printf("%10s %9s %9s %10s %12s %9s %9s %12s %9s\n", "profile-MB", "sections", "entries", "seconds",
                "entries/s", "faults", "peak-MB", "crudini-s", "ratio");
    double max_seconds = 0, memory_ratio = 0;
    std::string max_ratio = "none";
    for (int sections : {kMaxSections / 8, kMaxSections / 4, kMaxSections / 2, kMaxSections}) {
        size_t entries = 0;
        const std::string profile = MakeProfile(sections, entries);
        std::vector<LoadRun> runs(5);
        for (size_t r = 0; r < runs.size(); ++r) {
            const fs::path work = root / ("load-" + std::to_string(sections) + "-" + std::to_string(r));
            if (!RunLoad(work, profile, client, runs[r])) return 1;
            fs::remove_all(work);
        }
        const LoadRun first = runs.front();
        std::sort(runs.begin(), runs.end(),
                  [](const LoadRun& a, const LoadRun& b) { return a.seconds < b.seconds; });
        const double seconds = runs[runs.size() / 2].seconds;

        std::string crudini_text = "-", ratio_text = "-";
        if (have_crudini) {
            const fs::path theirs = root / ("crudini-" + std::to_string(sections));
            fs::create_directories(theirs);
            Write(theirs / "client.ini", client);
            Write(theirs / "profile.ini", profile);
            const std::string command = "crudini --merge '" + (theirs / "client.ini").string() + "' < '" +
                                        (theirs / "profile.ini").string() + "'";
            const auto start = std::chrono::steady_clock::now();
            int rc = std::system(command.c_str());
            const double crudini = Seconds(start);
            if (rc != 0) {
                std::fprintf(stderr, "crudini failed (%d)\n", rc);
            } else {
                char buf[64];
                std::snprintf(buf, sizeof buf, "%.3f", crudini);
                crudini_text = buf;
                std::snprintf(buf, sizeof buf, "%.1f", crudini / seconds);
                ratio_text = buf;
            }
        }
        std::printf("%10.2f %9d %9zu %10.3f %12.0f %9ld %9.1f %12s %9s\n", profile.size() / 1048576.0,
                    sections, entries, seconds, entries / seconds, first.faults, first.peak_kb / 1024.0,
                    crudini_text.c_str(), ratio_text.c_str());
        std::fflush(stdout);
        max_seconds = seconds;
        memory_ratio = first.peak_kb * 1024.0 / static_cast<double>(profile.size());
        max_ratio = have_crudini ? ratio_text : "none";
    }
    fs::remove_all(root);
    std::printf("load-max-seconds=%.3f crudini-ratio=%s memory-ratio=%.2f\n", max_seconds, max_ratio.c_str(),
                memory_ratio);
    return 0;
}
