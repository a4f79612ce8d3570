// Everything <ledgra/ledgra.h> declares: each function runs the library's C++
// code and lets no exception out, and answers a null pointer instead of
// following it. A handle holds the library's own table, whose
// callback hands each cell on to the caller's C callback.
#include <ledgra/LedgraInteraction.h>
#include <ledgra/ledgra.h>

#include "automation/ErrorReport.h"
#include "interaction/Interaction.h"
#include "object/Text.h"
#include "object/TextExport.h"
#include "registry/ClassRegistry.h"
#include "workbook/CellConversion.h"
#include "workbook/WorkbookExport.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

using namespace ledgra;

struct ledgra_export {
    ledgra_export(int rows, int columns) : table(rows, columns) {}
    ExportTable table;
    ledgra_cell_text_fn fn = nullptr;
    void* userData = nullptr;
    ledgra_text text;      // the cell text handed to fn, kept between its calls
    bool writing = false;  // a write runs: the table is not to be changed
    int32_t lastError = LEDGRA_OK;
    std::string lastText;
};

namespace {

// The table's callback, for the writers that keep the text themselves:
// pUserData is the handle. A writer that emptied its text starts the handle's
// afresh; otherwise the handle still holds what the writer holds.
int CellText(void* handle, int row, int column, std::string& text, int* type) {
    auto* e = static_cast<ledgra_export*>(handle);
    if (text.empty()) e->text.Clear();
    const int result = e->fn(e->userData, row, column, &e->text, type);
    text.assign(e->text.View());
    return result;
}

// The same for the workbook writer's data cells, which start empty: read in place.
std::string_view CellView(void* handle, int row, int column, int* type) {
    auto* e = static_cast<ledgra_export*>(handle);
    e->text.Clear();
    e->fn(e->userData, row, column, &e->text, type);
    return e->text.View();
}

// The cells of a handle read in place, lent texts included.
class HandleCells final : public CellSourceOf<HandleCells> {
public:
    explicit HandleCells(ledgra_export& e) : e_(e) { e_.text.Clear(); }
    std::string_view Cell(int row, int column, int* type) {
        e_.fn(e_.userData, row, column, &e_.text, type);
        return e_.text.View();
    }

private:
    ledgra_export& e_;
};

// Shows the failed-write message for a failure the writer could not report
// itself and records its code.
void ReportUnexpected(Interaction& ui, int32_t code) noexcept {
    SetOutcome(code);
    try {
        ui.AfxMessageBox(kMsgWriteFailed, MB_OK, 0);
    } catch (...) {
    }
}

// Runs a writer: an automation error that leaves it is reported as the save
// step reports one; memory running out or any other failure is reported as a
// failed write. Each gives 0.
template <class Write>
int32_t Guarded(ExportSession& session, Write write) noexcept {
    Interaction& ui = session.Ui();
    try {
        return write();
    } catch (const COleDispatchException& error) {
        SetOutcome(LEDGRA_AUTOMATION_ERROR);
        ReportDispatchException(ui, error);
    } catch (const COleException& error) {
        SetOutcome(LEDGRA_AUTOMATION_ERROR);
        ReportOleException(ui, error);
    } catch (const std::bad_alloc&) {
        ReportUnexpected(ui, LEDGRA_OUT_OF_MEMORY);
    } catch (...) {
        ReportUnexpected(ui, LEDGRA_WRITE_FAILED);
    }
    return 0;
}

// Runs one write on table with the interaction installed now, and keeps what
// it came to as the table's last error.
template <class Write>
int32_t RunWrite(ledgra_export* table, Write write) noexcept {
    if (table == nullptr) return 0;
    if (table->writing) {
        table->lastError = LEDGRA_MISUSE;
        table->lastText.clear();
        return 0;
    }
    table->writing = true;
    int32_t result = 0;
    try {
        ExportSession session;
        try {
            result = Guarded(session, write);
        } catch (...) {  // a report that could not be shown: the outcome stands
        }
        table->lastError = session.Code();
        if (result == 0 && table->lastError == LEDGRA_OK) table->lastError = LEDGRA_WRITE_FAILED;
        table->lastText = session.Shown();
    } catch (...) {
        table->lastError = LEDGRA_OUT_OF_MEMORY;
        table->lastText.clear();
    }
    table->writing = false;
    return result;
}

// A change to a table that is being written is refused.
bool Changeable(ledgra_export* table) {
    if (table == nullptr) return false;
    if (!table->writing) return true;
    table->lastError = LEDGRA_MISUSE;
    table->lastText.clear();
    return false;
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

// The host's C table seen as an Interaction; a function it leaves null answers
// as a dialog the user cancelled.
class TableInteraction final : public Interaction {
public:
    explicit TableInteraction(const ledgra_interaction& table) : table_(table) {}

    int SaveDialog(const SaveDialogRequest& request, std::string& pathOut) override {
        const ledgra_save_dialog_request r{request.defaultExt.c_str(), request.initialName.c_str(),
                                           request.flags, request.filter.c_str()};
        if (table_.save_dialog == nullptr) return IDCANCEL;
        ledgra_text path;
        const int result = table_.save_dialog(table_.context, &r, &path);
        if (result == IDOK) pathOut = path.View();
        return result;
    }
    int AfxMessageBox(const std::string& text, unsigned type, unsigned helpId) override {
        if (table_.afx_message_box == nullptr) return detail::UnshownAnswer(type);
        return table_.afx_message_box(table_.context, text.c_str(), type, helpId);
    }
    int MessageBoxA(const std::string& text, const std::string& caption, unsigned type) override {
        if (table_.message_box == nullptr) return detail::UnshownAnswer(type);
        return table_.message_box(table_.context, text.c_str(), caption.c_str(), type);
    }

private:
    ledgra_interaction table_;
};

}  // namespace

const char* LEDGRA_CALL ledgra_version(void) { return LEDGRA_LIBRARY_VERSION; }

void LEDGRA_CALL ledgra_text_set(ledgra_text* text, const char* data, size_t length) {
    if (text == nullptr) return;
    try {
        text->Set(data, length);
    } catch (...) {
        text->Clear();
    }
}

void LEDGRA_CALL ledgra_text_lend(ledgra_text* text, const char* data, size_t length) {
    if (text != nullptr) text->Lend(data, length);
}

const char* LEDGRA_CALL ledgra_text_get(const ledgra_text* text, size_t* length) {
    if (text == nullptr) {
        if (length != nullptr) *length = 0;
        return "";
    }
    const std::string_view s = text->View();
    if (length != nullptr) *length = s.size();
    return s.data() != nullptr ? s.data() : "";
}

ledgra_export* LEDGRA_CALL ledgra_export_create(int32_t rows, int32_t columns) {
    return new (std::nothrow) ledgra_export(rows, columns);
}

void LEDGRA_CALL ledgra_export_destroy(ledgra_export* table) { delete table; }

void LEDGRA_CALL ledgra_export_set_size(ledgra_export* table, int32_t rows, int32_t columns) {
    if (!Changeable(table)) return;
    table->table.rows = rows;
    table->table.columns = columns;
}

void LEDGRA_CALL ledgra_export_set_cell_text(ledgra_export* table, ledgra_cell_text_fn fn, void* user_data) {
    if (!Changeable(table)) return;
    table->fn = fn;
    table->userData = user_data;
    table->table.cellText = fn != nullptr ? &CellText : nullptr;
    table->table.cellView = fn != nullptr ? &CellView : nullptr;
}

const char* LEDGRA_CALL ledgra_export_file_name(const ledgra_export* table) {
    return table != nullptr ? table->table.fileName.c_str() : "";
}

// The text writer passes a null user pointer on; the workbook writer refuses
// one. The handle stands in for the caller's pointer accordingly.
int32_t LEDGRA_CALL ledgra_write_to_text_file(ledgra_export* table) {
    return RunWrite(table, [table] {
        table->table.userData = table;
        HandleCells cells(*table);
        return WriteTableAsText(table->table, cells);
    });
}

int32_t LEDGRA_CALL ledgra_write_to_excel(ledgra_export* table) {
    return RunWrite(table, [table] {
        table->table.userData = table->userData != nullptr ? table : nullptr;
        return workbook::WriteToExcelWith(table->table, workbook::kExcelProgId);
    });
}

int32_t LEDGRA_CALL ledgra_export_last_error(const ledgra_export* table, const char** text) {
    if (text != nullptr) *text = table != nullptr ? table->lastText.c_str() : "";
    return table != nullptr ? table->lastError : LEDGRA_MISUSE;
}

int32_t LEDGRA_CALL ledgra_prog_id_exists(const char* prog_id, char** message) {
    try {
        const long status = ClassRegistry::Instance().Open(prog_id != nullptr ? prog_id : "");
        if (message != nullptr) *message = AllocateMessage(SystemMessageText(status));
        return status == 0 ? 1 : 0;
    } catch (...) {
        if (message != nullptr) *message = nullptr;
        return 0;
    }
}

void LEDGRA_CALL ledgra_free_message(char* message) {
#ifdef _WIN32
    if (message != nullptr) ::LocalFree(message);
#else
    std::free(message);
#endif
}

int32_t LEDGRA_CALL ledgra_get_column_no_for_excel(int32_t row, int32_t column, char* out) {
    if (out == nullptr) return 0;
    return workbook::CellReference(row, column, out) ? 1 : 0;
}

void LEDGRA_CALL ledgra_set_interaction(const ledgra_interaction* interaction) {
    try {
        InstallInteraction(interaction != nullptr ? std::make_shared<TableInteraction>(*interaction)
                                                  : nullptr);
    } catch (...) {
        InstallInteraction(nullptr);  // out of memory: the system's dialogs
    }
}
