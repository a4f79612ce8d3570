/* Ledgra's header as a C program sees it: versions, constants, null pointers,
 * the last error of each kind of write, and an interaction replaced while an
 * export that uses it runs.
 *
 *   ledgra_c_test FOLDER VERSION   (FOLDER for the files written, VERSION the
 *                                   library's version as the build gives it)
 */
#include <ledgra/ledgra.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int failures = 0;

#define CHECK(condition)                                                            \
    do {                                                                            \
        if (!(condition)) {                                                         \
            fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition); \
            ++failures;                                                             \
        }                                                                           \
    } while (0)

static int same(const char* a, const char* b) { return a != NULL && b != NULL && strcmp(a, b) == 0; }

/* An interaction that answers the save dialog with path (cancels for NULL)
 * and notes every message. */
typedef struct script {
    const char* path;
    char shown[1024];
    int boxes;
} script;

static int32_t LEDGRA_CALL answer_dialog(void* context, const ledgra_save_dialog_request* request,
                                         ledgra_text* path_out) {
    const script* s = context;
    (void)request;
    if (s->path == NULL) return LEDGRA_IDCANCEL;
    ledgra_text_set(path_out, s->path, strlen(s->path));
    return LEDGRA_IDOK;
}

static void note(script* s, const char* text) {
    snprintf(s->shown, sizeof s->shown, "%s", text);
    ++s->boxes;
}

static int32_t LEDGRA_CALL note_afx(void* context, const char* text, uint32_t type, uint32_t help_id) {
    (void)help_id;
    note(context, text);
    return (type & 0xF) == LEDGRA_MB_OK ? LEDGRA_IDOK : LEDGRA_IDNO;
}

static int32_t LEDGRA_CALL note_box(void* context, const char* text, const char* caption, uint32_t type) {
    (void)caption;
    note(context, text);
    return (type & 0xF) == LEDGRA_MB_OK ? LEDGRA_IDOK : LEDGRA_IDNO;
}

static void use(script* s) {
    const ledgra_interaction table = {s, answer_dialog, note_afx, note_box};
    ledgra_set_interaction(&table);
}

/* Every cell is "x"; a callback may do one more thing at a given cell. */
typedef struct cells {
    ledgra_export* table;
    int32_t nested_result; /* of a write of the table from inside its callback */
    int32_t nested_error;
    script* swap_to; /* installed, and the old script wiped, at the first call */
    script* wiped;
    int calls;
} cells;

static int32_t LEDGRA_CALL cell_text(void* user_data, int32_t row, int32_t column, ledgra_text* text,
                                     int32_t* type) {
    cells* c = user_data;
    (void)row, (void)column;
    ledgra_text_set(text, "x", 1);
    *type = LEDGRA_TYPE_TEXT;
    if (c->calls++ != 0) return 0;
    if (c->table != NULL) {
        c->nested_result = ledgra_write_to_text_file(c->table);
        c->nested_error = ledgra_export_last_error(c->table, NULL);
    }
    if (c->swap_to != NULL) {
        use(c->swap_to);
        memset(c->wiped, 0, sizeof *c->wiped);
    }
    return 0;
}

static char folder[512];

static const char* file_in_folder(const char* name) {
    static char path[600];
    snprintf(path, sizeof path, "%s/%s", folder, name);
    return path;
}

static void test_versions(const char* built) {
    char composed[32];
    snprintf(composed, sizeof composed, "%d.%d.%d", LEDGRA_VERSION_MAJOR, LEDGRA_VERSION_MINOR,
             LEDGRA_VERSION_PATCH);
    CHECK(same(LEDGRA_VERSION_STRING, built));
    CHECK(same(composed, built));
    CHECK(same(ledgra_version(), built));
    CHECK(LEDGRA_VERSION_NUMBER ==
          LEDGRA_VERSION_MAJOR * 10000 + LEDGRA_VERSION_MINOR * 100 + LEDGRA_VERSION_PATCH);
#if LEDGRA_VERSION_NUMBER < 20100
    CHECK(!"LEDGRA_VERSION_NUMBER works in #if");
#endif
}

static void test_constants(void) {
    static const struct {
        const char* name;
        long value;
        long expected;
    } constants[] = {
        {"LEDGRA_TYPE_INT", LEDGRA_TYPE_INT, 1},
        {"LEDGRA_TYPE_DOUBLE", LEDGRA_TYPE_DOUBLE, 2},
        {"LEDGRA_TYPE_TEXT", LEDGRA_TYPE_TEXT, 3},
        {"LEDGRA_TYPE_LONG", LEDGRA_TYPE_LONG, 4},
        {"LEDGRA_TYPE_GENERAL", LEDGRA_TYPE_GENERAL, 10},
        {"LEDGRA_IDOK", LEDGRA_IDOK, 1},
        {"LEDGRA_IDCANCEL", LEDGRA_IDCANCEL, 2},
        {"LEDGRA_IDYES", LEDGRA_IDYES, 6},
        {"LEDGRA_IDNO", LEDGRA_IDNO, 7},
        {"LEDGRA_MB_OK", LEDGRA_MB_OK, 0x0},
        {"LEDGRA_MB_YESNO", LEDGRA_MB_YESNO, 0x4},
        {"LEDGRA_MB_ICONQUESTION", LEDGRA_MB_ICONQUESTION, 0x20},
        {"LEDGRA_MB_DEFBUTTON2", LEDGRA_MB_DEFBUTTON2, 0x100},
        {"LEDGRA_MB_SETFOREGROUND", LEDGRA_MB_SETFOREGROUND, 0x10000},
        {"LEDGRA_OFN_OVERWRITEPROMPT", LEDGRA_OFN_OVERWRITEPROMPT, 0x2},
        {"LEDGRA_OFN_HIDEREADONLY", LEDGRA_OFN_HIDEREADONLY, 0x4},
        {"LEDGRA_CELL_REF_SIZE", LEDGRA_CELL_REF_SIZE, 14},
    };
    size_t i;
    for (i = 0; i < sizeof constants / sizeof constants[0]; ++i) {
        if (constants[i].value != constants[i].expected) {
            fprintf(stderr, "%s is %ld, not %ld\n", constants[i].name, constants[i].value,
                    constants[i].expected);
            ++failures;
        }
    }
    /* The error codes are distinct, LEDGRA_OK first. */
    {
        const int32_t codes[] = {
            LEDGRA_OK,           LEDGRA_CANCELLED,        LEDGRA_NO_CALLBACK,       LEDGRA_OPEN_FAILED,
            LEDGRA_WRITE_FAILED, LEDGRA_AUTOMATION_ERROR, LEDGRA_SAVED_AS_RECOVERY, LEDGRA_OUT_OF_MEMORY,
            LEDGRA_MISUSE};
        size_t j;
        CHECK(LEDGRA_OK == 0);
        for (i = 0; i < sizeof codes / sizeof codes[0]; ++i)
            for (j = i + 1; j < sizeof codes / sizeof codes[0]; ++j) CHECK(codes[i] != codes[j]);
    }
}

static void test_null_pointers(void) {
    const char* text = "stale";
    size_t length = 99;
    char ref[LEDGRA_CELL_REF_SIZE];
    CHECK(ledgra_write_to_text_file(NULL) == 0);
    CHECK(ledgra_write_to_excel(NULL) == 0);
    CHECK(ledgra_export_last_error(NULL, &text) == LEDGRA_MISUSE);
    CHECK(same(text, ""));
    CHECK(same(ledgra_export_file_name(NULL), ""));
    ledgra_export_set_size(NULL, 1, 1);
    ledgra_export_set_cell_text(NULL, cell_text, NULL);
    ledgra_export_destroy(NULL);
    ledgra_text_set(NULL, "x", 1);
    CHECK(same(ledgra_text_get(NULL, &length), "") && length == 0);
    CHECK(ledgra_get_column_no_for_excel(1, 1, NULL) == 0);
    CHECK(ledgra_get_column_no_for_excel(12, 28, ref) == 1 && same(ref, "AB12"));
    CHECK(ledgra_prog_id_exists(NULL, NULL) == 0);
    ledgra_free_message(NULL);
}

/* One write and what it leaves as the table's last error. */
typedef struct write_case {
    const char* what;
    int excel; /* ledgra_write_to_excel, else ledgra_write_to_text_file */
    int32_t columns;
    int with_callback;
    const char* path; /* in the folder; NULL: the dialog is cancelled */
    int32_t result;
    int32_t error;
    const char* shown_start; /* the beginning of the text last shown */
} write_case;

static void test_last_errors(void) {
    static const write_case cases[] = {
        {"text written", 0, 2, 1, "written.txt", 1, LEDGRA_OK, ""},
        {"text cancelled", 0, 2, 1, NULL, 0, LEDGRA_CANCELLED, ""},
        {"text without callback", 0, 2, 0, "none.txt", 0, LEDGRA_NO_CALLBACK, "CallBack Failed"},
        {"text to a missing folder", 0, 2, 1, "missing/a.txt", 0, LEDGRA_OPEN_FAILED, "File OPen Failed"},
        {"csv written", 1, 2, 1, "written.csv", 1, LEDGRA_OK, ""},
        {"workbook cancelled", 1, 2, 1, NULL, 0, LEDGRA_CANCELLED, ""},
        {"workbook without callback", 1, 2, 0, "none.xls", 0, LEDGRA_NO_CALLBACK, "CallBack Failed"},
        {"workbook to a missing folder", 1, 2, 1, "missing/a.xls", 0, LEDGRA_OPEN_FAILED,
         "Failed To open File"},
        {"too wide, saved beside", 1, 703, 1, "wide.xls", 0, LEDGRA_SAVED_AS_RECOVERY,
         "The table has 703 columns"},
    };
    size_t i;
    for (i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const write_case* c = &cases[i];
        script s = {c->path != NULL ? file_in_folder(c->path) : NULL, "", 0};
        cells grid = {NULL, 0, 0, NULL, NULL, 0};
        const char* shown = NULL;
        ledgra_export* table = ledgra_export_create(3, c->columns);
        int32_t result;
        int32_t error;
        use(&s);
        if (c->with_callback) ledgra_export_set_cell_text(table, cell_text, &grid);
        result = c->excel ? ledgra_write_to_excel(table) : ledgra_write_to_text_file(table);
        error = ledgra_export_last_error(table, &shown);
        if (result != c->result || error != c->error || shown == NULL ||
            strncmp(shown, c->shown_start, strlen(c->shown_start)) != 0 || strcmp(shown, s.shown) != 0) {
            fprintf(stderr, "%s: result %d, error %d, shown \"%s\" (the box said \"%s\")\n", c->what,
                    (int)result, (int)error, shown != NULL ? shown : "(null)", s.shown);
            ++failures;
        }
        ledgra_export_destroy(table);
    }
    ledgra_set_interaction(NULL);
}

/* A table written again from inside its own callback, or changed there: the
 * inner call is refused with LEDGRA_MISUSE, the outer write goes on. */
static void test_write_from_its_own_callback(void) {
    script s = {file_in_folder("outer.txt"), "", 0};
    ledgra_export* table = ledgra_export_create(2, 2);
    cells grid = {table, -1, -1, NULL, NULL, 0};
    use(&s);
    ledgra_export_set_cell_text(table, cell_text, &grid);
    CHECK(ledgra_write_to_text_file(table) == 1);
    CHECK(grid.nested_result == 0);
    CHECK(grid.nested_error == LEDGRA_MISUSE);
    CHECK(ledgra_export_last_error(table, NULL) == LEDGRA_OK);
    CHECK(grid.calls == 4);
    ledgra_export_destroy(table);
    ledgra_set_interaction(NULL);
}

/* The interaction replaced, and its context wiped, from inside a callback: the
 * running export still asks the one it started with; the next export asks the
 * new one. */
static void test_interaction_replaced_during_a_callback(void) {
    script* first = malloc(sizeof *first);
    script second = {file_in_folder("second.txt"), "", 0};
    ledgra_export* table = ledgra_export_create(2, 703);
    cells grid = {NULL, 0, 0, &second, NULL, 0};
    script kept;
    if (first == NULL || table == NULL) {
        ++failures;
        free(first);
        return;
    }
    first->path = file_in_folder("first.xls");
    first->shown[0] = '\0';
    first->boxes = 0;
    grid.wiped = first;
    use(first);
    ledgra_export_set_cell_text(table, cell_text, &grid);
    /* Too wide for a sheet: saved as text beside, which the user is told after every cell was asked. */
    CHECK(ledgra_write_to_excel(table) == 0);
    kept = *first;
    free(first);
    CHECK(second.boxes == 0);
    CHECK(kept.boxes == 1); /* counted from 0 again after the wipe */
    CHECK(strncmp(kept.shown, "The table has 703 columns", 25) == 0);
    ledgra_export_set_size(table, 1, 1);
    grid.swap_to = NULL;
    CHECK(ledgra_write_to_text_file(table) == 1);
    CHECK(second.boxes == 0);
    ledgra_export_destroy(table);
    ledgra_set_interaction(NULL);
}

/* The caller's one buffer, lent for every cell; a cell left alone repeats
 * the text lent last, which the library still reads in place. */
typedef struct lender {
    char buffer[16];
    int held_in_place; /* calls that found the lent text as the held one */
} lender;

static int32_t LEDGRA_CALL lend_cell(void* user_data, int32_t row, int32_t column, ledgra_text* text,
                                     int32_t* type) {
    lender* l = user_data;
    size_t length = 0;
    (void)type;
    if (ledgra_text_get(text, &length) == l->buffer) ++l->held_in_place;
    if (row == 2 && column == 1) return 0;
    snprintf(l->buffer, sizeof l->buffer, "r%dc%d", (int)row, (int)column);
    ledgra_text_lend(text, l->buffer, strlen(l->buffer));
    return 0;
}

static void test_lent_texts(void) {
    script s = {file_in_folder("lent.txt"), "", 0};
    lender l = {"", 0};
    ledgra_export* table = ledgra_export_create(2, 2);
    char written[64] = "";
    FILE* f;
    use(&s);
    ledgra_export_set_cell_text(table, lend_cell, &l);
    CHECK(ledgra_write_to_text_file(table) == 1);
    CHECK(l.held_in_place == 3); /* every call after the first */
    f = fopen(s.path, "rb");
    if (f != NULL) {
        written[fread(written, 1, sizeof written - 1, f)] = '\0';
        fclose(f);
    }
    CHECK(same(written, "r1c0,r1c1\r\nr2c0,r2c0\r\n"));
    ledgra_text_lend(NULL, "x", 1);
    ledgra_export_destroy(table);
    ledgra_set_interaction(NULL);
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: ledgra_c_test FOLDER VERSION\n");
        return 2;
    }
    snprintf(folder, sizeof folder, "%s", argv[1]);
    test_versions(argv[2]);
    test_constants();
    test_null_pointers();
    test_last_errors();
    test_write_from_its_own_callback();
    test_lent_texts();
    test_interaction_replaced_during_a_callback();
    if (failures != 0) fprintf(stderr, "%d failures\n", failures);
    return failures == 0 ? 0 : 1;
}
