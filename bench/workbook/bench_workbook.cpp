// WriteToExcel end to end: 131070 rows x 10 mixed columns (three sheets) saved
// through a scripted save dialog, against libxlsxwriter in constant-memory
// mode writing the same cells from the same callback in the same run.
// Prints seconds, cells per second, peak memory and file size for both, and
// how the export's time grows with the number of sheets (1, 2, 4, 8 full
// sheets, saved after each sheet as the export does): the seconds of each,
// and per doubling the growth of the time per row (1.00: each row costs the
// same however many came before). The last line is
//   workbook-cells-per-second=N libxlsxwriter-ratio=R peak-memory-ratio=M
// with R = our rate / libxlsxwriter's and M = the export's peak resident
// memory (over what the process held before it) / file size.
#include <ledgra/LedgraInteraction.h>
#include <ledgra/LedgraInterface.h>

#include "BenchTable.h"
#include "test_support/ScriptedInteraction.h"
#include "test_support/TestFiles.h"

#include <xlsxwriter.h>

#include <sys/resource.h>
#include <time.h>
#include <unistd.h>
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;
using namespace ledgra::bench;

long CurrentRssKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

long PeakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Seconds of the fastest of `runs` exports of rows x kColumns to path, or a
// negative number when one failed.
double ExportSeconds(int rows, int runs, const std::string& path, ledgra::ScriptedInteraction& ui) {
    CLedgraInterface table(rows, kColumns);
    table.InitColumnTextRtn(&CellText);
    int userData = 0;
    table.m_pUserData = &userData;
    ui.AnswerEverySave(path);
    double best = 1e300;
    for (int run = 0; run < runs; ++run) {
        ::sync();  // what was written before is on the disk: its writing back is not timed
        const Clock::time_point start = Clock::now();
        if (table.WriteToExcel() != 1 || !ui.Messages().empty()) return -1;
        best = std::min(best, Since(start));
    }
    return best;
}

// The seconds for 1, 2, 4 and 8 full sheets (the best of five exports each:
// a single slow save on the shared machine would show as growth), and the
// growth of the time per row from each to the next.
void PrintScaling(const std::string& path, ledgra::ScriptedInteraction& ui) {
    std::printf("sheets:");
    double last = 0;
    std::string growth;
    for (int sheets = 1; sheets <= 8; sheets *= 2) {
        const double seconds = ExportSeconds(sheets * kPerSheet + 1, 5, path, ui);
        if (seconds < 0) {
            std::printf(" failed\n");
            return;
        }
        std::printf(" %d: %.3f s", sheets, seconds);
        if (last > 0) {
            char ratio[16];
            std::snprintf(ratio, sizeof ratio, " %.2f", seconds / last / 2);
            growth += ratio;
        }
        last = seconds;
    }
    std::printf("  time per row per doubling:%s\n", growth.c_str());
}

// The same cells with libxlsxwriter: callback texts, the same conversions and formats.
bool WriteWithLibxlsxwriter(const std::string& path, int rows) {
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(path.c_str(), &options);
    if (book == nullptr) return false;
    lxw_format* fixed2 = workbook_add_format(book);
    format_set_num_format(fixed2, "0.00");
    lxw_format* text = workbook_add_format(book);
    format_set_num_format(text, "@");
    lxw_format* general = workbook_add_format(book);
    format_set_num_format(general, "General");
    auto formatOf = [&](int code) -> lxw_format* {
        return code == 2 ? fixed2 : code == 3 ? text : code == 10 ? general : nullptr;
    };
    std::string cell;
    int type = -1;
    int remaining = rows - 1;
    int offset = 0;
    for (int k = 1; remaining > 0; ++k) {
        const int n = remaining < kPerSheet ? remaining : kPerSheet;
        const std::string name = "Data-Sheet" + std::to_string(k);
        lxw_worksheet* sheet = workbook_add_worksheet(book, name.c_str());
        for (int c = 0; c < kColumns; ++c) {
            CellText(nullptr, 0, c, cell, &type);
            worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c), cell.c_str(), formatOf(kCodes[c]));
        }
        for (int i = 1; i <= n; ++i) {
            for (int c = 0; c < kColumns; ++c) {
                cell.clear();
                CellText(nullptr, offset + i, c, cell, &type);
                lxw_format* format = formatOf(kCodes[c]);
                const auto row = static_cast<lxw_row_t>(i);
                const auto col = static_cast<lxw_col_t>(c);
                if (cell.empty()) continue;
                switch (kCodes[c]) {
                    case 1:
                        worksheet_write_number(sheet, row, col, std::atoi(cell.c_str()), format);
                        break;
                    case 2:
                        worksheet_write_number(sheet, row, col, std::strtod(cell.c_str(), nullptr), format);
                        break;
                    case 4:
                        worksheet_write_number(sheet, row, col, std::atol(cell.c_str()), format);
                        break;
                    default:
                        worksheet_write_string(sheet, row, col, cell.c_str(), format);
                        break;
                }
            }
        }
        offset += n;
        remaining -= n;
    }
    return workbook_close(book) == LXW_NO_ERROR;
}

}  // namespace

int main(int argc, char** argv) {
    const int rows = argc > 1 ? std::atoi(argv[1]) : 131070;
    ::setenv("LEDGRA_OPEN_WORKBOOK", "0", 1);  // no viewer for a benchmark
    const ledgra::test::TempDir dir;
    const std::string ours = dir / "Data.xls";
    const std::string theirs = dir / "Data.xlsx";
    const double cells = static_cast<double>(rows) * kColumns;

    ledgra::ScriptedInteraction ui;
    ui.AnswerEverySave(ours);
    ledgra::SetInteraction(&ui);
    CLedgraInterface table(rows, kColumns);
    table.InitColumnTextRtn(&CellText);
    int userData = 0;
    table.m_pUserData = &userData;
    // Best of five runs (the machine may be busy); the memory figure is the
    // export's own: the peak resident memory over what the process held
    // before the first run (the host's libraries, the GUI toolkit).
    const long rssBefore = CurrentRssKb();
    double seconds = 1e300, cpuSeconds = 0;
    for (int run = 0; run < 5; ++run) {
        ::sync();  // what was written before is on the disk: its writing back is not timed
        const double cpuStart = CpuSeconds();
        const Clock::time_point start = Clock::now();
        const int result = table.WriteToExcel();
        const double wall = Since(start);
        if (result != 1 || !ui.Messages().empty()) {
            std::fprintf(stderr, "WriteToExcel failed (result %d)\n", result);
            for (const std::string& message : ui.Messages())
                std::fprintf(stderr, "message: %s\n", message.c_str());
            return 1;
        }
        if (wall < seconds) {
            seconds = wall;
            cpuSeconds = CpuSeconds() - cpuStart;
        }
    }
    const long peakKb = PeakRssKb();
    ledgra::SetInteraction(nullptr);
    const auto size = std::filesystem::file_size(ours);

    if (argc > 2 && std::string(argv[2]) == "ours") {  // for profiling WriteToExcel alone
        std::printf("WriteToExcel: %.3f s (%.3f s CPU)  %.0f cells/s\n", seconds, cpuSeconds,
                    cells / seconds);
        return 0;
    }
    const Clock::time_point lxwStart = Clock::now();
    if (!WriteWithLibxlsxwriter(theirs, rows)) {
        std::fprintf(stderr, "libxlsxwriter failed\n");
        return 1;
    }
    const double lxwSeconds = Since(lxwStart);
    const auto lxwSize = std::filesystem::file_size(theirs);

    const double rate = cells / seconds;
    const double lxwRate = cells / lxwSeconds;
    const double exportKb = static_cast<double>(peakKb - rssBefore);
    const double memoryRatio = exportKb * 1024.0 / static_cast<double>(size);
    std::printf("cells: %d rows x %d columns = %.0f\n", rows, kColumns, cells);
    std::printf(
        "WriteToExcel:   %.3f s (%.3f s CPU)  %.0f cells/s  peak RSS %.1f MB, %.1f MB over "
        "the %.1f MB held before  file %.1f MB\n",
        seconds, cpuSeconds, rate, peakKb / 1024.0, exportKb / 1024.0, rssBefore / 1024.0, size / 1048576.0);
    std::printf("libxlsxwriter:  %.3f s  %.0f cells/s  file %.1f MB (constant memory, .xlsx)\n", lxwSeconds,
                lxwRate, lxwSize / 1048576.0);
    ledgra::SetInteraction(&ui);
    PrintScaling(ours, ui);
    ledgra::SetInteraction(nullptr);
    std::printf("workbook-cells-per-second=%.0f libxlsxwriter-ratio=%.2f peak-memory-ratio=%.2f\n", rate,
                rate / lxwRate, memoryRatio);
    return 0;
}
