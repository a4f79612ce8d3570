// WriteToExcel on Windows (run under wine): the 131070 x 10 table of
// bench_workbook exported to the stand-in application linked into this
// program (the in-process path) and to the same stand-in as a COM server
// registered as "Excel.Application" (the COM path: CoCreateInstance and
// IDispatch::Invoke with VARIANTs), both from the library's own table, so the
// two differ only in the transport; then both ways again from the public
// class, whose cells also cross the C interface (in-process by registering the
// linked stand-in under "Excel.Application" for this process, as
// CoRegisterClassObject would). Prints the times; the last line is
//   windows-inprocess-seconds=A windows-com-seconds=B com-overhead-percent=P
//   public-com-overhead-percent=Q
//
//   bench_workbook_com.exe SERVER_DLL [ROWS [ROUNDS]]
#include <ledgra/LedgraInteraction.h>
#include <ledgra/LedgraInterface.h>

#include "BenchTable.h"
#include "registry/ClassRegistry.h"
#include "standin/Standin.h"
#include "test_support/ScriptedInteraction.h"
#include "workbook/WorkbookExport.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using namespace ledgra::bench;

// Seconds of one export, or a negative number when it failed: from the
// library's own table to progId, or (progId null) from the public class.
double Export(int rows, const std::string& path, const char* progId) {
    CLedgraInterface table(rows, kColumns);
    table.InitColumnTextRtn(&CellText);
    table.m_pUserData = &table;
    ledgra::ExportTable own(rows, kColumns);
    own.cellText = &CellText;
    own.userData = &own;
    ledgra::ScriptedInteraction ui;
    ui.AnswerEverySave(path);
    ledgra::SetInteraction(&ui);
    const auto start = std::chrono::steady_clock::now();
    const int result = progId ? ledgra::workbook::WriteToExcelWith(own, progId) : table.WriteToExcel();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ledgra::SetInteraction(nullptr);
    return result == 1 ? seconds : -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const int rows = argc > 2 ? std::atoi(argv[2]) : 131070;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
    HMODULE server = LoadLibraryA(argv[1]);
    auto registerServer = server ? reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
                                       reinterpret_cast<void*>(GetProcAddress(server, "DllRegisterServer")))
                                 : nullptr;
    if (!registerServer || FAILED(registerServer())) {
        std::fprintf(stderr, "cannot register %s\n", argv[1]);
        return 1;
    }
    ledgra::ClassRegistry::Instance().Register("Ledgra.InProcess",
                                               [] { return ledgra::standin::NewApplication(); });

    char folder[MAX_PATH] = "";
    GetTempPathA(sizeof folder, folder);
    const std::string inProcessPath = std::string(folder) + "bench-inprocess.xls";
    const std::string comPath = std::string(folder) + "bench-com.xls";
    // Alternating, best of five (or ROUNDS) each, so no path pays for a
    // cold start alone and a burst of other work on the machine is not counted.
    double inProcess = 1e9, com = 1e9, publicInProcess = 1e9, publicCom = 1e9;
    for (int round = 0; round < rounds; ++round) {
        const double a = Export(rows, inProcessPath, "Ledgra.InProcess");
        const double b = Export(rows, comPath, ledgra::workbook::kExcelProgId);
        const double c = Export(rows, comPath, nullptr);
        ledgra::ClassRegistry::Instance().Register(ledgra::workbook::kExcelProgId,
                                                   [] { return ledgra::standin::NewApplication(); });
        const double d = Export(rows, inProcessPath, nullptr);
        ledgra::ClassRegistry::Instance().Unregister(ledgra::workbook::kExcelProgId);
        if (a < 0 || b < 0 || c < 0 || d < 0) {
            std::fprintf(stderr, "WriteToExcel failed\n");
            return 1;
        }
        inProcess = std::min(inProcess, a);
        com = std::min(com, b);
        publicCom = std::min(publicCom, c);
        publicInProcess = std::min(publicInProcess, d);
    }
    DeleteFileA(inProcessPath.c_str());
    DeleteFileA(comPath.c_str());
    const double cells = static_cast<double>(rows) * kColumns;
    std::printf("Windows (wine), %d rows x %d columns:\n", rows, kColumns);
    std::printf("  in-process stand-in: %.3f s  %.0f cells/s\n", inProcess, cells / inProcess);
    std::printf("  through COM:         %.3f s  %.0f cells/s\n", com, cells / com);
    std::printf("  from the public class, in-process: %.3f s  %.0f cells/s\n", publicInProcess,
                cells / publicInProcess);
    std::printf("  from the public class, through COM: %.3f s  %.0f cells/s\n", publicCom, cells / publicCom);
    std::printf(
        "windows-inprocess-seconds=%.3f windows-com-seconds=%.3f com-overhead-percent=%.1f "
        "public-com-overhead-percent=%.1f\n",
        inProcess, com, (com / inProcess - 1) * 100, (publicCom / publicInProcess - 1) * 100);
    return 0;
}
