// Ledgra's export object: one table (rows x columns, cell texts pulled through
// a callback) to be saved as comma-separated text or as a workbook.
//
// Written inline over the C interface of <ledgra/ledgra.h>: the library sees no
// C++ type of the caller's, and the stream of FileOpen is the caller's own C
// runtime's.
#pragma once

#include <ledgra/ledgra.h>

#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <utility>
#include <vector>

// Supplies the text of one cell. pUserData is CLedgraInterface::m_pUserData;
// the callback assigns strText and, for the header row of a workbook, stores the
// column's type code in *pnType. The result is ignored.
typedef int (*ColumnTextRtn)(void* pUserData, int nRow, int nColumn, std::string& strText, int* pnType);

namespace ledgra::detail {

// The C callback the library calls, handing each cell to the C++ one and
// lending the library the C++ text (it stays in place until the next call).
// Call takes the library's text over when it is not that text any more (the
// workbook writer empties it); CallKeepingText is for the text writer, whose
// text starts empty and changes only through the callback, so the C++ text is
// always the library's. An exception of the C++ callback is kept (no more
// cells are asked of it) and rethrown once the library has returned.
struct CellTextBridge {
    ColumnTextRtn fn;
    void* userData;
    std::string text;
    std::exception_ptr error;

    static int32_t LEDGRA_CALL Call(void* self, int32_t row, int32_t column, ledgra_text* text,
                                    int32_t* type) noexcept {
        auto& bridge = *static_cast<CellTextBridge*>(self);
        if (bridge.error) return 0;
        std::size_t length = 0;
        const char* held = ledgra_text_get(text, &length);
        if (held == bridge.text.data() && length == bridge.text.size())
            return bridge.Pass(row, column, text, type);
        try {
            if (length == 0)
                bridge.text.clear();  // the workbook writer's data cells start empty
            else
                bridge.text.assign(held, length);
        } catch (...) {
            bridge.error = std::current_exception();
            return 0;
        }
        return bridge.Pass(row, column, text, type);
    }
    static int32_t LEDGRA_CALL CallKeepingText(void* self, int32_t row, int32_t column, ledgra_text* text,
                                               int32_t* type) noexcept {
        auto& bridge = *static_cast<CellTextBridge*>(self);
        if (bridge.error) return 0;
        return bridge.Pass(row, column, text, type);
    }
    int32_t Pass(int32_t row, int32_t column, ledgra_text* out, int32_t* type) noexcept {
        try {
            const int result = fn(userData, row, column, text, type);
            ledgra_text_lend(out, text.data(), text.size());
            return result;
        } catch (...) {
            error = std::current_exception();
            return 0;
        }
    }
};

// What a writer leaves behind: the file the workbook writer created, and the
// last error with the text the user was last shown.
struct WriterOutcome {
    std::string fileName;
    int lastError = LEDGRA_OK;
    std::string lastText;
};

// Runs one writer on a handle set up from the object's members. textWriter
// tells the text writer from the workbook writer: the workbook writer refuses
// a null user pointer, so the bridge is handed over then only to the text
// writer (which passes a null pointer on).
template <class Write>
int RunWriter(int rows, int columns, ColumnTextRtn fn, void* userData, bool textWriter, Write write,
              WriterOutcome& outcome) {
    ledgra_export* table = ledgra_export_create(rows, columns);
    if (table == nullptr) throw std::bad_alloc();
    CellTextBridge bridge{fn, userData, {}, {}};
    const ledgra_cell_text_fn call = textWriter ? &CellTextBridge::CallKeepingText : &CellTextBridge::Call;
    ledgra_export_set_cell_text(table, fn != nullptr ? call : nullptr,
                                userData != nullptr || textWriter ? &bridge : nullptr);
    const int result = write(table);
    outcome.fileName = ledgra_export_file_name(table);
    const char* text = "";
    outcome.lastError = ledgra_export_last_error(table, &text);
    outcome.lastText = text;
    ledgra_export_destroy(table);
    if (bridge.error) std::rethrow_exception(bridge.error);
    return result;
}

}  // namespace ledgra::detail

class CLedgraInterface {
public:
    // Counts are taken as they come; zero or negative counts ask for no cells.
    CLedgraInterface(int nRows, int nColumns)
        : m_pFile(nullptr),
          m_nRows(nRows),
          m_nColumns(nColumns),
          m_pfnColumnText(nullptr),
          m_pUserData(nullptr) {}
    // Leaves m_pFile open: the caller closes it with FileClose.
    ~CLedgraInterface() = default;

    // Stores path in m_strFileName; when path and mode are both non-empty, opens
    // it into m_pFile (null on failure; an open stream is replaced, not closed).
    // Returns m_pFile.
    FILE* FileOpen(std::string path, std::string mode) {
        m_strFileName = std::move(path);
        if (!m_strFileName.empty() && !mode.empty())
            m_pFile = std::fopen(m_strFileName.c_str(), mode.c_str());
        return m_pFile;
    }
    // 1 when a stream was closed, 0 when none was open.
    int FileClose() {
        if (m_pFile == nullptr) return 0;
        std::fclose(m_pFile);
        m_pFile = nullptr;
        return 1;
    }
    // FileOpen's open step with m_strFileName and m_strMode.
    FILE* OpenFileForExcel() {
        if (!m_strFileName.empty() && !m_strMode.empty())
            m_pFile = std::fopen(m_strFileName.c_str(), m_strMode.c_str());
        return m_pFile;
    }
    // 1 when a class is registered under progId (0 for null), else 0; message
    // receives the system text of the status either way.
    int ProgIDExists(const char* progId, std::string& message) {
        char* text = nullptr;
        const int result = ledgra_prog_id_exists(progId, &text);
        message = text != nullptr ? text : "";
        ledgra_free_message(text);
        return result;
    }
    void InitColumnTextRtn(ColumnTextRtn fn) { m_pfnColumnText = fn; }
    // Writes the reference of 1-based row and column ("A1", "AB12", "ZZ-3")
    // into out, at most LEDGRA_CELL_REF_SIZE bytes with the terminating zero, and returns 1.
    // Columns outside 1..702 have no letter name: out gets "" and the result is 0.
    int getColumnNoForExcel(int row, int column, char* out) {
        if (out == nullptr) return 0;
        return ledgra_get_column_no_for_excel(row, column, out);
    }
    // Asks for a file and writes rows 1..m_nRows as comma-separated lines ended
    // by CR LF. 1 when written; 0 on cancel, open or write failure, or when the
    // table has cells and no callback is installed.
    int WriteToTextFile() {
        ledgra::detail::WriterOutcome outcome;
        const int result = ledgra::detail::RunWriter(m_nRows, m_nColumns, m_pfnColumnText, m_pUserData, true,
                                                     ledgra_write_to_text_file, outcome);
        m_nLastError = outcome.lastError;
        m_strLastError = std::move(outcome.lastText);
        return result;
    }
    // The workbook writer creates the chosen file through FileOpen and closes
    // it at once: m_strFileName names it and m_pFile is null afterwards.
    int WriteToExcel() {
        ledgra::detail::WriterOutcome outcome;
        const int result = ledgra::detail::RunWriter(m_nRows, m_nColumns, m_pfnColumnText, m_pUserData, false,
                                                     ledgra_write_to_excel, outcome);
        if (!outcome.fileName.empty()) {
            m_strFileName = std::move(outcome.fileName);
            m_pFile = nullptr;
        }
        m_nLastError = outcome.lastError;
        m_strLastError = std::move(outcome.lastText);
        return result;
    }

    std::string m_strFileName;
    FILE* m_pFile;
    int m_nRows;
    int m_nColumns;
    std::string m_strMode;
    std::vector<int> m_arrColumnTypes;
    ColumnTextRtn m_pfnColumnText;
    void* m_pUserData;
    // What the last write came to (a LEDGRA_* code; ledgra_export_last_error)
    // and the text the user was last shown by it.
    int m_nLastError = LEDGRA_OK;
    std::string m_strLastError;
};
