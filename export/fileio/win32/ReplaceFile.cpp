// ReplaceFileContent on Windows: a temporary file beside the target, flushed
// and moved over it.
#include "fileio/ReplaceFile.h"

#include <windows.h>

namespace ledgra::fileio {

namespace {
std::string Why() {
    char text[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, GetLastError(), 0,
                   text, sizeof text, nullptr);
    std::string s = text;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
}
}  // namespace

bool ReplaceFileContent(const std::string& path, std::string_view content, std::string& error) {
    const std::size_t slash = path.find_last_of("\\/");
    const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
    char temp[MAX_PATH] = "";
    if (!GetTempFileNameA(folder.c_str(), "ldg", 0, temp)) {
        error = "Cannot create a temporary file in " + folder + ": " + Why();
        return false;
    }
    const HANDLE file =
        CreateFileA(temp, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    bool ok = file != INVALID_HANDLE_VALUE &&
              WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
              written == content.size() && FlushFileBuffers(file);
    if (!ok) error = "Cannot write " + path + ": " + Why();
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (ok && !MoveFileExA(temp, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = false;
        error = "Cannot replace " + path + ": " + Why();
    }
    if (!ok) DeleteFileA(temp);
    return ok;
}

}  // namespace ledgra::fileio
