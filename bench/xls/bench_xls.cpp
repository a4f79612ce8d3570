// Fills a workbook the way the workbook export does (131070 rows x 10 mixed
// columns over three sheets of at most 65534 data rows, the whole workbook
// saved after every sheet and once more at the end) and reports the speed of
// filling and saving, the peak memory and the file size.
#include "test_support/TestFiles.h"
#include "xls/Workbook.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace ledgra::xls;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

// Processor time of this process (user and system): steadier than the clock
// on a busy machine.
double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

long PeakRssKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

const char* const kSides[] = {"Buy", "Sell", "Hold", "Void"};

// Column c of data row q, as the export's conversions would hand it over.
void FillCell(Worksheet& s, std::uint32_t row, std::uint32_t c, std::uint32_t q, char* buf) {
    switch (c) {
        case 0:
            std::snprintf(buf, 32, "ORD%08u", q);
            s.SetText(row, c, buf);
            break;  // unique code
        case 1:
            s.SetNumber(row, c, (q % 100000) / 100.0 + 1);
            break;  // price, "0.00"
        case 2:
            s.SetText(row, c, kSides[q % 4]);
            break;  // category, "@"
        case 3:
            s.SetNumber(row, c, static_cast<double>(q * 7 % 100000));
            break;  // quantity
        case 4:
            s.SetNumber(row, c, q * 0.37 + 0.001);
            break;  // amount
        case 5:
            std::snprintf(buf, 32, "%05u", q % 1000);
            s.SetText(row, c, buf);
            break;  // account, "@"
        case 6:
            s.SetNumber(row, c, 1700000000.0 + q);
            break;  // time stamp
        case 7:
            std::snprintf(buf, 32, "Client %u", q % 5000);
            s.SetText(row, c, buf);
            break;  // name
        case 8:
            s.SetNumber(row, c, (q % 977) * 1.5);
            break;  // rate, "0.00"
        default:
            if (q % 3) s.SetText(row, c, q % 2 ? "Fill" : "Kill");
            break;  // flag, some empty
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::uint32_t rows = argc > 1 ? static_cast<std::uint32_t>(std::atoi(argv[1])) : 131070;
    const std::uint32_t columns = 10, perSheet = 65534;
    const ledgra::test::TempDir dir;
    const std::string path = dir / "Data.xls";

    auto book = std::make_unique<Workbook>();
    SaveMemo memo;  // as the application keeps it between its saves
    Worksheet* sheet = &book->InsertSheet(0, "Data");
    const char* headers[] = {"Order",   "Price", "Side",   "Qty",  "Amount",
                             "Account", "Time",  "Client", "Rate", "Flag"};
    const NumberFormat formats[] = {NumberFormat::Text,    NumberFormat::Fixed2,  NumberFormat::Text,
                                    NumberFormat::General, NumberFormat::General, NumberFormat::Text,
                                    NumberFormat::General, NumberFormat::Text,    NumberFormat::Fixed2,
                                    NumberFormat::Text};
    double fill = 0, save = 0, fillCpu = 0, saveCpu = 0;
    std::uint64_t serialized = 0, bytes = 0, cells = 0;
    char buf[32];
    std::uint32_t done = 0;
    ::sync();  // what was written before is on the disk: its writing back is not timed
    for (int k = 1; done < rows; ++k) {
        const std::uint32_t n = std::min(rows - done, perSheet);
        auto t0 = Clock::now();
        const double c0 = CpuSeconds();
        sheet->SetName("Data-Sheet" + std::to_string(k));
        for (std::uint32_t c = 0; c < columns; ++c) {
            sheet->SetNumberFormat(0, n, c, formats[c]);
            sheet->SetText(0, c, headers[c]);
        }
        for (std::uint32_t i = 1; i <= n; ++i)
            for (std::uint32_t c = 0; c < columns; ++c) FillCell(*sheet, i, c, done + i, buf);
        cells += static_cast<std::uint64_t>(n + 1) * columns;
        done += n;
        auto t1 = Clock::now();
        const double c1 = CpuSeconds();
        SaveResult r = SaveBiff8(*book, path, &memo);
        auto t2 = Clock::now();
        const double c2 = CpuSeconds();
        fillCpu += c1 - c0;
        saveCpu += c2 - c1;
        if (!r) {
            std::fprintf(stderr, "save failed: %s\n", r.description.c_str());
            return 1;
        }
        struct stat st {};
        stat(path.c_str(), &st);
        fill += Seconds(t0, t1);
        save += Seconds(t1, t2);
        bytes += static_cast<std::uint64_t>(st.st_size);
        for (std::size_t s = 0; s < book->SheetCount(); ++s) serialized += book->Sheet(s).CellCount();
        if (done < rows)
            sheet = &book->InsertSheet(static_cast<std::size_t>(k), "Sheet" + std::to_string(k + 1));
    }
    auto t3 = Clock::now();
    const double c3 = CpuSeconds();
    SaveResult r = SaveBiff8(*book, path, &memo);  // the export's final Save
    save += Seconds(t3, Clock::now());
    saveCpu += CpuSeconds() - c3;
    struct stat st {};
    stat(path.c_str(), &st);
    bytes += static_cast<std::uint64_t>(st.st_size);
    for (std::size_t s = 0; s < book->SheetCount(); ++s) serialized += book->Sheet(s).CellCount();
    if (!r) return 1;

    const double mb = 1024.0 * 1024.0;
    std::printf("cells %llu in %zu sheets, %d saves\n", static_cast<unsigned long long>(cells),
                book->SheetCount(), static_cast<int>(book->SheetCount()) + 1);
    std::printf("fill   %.3f s  %.1f M cells/s  (cpu %.3f s)\n", fill, cells / fill / 1e6, fillCpu);
    std::printf("save   %.3f s  %.1f M cells/s serialized, %.1f MB/s written  (cpu %.3f s, %.1f M cells/s)\n",
                save, serialized / save / 1e6, bytes / save / mb, saveCpu, serialized / saveCpu / 1e6);
    std::printf("total  %.3f s  %.2f M cells/s\n", fill + save, cells / (fill + save) / 1e6);
    std::printf("file   %.2f MB\n", st.st_size / mb);
    std::printf("peak   %.2f MB (%.2f x file)\n", PeakRssKb() / 1024.0, PeakRssKb() * 1024.0 / st.st_size);
    std::printf("xls-cells-per-second=%.0f peak-memory-ratio=%.2f\n", cells / (fill + save),
                PeakRssKb() * 1024.0 / st.st_size);
    return 0;
}
