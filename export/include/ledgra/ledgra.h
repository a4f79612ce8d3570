/* Ledgra's C interface: everything the library exports.
 *
 * Plain C types only (fixed-size integers, zero-terminated or counted texts,
 * an opaque handle), so a program built with any compiler and any C runtime
 * can use it. No C++ exception leaves these functions. The C++ classes of
 * <ledgra/LedgraInterface.h> and <ledgra/LedgraInteraction.h> are written
 * over this interface, inline, in the caller's compiler.
 *
 *   ledgra_export* e = ledgra_export_create(rows, columns);
 *   ledgra_export_set_cell_text(e, my_cell_text, my_table);
 *   int32_t written = ledgra_write_to_excel(e);   (or ledgra_write_to_text_file)
 *   ledgra_export_destroy(e);
 */
#ifndef LEDGRA_LEDGRA_H
#define LEDGRA_LEDGRA_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#if defined(LEDGRA_BUILDING)
#define LEDGRA_API
#else
#define LEDGRA_API __declspec(dllimport)
#endif
#else
#define LEDGRA_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The text of one cell, or the path a save dialog answers: owned by the library. */
typedef struct ledgra_text ledgra_text;

/* Replaces the text with length bytes at data (data may be null when length is 0). */
LEDGRA_API void ledgra_text_set(ledgra_text* text, const char* data, size_t length);
/* The text now held: not zero-terminated; *length receives its length. */
LEDGRA_API const char* ledgra_text_get(const ledgra_text* text, size_t* length);

/* Supplies the text of one cell: sets it with ledgra_text_set (a text left alone
 * keeps what the previous call left) and, when asked for row 0 by the workbook
 * writer, stores the column's type code (1, 2, 3, 4, 10) in *type. The result is
 * ignored. user_data is the pointer given to ledgra_export_set_cell_text. */
typedef int32_t (*ledgra_cell_text_fn)(void* user_data, int32_t row, int32_t column, ledgra_text* text,
                                       int32_t* type);

/* One table to be saved. */
typedef struct ledgra_export ledgra_export;

/* Null only when memory runs out. Counts are taken as they come. */
LEDGRA_API ledgra_export* ledgra_export_create(int32_t rows, int32_t columns);
LEDGRA_API void ledgra_export_destroy(ledgra_export* table);
LEDGRA_API void ledgra_export_set_size(ledgra_export* table, int32_t rows, int32_t columns);
/* fn may be null (no callback); user_data is passed to fn unchanged. */
LEDGRA_API void ledgra_export_set_cell_text(ledgra_export* table, ledgra_cell_text_fn fn, void* user_data);
/* The file the workbook writer created (the path chosen in its save dialog),
 * zero-terminated; "" until it created one. Valid until the next call on table. */
LEDGRA_API const char* ledgra_export_file_name(const ledgra_export* table);

/* Asks for a file and writes rows 1..rows as comma-separated lines. 1 when written, else 0. */
LEDGRA_API int32_t ledgra_write_to_text_file(ledgra_export* table);
/* Asks for a file and writes rows 0..rows-1 as text ("csv", "txt") or as a
 * workbook through the spreadsheet application. 1 when written, else 0. An
 * automation error is reported to the user and gives 0. */
LEDGRA_API int32_t ledgra_write_to_excel(ledgra_export* table);

/* 1 when a class is registered under prog_id, else 0. *message receives the
 * system's text for the status (or null when memory runs out); free it with
 * ledgra_free_message (on Windows, LocalFree does the same). */
LEDGRA_API int32_t ledgra_prog_id_exists(const char* prog_id, char** message);
LEDGRA_API void ledgra_free_message(char* message);

/* Writes the reference of the 1-based row and column ("A1", "AB12", "ZZ-3")
 * into out (at least 14 bytes) and returns 1. Columns outside 1..702 have no
 * letter name: out gets "" and the result is 0. */
LEDGRA_API int32_t ledgra_get_column_no_for_excel(int32_t row, int32_t column, char* out);

/* Every question the library puts to the user. Results are the Windows button
 * ids: IDOK 1, IDCANCEL 2, IDYES 6, IDNO 7. Texts are zero-terminated. */
typedef struct ledgra_save_dialog_request {
    const char* default_ext;  /* ".txt", or "": the selected filter's extension */
    const char* initial_name; /* "ListLogFile.txt" or "" */
    uint32_t flags;           /* OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT */
    const char* filter;       /* "Text Documents(*.txt)|*.txt|All Files (*.*)|*.*||" */
} ledgra_save_dialog_request;

typedef struct ledgra_interaction {
    void* context; /* passed to each function */
    /* IDOK with the full path set in path_out, or IDCANCEL. */
    int32_t (*save_dialog)(void* context, const ledgra_save_dialog_request* request, ledgra_text* path_out);
    /* Captioned with the host program's title. */
    int32_t (*afx_message_box)(void* context, const char* text, uint32_t type, uint32_t help_id);
    /* No owner window, an explicit caption. */
    int32_t (*message_box)(void* context, const char* text, const char* caption, uint32_t type);
} ledgra_interaction;

/* Installs a copy of the table for every export from now on; null restores the
 * system's own dialogs. */
LEDGRA_API void ledgra_set_interaction(const ledgra_interaction* interaction);

#ifdef __cplusplus
}
#endif

#endif
