/* ledgra_c_consumer: saves a small table of positions through Ledgra's C
 * interface, as a workbook or, for a ".csv" or ".txt" name, as text.
 *
 *   ledgra_c_consumer          asks for the file with Ledgra's save dialog
 *   ledgra_c_consumer PATH     saves to PATH without asking (for scripts)
 *
 * Exits with 0 when the table was written. */
#include <ledgra/ledgra.h>

#include <stdio.h>
#include <string.h>

enum { kRows = 4, kColumns = 3 };

/* Row 0 is the header row; its call also gives each column's type code. */
static const char* const kCells[kRows][kColumns] = {
    {"Symbol", "Quantity", "Price"},
    {"HALV", "100", "12.50"},
    {"ARDM", "-5", "3.25"},
    {"VOVU", "1000", "0.75"},
};
static const int32_t kColumnTypes[kColumns] = {LEDGRA_TYPE_TEXT, LEDGRA_TYPE_LONG, LEDGRA_TYPE_DOUBLE};

static int32_t LEDGRA_CALL cell_text(void* user_data, int32_t row, int32_t column, ledgra_text* text,
                                     int32_t* type) {
    const char* const(*cells)[kColumns] = user_data;
    ledgra_text_set(text, cells[row][column], strlen(cells[row][column]));
    if (row == 0) *type = kColumnTypes[column];
    return 1;
}

/* Answers the save dialog with the path in context; message boxes go to stderr. */
static int32_t LEDGRA_CALL save_to_fixed_path(void* context, const ledgra_save_dialog_request* request,
                                              ledgra_text* path_out) {
    (void)request;
    ledgra_text_set(path_out, context, strlen(context));
    return LEDGRA_IDOK;
}

static int32_t LEDGRA_CALL print_afx_message(void* context, const char* text, uint32_t type,
                                             uint32_t help_id) {
    (void)context, (void)type, (void)help_id;
    fprintf(stderr, "ledgra_c_consumer: %s\n", text);
    return LEDGRA_IDOK;
}

static int32_t LEDGRA_CALL print_message(void* context, const char* text, const char* caption,
                                         uint32_t type) {
    (void)context, (void)type;
    fprintf(stderr, "ledgra_c_consumer: %s: %s\n", caption, text);
    return LEDGRA_IDOK;
}

int main(int argc, char** argv) {
    if (argc > 1) {
        const ledgra_interaction fixed = {argv[1], save_to_fixed_path, print_afx_message, print_message};
        ledgra_set_interaction(&fixed);
    }

    ledgra_export* table = ledgra_export_create(kRows, kColumns);
    if (table == NULL) return 1;
    ledgra_export_set_cell_text(table, cell_text, (void*)kCells);
    const int32_t written = ledgra_write_to_excel(table);
    const char* shown = "";
    const int32_t error = ledgra_export_last_error(table, &shown);
    printf("ledgra_write_to_excel returned %d for %s (last error %d%s%s)\n", (int)written,
           ledgra_export_file_name(table), (int)error, *shown != '\0' ? ": " : "", shown);
    ledgra_export_destroy(table);
    ledgra_set_interaction(NULL);
    return written == 1 ? 0 : 1;
}
