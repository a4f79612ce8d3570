// Times the environment load on profiles of growing size, up to the largest
// the launcher's buffers admit (a section-name list just under 4998
// characters, every section's content just under 15998), each merged into a
// fresh copy of a 1 MB client file, and times crudini --merge on the same pair
// of files for comparison.
//
// Last line: load-max-seconds=S crudini-ratio=R (R is "none" without crudini).
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
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

}  // namespace

int main() {
    char pattern[] = "/tmp/bench-load-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return 1;
    const fs::path root = pattern;
    const bool have_crudini = std::system("command -v crudini >/dev/null 2>&1") == 0;
    const std::string client = MakeClient();

    std::printf("%10s %9s %9s %10s %12s %12s %9s\n", "profile-MB", "sections", "entries", "seconds",
                "entries/s", "crudini-s", "ratio");
    double max_seconds = 0;
    std::string max_ratio = "none";
    for (int sections : {kMaxSections / 8, kMaxSections / 4, kMaxSections / 2, kMaxSections}) {
        size_t entries = 0;
        const std::string profile = MakeProfile(sections, entries);
        const fs::path work = root / ("load-" + std::to_string(sections));
        fs::create_directories(work / "env");
        Write(work / "env" / "bench.ini", profile);
        Write(work / "halvoclient.ini", client);

        BenchWindow window(work.string());
        auto start = std::chrono::steady_clock::now();
        ardmon::RunEnvironmentLoad(window);
        const double seconds = Seconds(start);
        if (window.messages.size() != 1 || window.box != "halvoclient.ini<bench.ini>") {
            std::fprintf(stderr, "load failed: %s\n",
                         window.messages.empty() ? "no message" : window.messages.front().c_str());
            return 1;
        }

        std::string crudini_text = "-", ratio_text = "-";
        if (have_crudini) {
            const fs::path theirs = root / ("crudini-" + std::to_string(sections));
            fs::create_directories(theirs);
            Write(theirs / "client.ini", client);
            Write(theirs / "profile.ini", profile);
            const std::string command = "crudini --merge '" + (theirs / "client.ini").string() + "' < '" +
                                        (theirs / "profile.ini").string() + "'";
            start = std::chrono::steady_clock::now();
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
        std::printf("%10.2f %9d %9zu %10.3f %12.0f %12s %9s\n", profile.size() / 1048576.0, sections, entries,
                    seconds, entries / seconds, crudini_text.c_str(), ratio_text.c_str());
        std::fflush(stdout);
        max_seconds = seconds;
        max_ratio = have_crudini ? ratio_text : "none";
    }
    fs::remove_all(root);
    std::printf("load-max-seconds=%.3f crudini-ratio=%s\n", max_seconds, max_ratio.c_str());
    return 0;
}
