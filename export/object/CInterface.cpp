// The C interface: each function runs the library's C++ code and lets no
// exception out. A handle holds the library's own CLedgraInterface, whose
// callback hands each cell on to the caller's C callback.
#include <ledgra/LedgraInterface.h>

#include "automation/ErrorReport.h"
#include "interaction/Interaction.h"
#include "object/Text.h"
#include "object/TextExport.h"
#include "registry/ClassRegistry.h"
#include "workbook/WorkbookExport.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

using namespace ledgra;

struct ledgra_export {
    ledgra_export(int rows, int columns) : table(rows, columns) {}
    CLedgraInterface table;
    ledgra_cell_text_fn fn = nullptr;
    void* userData = nullptr;
};

namespace {

// Bytes getColumnNoForExcel writes at most: two letters, "-2147483648", NUL.
constexpr std::size_t kCellRefSize = 14;

// The table's callback: pUserData is the handle.
int CellText(void* handle, int row, int column, std::string& text, int* type) {
    auto* e = static_cast<ledgra_export*>(handle);
    return e->fn(e->userData, row, column, AsText(text), type);
}

// Runs a writer; an automation error that leaves it is reported as the save
// step reports one, anything else (memory running out) ends it with 0.
template <class Write>
int32_t Guarded(Write write) noexcept {
    try {
        return write();
    } catch (const COleDispatchException& error) {
        ReportDispatchException(CurrentInteraction(), error);
    } catch (const COleException& error) {
        ReportOleException(CurrentInteraction(), error);
    } catch (...) {
    }
    return 0;
}

char* AllocateMessage(const std::string& text) {
#ifdef _WIN32
    auto* message = static_cast<char*>(::LocalAlloc(LMEM_FIXED, text.size() + 1));
#else
    auto* message = static_cast<char*>(std::malloc(text.size() + 1));
#endif
    if (message != nullptr) std::memcpy(message, text.c_str(), text.size() + 1);
    return message;
}

}  // namespace

void ledgra_text_set(ledgra_text* text, const char* data, size_t length) {
    try {
        FromText(text).assign(data != nullptr ? data : "", data != nullptr ? length : 0);
    } catch (...) {
        FromText(text).clear();
    }
}

const char* ledgra_text_get(const ledgra_text* text, size_t* length) {
    const std::string& s = FromText(text);
    if (length != nullptr) *length = s.size();
    return s.data();
}

ledgra_export* ledgra_export_create(int32_t rows, int32_t columns) {
    return new (std::nothrow) ledgra_export(rows, columns);
}

void ledgra_export_destroy(ledgra_export* table) { delete table; }

void ledgra_export_set_size(ledgra_export* table, int32_t rows, int32_t columns) {
    table->table.m_nRows = rows;
    table->table.m_nColumns = columns;
}

void ledgra_export_set_cell_text(ledgra_export* table, ledgra_cell_text_fn fn, void* user_data) {
    table->fn = fn;
    table->userData = user_data;
    table->table.InitColumnTextRtn(fn != nullptr ? &CellText : nullptr);
}

const char* ledgra_export_file_name(const ledgra_export* table) { return table->table.m_strFileName.c_str(); }

// The text writer passes a null user pointer on; the workbook writer refuses
// one. The handle stands in for the caller's pointer accordingly.
int32_t ledgra_write_to_text_file(ledgra_export* table) {
    table->table.m_pUserData = table;
    return Guarded([table] { return WriteTableAsText(table->table); });
}

int32_t ledgra_write_to_excel(ledgra_export* table) {
    table->table.m_pUserData = table->userData != nullptr ? table : nullptr;
    return Guarded([table] { return workbook::WriteToExcelWith(table->table, workbook::kExcelProgId); });
}

int32_t ledgra_prog_id_exists(const char* prog_id, char** message) {
    try {
        const long status = ClassRegistry::Instance().Open(prog_id != nullptr ? prog_id : "");
        if (message != nullptr) *message = AllocateMessage(SystemMessageText(status));
        return status == 0 ? 1 : 0;
    } catch (...) {
        if (message != nullptr) *message = nullptr;
        return 0;
    }
}

void ledgra_free_message(char* message) {
#ifdef _WIN32
    if (message != nullptr) ::LocalFree(message);
#else
    std::free(message);
#endif
}

int32_t ledgra_get_column_no_for_excel(int32_t row, int32_t column, char* out) {
    if (out == nullptr) return 0;
    if (column < 1 || column > 702) {
        out[0] = '\0';
        return 0;
    }
    const int q = (column - 1) / 26;
    const int r = (column - 1) % 26;
    if (q == 0)
        std::snprintf(out, kCellRefSize, "%c%d", static_cast<char>(64 + column), static_cast<int>(row));
    else
        std::snprintf(out, kCellRefSize, "%c%c%d", static_cast<char>(64 + q), static_cast<char>(65 + r),
                      static_cast<int>(row));
    return 1;
}
