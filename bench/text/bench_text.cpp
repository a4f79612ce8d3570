// bench_text: WriteToTextFile on 1,000,000 rows x 10 columns of short texts,
// through the C++ class and through the C interface, against writing the same
// bytes from memory with one fwrite (the limit).
//
//   bench_text [ROWS] [FOLDER]
//
// Last line: text-cells-per-second=N c-text-cells-per-second=C fwrite-ratio=R,
// N through the C++ class, C through the C interface, and R the export's
// byte rate over the raw fwrite rate (1.0 would be as fast as fwrite alone).
#include <ledgra/LedgraInteraction.h>
#include <ledgra/LedgraInterface.h>

#include "test_support/ScriptedInteraction.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <time.h>

namespace {

constexpr int kColumns = 10;

// Short cell texts of the kind a blotter shows, picked by cell position.
struct Texts {
    std::vector<std::string> pool;
    Texts() {
        const char* symbols[] = {"HALV", "ARDM", "VOVU", "LDGR", "XQTZ"};
        char buf[32];
        for (int i = 0; i < 1024; ++i) {
            switch (i % 4) {
                case 0:
                    pool.emplace_back(symbols[i % 5]);
                    break;
                case 1:
                    std::snprintf(buf, sizeof buf, "%d", i * 37 % 5000);
                    pool.emplace_back(buf);
                    break;
                case 2:
                    std::snprintf(buf, sizeof buf, "%d.%02d", i % 300, i % 100);
                    pool.emplace_back(buf);
                    break;
                default:
                    std::snprintf(buf, sizeof buf, "T%06d", i * 7919);
                    pool.emplace_back(buf);
                    break;
            }
        }
    }
};

int CellText(void* user, int row, int column, std::string& text, int*) {
    const auto& pool = static_cast<const Texts*>(user)->pool;
    text = pool[static_cast<unsigned>(row * 7 + column * 13) & 1023u];
    return 1;
}

// The same cells as a C caller gives them, copied in with ledgra_text_set.
int32_t LEDGRA_CALL CCellText(void* user, int32_t row, int32_t column, ledgra_text* text, int32_t*) {
    const auto& pool = static_cast<const Texts*>(user)->pool;
    const std::string& cell = pool[static_cast<unsigned>(row * 7 + column * 13) & 1023u];
    ledgra_text_set(text, cell.data(), cell.size());
    return 1;
}

// Wall and processor time (user + system) of one run. The machine may be
// shared, so the figures use the processor time, which other processes do
// not inflate; the wall time is shown beside it.
struct Clock {
    std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
    double cpu = CpuNow();
    static double CpuNow() {
        timespec ts{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
    }
};

struct Best {
    double cpu = 1e300;
    double wall = 1e300;
    void Add(const Clock& start) {
        cpu = std::min(cpu, Clock::CpuNow() - start.cpu);
        wall = std::min(wall,
                        std::chrono::duration<double>(std::chrono::steady_clock::now() - start.wall).count());
    }
};

std::string ReadAll(const std::string& path) {
    std::string bytes(std::filesystem::file_size(path), '\0');
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr || std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::exit(1);
    std::fclose(f);
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const std::filesystem::path folder =
        argc > 2 ? std::filesystem::path(argv[2]) : std::filesystem::temp_directory_path();
    const std::string exportPath = (folder / "ledgra-bench-export.txt").string();
    const std::string rawPath = (folder / "ledgra-bench-raw.txt").string();

    Texts texts;
    ledgra::ScriptedInteraction answer;
    answer.AnswerEverySave(exportPath);
    ledgra::SetInteraction(&answer);
    CLedgraInterface table(rows, kColumns);
    table.InitColumnTextRtn(&CellText);
    table.m_pUserData = &texts;

    constexpr int kRuns = 5;
    Best exported;
    for (int run = 0; run < kRuns; ++run) {
        std::filesystem::remove(exportPath);
        const Clock start;
        if (table.WriteToTextFile() != 1 || !answer.Messages().empty()) {
            for (const std::string& message : answer.Messages())
                std::fprintf(stderr, "bench_text: %s\n", message.c_str());
            return 1;
        }
        exported.Add(start);
    }

    // The same export through the C interface.
    Best exportedFromC;
    ledgra_export* handle = ledgra_export_create(rows, kColumns);
    ledgra_export_set_cell_text(handle, &CCellText, &texts);
    for (int run = 0; run < kRuns; ++run) {
        std::filesystem::remove(exportPath);
        const Clock start;
        if (ledgra_write_to_text_file(handle) != 1) return 1;
        exportedFromC.Add(start);
    }
    ledgra_export_destroy(handle);
    ledgra::SetInteraction(nullptr);

    // The floor the export cannot go below: the callback alone, once per cell.
    Best callbackOnly;
    for (int run = 0; run < kRuns; ++run) {
        ColumnTextRtn volatile fn = &CellText;
        std::string text;
        std::size_t total = 0;
        const Clock start;
        for (int row = 1; row <= rows; ++row)
            for (int column = 0; column < kColumns; ++column) {
                int type = -1;
                fn(&texts, row, column, text, &type);
                total += text.size();
            }
        callbackOnly.Add(start);
        if (total == 0 && rows > 0) return 1;
    }

    const std::string bytes = ReadAll(exportPath);
    Best raw;
    for (int run = 0; run < kRuns; ++run) {
        std::filesystem::remove(rawPath);
        const Clock start;
        FILE* f = std::fopen(rawPath.c_str(), "wb");
        if (f == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) return 1;
        if (std::fclose(f) != 0) return 1;
        raw.Add(start);
    }
    std::filesystem::remove(exportPath);
    std::filesystem::remove(rawPath);

    const double cells = static_cast<double>(rows) * kColumns;
    const double mb = static_cast<double>(bytes.size()) / 1e6;
    std::printf("table: %d rows x %d columns, %.1f MB of text in %s\n", rows, kColumns, mb, folder.c_str());
    std::printf("export: %.3f s (wall %.3f s), %.0f cells/s, %.1f MB/s (best of %d)\n", exported.cpu,
                exported.wall, cells / exported.cpu, mb / exported.cpu, kRuns);
    std::printf("export from C: %.3f s (wall %.3f s), %.0f cells/s (ledgra_text_set, best of %d)\n",
                exportedFromC.cpu, exportedFromC.wall, cells / exportedFromC.cpu, kRuns);
    std::printf("callback alone: %.3f s (wall %.3f s), %.1f ns a cell\n", callbackOnly.cpu, callbackOnly.wall,
                callbackOnly.cpu / cells * 1e9);
    std::printf("fwrite: %.3f s (wall %.3f s), %.1f MB/s (one call, best of %d)\n", raw.cpu, raw.wall,
                mb / raw.cpu, kRuns);
    std::printf("text-cells-per-second=%.0f c-text-cells-per-second=%.0f fwrite-ratio=%.2f\n",
                cells / exported.cpu, cells / exportedFromC.cpu, raw.cpu / exported.cpu);
    return 0;
}
