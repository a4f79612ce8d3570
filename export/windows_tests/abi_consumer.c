/* A C program linked against ledgra.dll through an import library, without a
 * C runtime, so it builds for the Visual C++ ABI as well as MinGW's. Prints
 * the library's version and a cell reference, and exits with 0 when both are
 * as the header says. */
#include <ledgra/ledgra.h>

#if defined(_WIN64)
#define ABI_WINAPI
#else
#define ABI_WINAPI __stdcall
#endif

__declspec(dllimport) void* ABI_WINAPI GetStdHandle(unsigned long handle);
__declspec(dllimport) int ABI_WINAPI
    WriteFile(void* file, const void* data, unsigned long size, unsigned long* written, void* overlapped);
__declspec(dllimport) void ABI_WINAPI ExitProcess(unsigned int code);

static unsigned long length_of(const char* text) {
    unsigned long n = 0;
    while (text[n] != '\0') ++n;
    return n;
}

static int same(const char* a, const char* b) {
    while (*a != '\0' && *a == *b) ++a, ++b;
    return *a == *b;
}

static void print(const char* text) {
    unsigned long written = 0;
    WriteFile(GetStdHandle((unsigned long)-11), text, length_of(text), &written, 0);
}

void mainCRTStartup(void) {
    char reference[LEDGRA_CELL_REF_SIZE];
    const char* version = ledgra_version();
    const int ok = same(version, LEDGRA_VERSION_STRING) &&
                   ledgra_get_column_no_for_excel(12, 28, reference) == 1 && same(reference, "AB12");
    print(version);
    print(" ");
    print(reference);
    print("\n");
    ExitProcess(ok ? 0 : 1);
}
