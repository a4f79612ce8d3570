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
 *
 * Versions: the LEDGRA_VERSION_* macros give the header a program was built
 * with, ledgra_version() the library it loaded. 2.1 adds to 2.0 only.
 *
 *   if (strcmp(ledgra_version(), LEDGRA_VERSION_STRING) != 0)
 *       ... built with one version, running with another
 *
 * LEDGRA_VERSION_NUMBER is major*10000 + minor*100 + patch, for #if tests.
 *
 * Threads: exports of different tables may run on different threads at the
 * same time. One table is never used by two threads at once (nor written again
 * from inside its own callback: that write gives 0 and LEDGRA_MISUSE).
 * ledgra_set_interaction may be called from any thread at any moment, also
 * from inside a callback: an export that is running keeps the interaction it
 * started with until it returns.
 *
 * Misuse: a null table, text or buffer gives 0, "" or nothing, never a crash,
 * and, where there is a table, LEDGRA_MISUSE as its last error. Destroying a
 * table twice, or freeing a message twice, cannot be caught: do neither.
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

/* The calling convention of every function and callback: the C one, also
 * for a host whose compiler is set to another default. */
#if defined(_WIN32) && !defined(_WIN64)
#define LEDGRA_CALL __cdecl
#else
#define LEDGRA_CALL
#endif

#define LEDGRA_VERSION_MAJOR 2
#define LEDGRA_VERSION_MINOR 1
#define LEDGRA_VERSION_PATCH 0
#define LEDGRA_VERSION_STRING "2.1.0"
#define LEDGRA_VERSION_NUMBER \
    (LEDGRA_VERSION_MAJOR * 10000 + LEDGRA_VERSION_MINOR * 100 + LEDGRA_VERSION_PATCH)

/* Column type codes, stored by the callback for row 0 of the workbook writer. */
#define LEDGRA_TYPE_INT 1      /* no number format; cells sent as integers */
#define LEDGRA_TYPE_DOUBLE 2   /* number format "0.00"; cells sent as doubles */
#define LEDGRA_TYPE_TEXT 3     /* number format "@"; cells sent as text */
#define LEDGRA_TYPE_LONG 4     /* no number format; cells sent as long integers */
#define LEDGRA_TYPE_GENERAL 10 /* number format "General"; cells sent as text */

/* The buttons an interaction answers with (the Windows ids). */
#define LEDGRA_IDOK 1
#define LEDGRA_IDCANCEL 2
#define LEDGRA_IDYES 6
#define LEDGRA_IDNO 7

/* The message box type bits the library passes (the Windows values). */
#define LEDGRA_MB_OK 0x0u
#define LEDGRA_MB_YESNO 0x4u
#define LEDGRA_MB_ICONQUESTION 0x20u
#define LEDGRA_MB_DEFBUTTON2 0x100u
#define LEDGRA_MB_SETFOREGROUND 0x10000u

/* The save dialog flags the library passes (the Windows values). */
#define LEDGRA_OFN_OVERWRITEPROMPT 0x2u
#define LEDGRA_OFN_HIDEREADONLY 0x4u

/* Bytes ledgra_get_column_no_for_excel may write: two letters, "-2147483648", NUL. */
#define LEDGRA_CELL_REF_SIZE 14

/* What the last write on a table came to (ledgra_export_last_error). */
#define LEDGRA_OK 0                /* written (or nothing written yet) */
#define LEDGRA_CANCELLED 1         /* the user cancelled or declined */
#define LEDGRA_NO_CALLBACK 2       /* no cell-text callback (or, for a workbook, no user data) */
#define LEDGRA_OPEN_FAILED 3       /* the chosen file could not be opened or created */
#define LEDGRA_WRITE_FAILED 4      /* the file could not be written */
#define LEDGRA_AUTOMATION_ERROR 5  /* the spreadsheet application failed or could not be started */
#define LEDGRA_SAVED_AS_RECOVERY 6 /* saved only as recovery files beside the chosen one */
#define LEDGRA_OUT_OF_MEMORY 7     /* memory ran out */
#define LEDGRA_MISUSE 8            /* a null pointer, or the table used while it is being written */

#ifdef __cplusplus
extern "C" {
#endif

/* The library's own version, "2.1.0" for this one. */
LEDGRA_API const char* LEDGRA_CALL ledgra_version(void);

/* The text of one cell, or the path a save dialog answers: owned by the library. */
typedef struct ledgra_text ledgra_text;

/* Replaces the text with length bytes at data (data may be null when length is 0). */
LEDGRA_API void LEDGRA_CALL ledgra_text_set(ledgra_text* text, const char* data, size_t length);
/* Lends the library length bytes at data as the text, without a copy: the
 * library reads them in place until the text is set or lent again (a
 * callback that sets nothing repeats them) or the write returns. Keep them
 * alive and unchanged until then. */
LEDGRA_API void LEDGRA_CALL ledgra_text_lend(ledgra_text* text, const char* data, size_t length);
/* The text now held (set or lent): not zero-terminated; *length receives its length. */
LEDGRA_API const char* LEDGRA_CALL ledgra_text_get(const ledgra_text* text, size_t* length);

/* Supplies the text of one cell: sets it with ledgra_text_set or
 * ledgra_text_lend (a text left alone keeps what the previous call left) and, when asked for row 0 by the
 * workbook writer, stores the column's type code (LEDGRA_TYPE_*) in *type. The result is ignored. user_data
 * is the pointer given to ledgra_export_set_cell_text. */
typedef int32_t(LEDGRA_CALL* ledgra_cell_text_fn)(void* user_data, int32_t row, int32_t column,
                                                  ledgra_text* text, int32_t* type);

/* One table to be saved. */
typedef struct ledgra_export ledgra_export;

/* Null only when memory runs out. Counts are taken as they come. A table is
 * destroyed once, and not while it is being written. */
LEDGRA_API ledgra_export* LEDGRA_CALL ledgra_export_create(int32_t rows, int32_t columns);
LEDGRA_API void LEDGRA_CALL ledgra_export_destroy(ledgra_export* table);
LEDGRA_API void LEDGRA_CALL ledgra_export_set_size(ledgra_export* table, int32_t rows, int32_t columns);
/* fn may be null (no callback); user_data is passed to fn unchanged. */
LEDGRA_API void LEDGRA_CALL ledgra_export_set_cell_text(ledgra_export* table, ledgra_cell_text_fn fn,
                                                        void* user_data);
/* The file the workbook writer created (the path chosen in its save dialog),
 * zero-terminated; "" until it created one. Valid until the next call on table. */
LEDGRA_API const char* LEDGRA_CALL ledgra_export_file_name(const ledgra_export* table);

/* Asks for a file and writes rows 1..rows as comma-separated lines. 1 when
 * written, else 0 (ledgra_export_last_error tells why). */
LEDGRA_API int32_t LEDGRA_CALL ledgra_write_to_text_file(ledgra_export* table);
/* Asks for a file and writes rows 0..rows-1 as text ("csv", "txt") or as a
 * workbook through the spreadsheet application. 1 when the table is saved
 * whole (in the chosen file, or, when the application could only save it
 * beside that file, there: LEDGRA_SAVED_AS_RECOVERY), else 0. An automation
 * error is reported to the user and gives 0. */
LEDGRA_API int32_t LEDGRA_CALL ledgra_write_to_excel(ledgra_export* table);

/* What the last write on table came to: LEDGRA_OK or another LEDGRA_* code
 * (LEDGRA_MISUSE for a null table). *text (when text is not null) receives
 * the text the user was last shown by that write, "" when none; it stays valid
 * until the next call on table. */
LEDGRA_API int32_t LEDGRA_CALL ledgra_export_last_error(const ledgra_export* table, const char** text);

/* 1 when a class is registered under prog_id, else 0. *message receives the
 * system's text for the status (or null when memory runs out); free it with
 * ledgra_free_message (on Windows, LocalFree does the same). A null prog_id
 * gives 0. */
LEDGRA_API int32_t LEDGRA_CALL ledgra_prog_id_exists(const char* prog_id, char** message);
LEDGRA_API void LEDGRA_CALL ledgra_free_message(char* message);

/* Writes the reference of the 1-based row and column ("A1", "AB12", "ZZ-3")
 * into out (at least LEDGRA_CELL_REF_SIZE bytes) and returns 1 (0 for a null out). Columns outside 1..702
 * have no letter name: out gets "" and the result is 0. */
LEDGRA_API int32_t LEDGRA_CALL ledgra_get_column_no_for_excel(int32_t row, int32_t column, char* out);

/* Every question the library puts to the user. Results are the button ids
 * LEDGRA_IDOK, LEDGRA_IDCANCEL, LEDGRA_IDYES, LEDGRA_IDNO; types and flags are
 * the LEDGRA_MB_* and LEDGRA_OFN_* bits. Texts are zero-terminated. The
 * functions run on the thread of the export that asks. */
typedef struct ledgra_save_dialog_request {
    const char* default_ext;  /* ".txt", or "": the selected filter's extension */
    const char* initial_name; /* "ListLogFile.txt" or "" */
    uint32_t flags;           /* LEDGRA_OFN_HIDEREADONLY | LEDGRA_OFN_OVERWRITEPROMPT */
    const char* filter;       /* "Text Documents(*.txt)|*.txt|All Files (*.*)|*.*||" */
} ledgra_save_dialog_request;

typedef struct ledgra_interaction {
    void* context; /* passed to each function */
    /* LEDGRA_IDOK with the full path set in path_out, or LEDGRA_IDCANCEL. */
    int32_t(LEDGRA_CALL* save_dialog)(void* context, const ledgra_save_dialog_request* request,
                                      ledgra_text* path_out);
    /* Captioned with the host program's title. */
    int32_t(LEDGRA_CALL* afx_message_box)(void* context, const char* text, uint32_t type, uint32_t help_id);
    /* No owner window, an explicit caption. */
    int32_t(LEDGRA_CALL* message_box)(void* context, const char* text, const char* caption, uint32_t type);
} ledgra_interaction;

/* Installs a copy of the table for every export that starts from now on; null
 * restores the system's own dialogs. Any thread, any moment (see Threads);
 * context must stay usable until the exports that use it have returned. */
LEDGRA_API void LEDGRA_CALL ledgra_set_interaction(const ledgra_interaction* interaction);

#ifdef __cplusplus
}
#endif

#endif
