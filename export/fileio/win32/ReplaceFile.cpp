// Replacing a file on Windows: a new file beside the target, flushed to the
// disk and moved over the target only when complete.
#include "fileio/ReplaceFile.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

namespace ledgra::fileio {

namespace {
std::string Why(DWORD status) {
    char text[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, status, 0, text,
                   sizeof text, nullptr);
    std::string s = text;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
}
}  // namespace

TemporaryFile::~TemporaryFile() {
    if (file_) std::fclose(file_);
    if (!path_.empty()) DeleteFileA(path_.c_str());
}

unsigned long TemporaryFile::Create(const std::string& target) {
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string path = target + ".~" + std::to_string(GetCurrentProcessId()) + "." +
                                 std::to_string(GetTickCount64() % 100000 + attempt);
        const HANDLE h =
            CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS) continue;
            return GetLastError();
        }
        path_ = path;
        const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_BINARY | _O_WRONLY);
        if (fd < 0 || !(file_ = _fdopen(fd, "wb"))) {
            fd < 0 ? CloseHandle(h) : _close(fd);
            return ERROR_NOT_ENOUGH_MEMORY;
        }
        return ERROR_SUCCESS;
    }
    return ERROR_FILE_EXISTS;
}

unsigned long TemporaryFile::Commit(const std::string& target) {
    std::FILE* f = file_;
    file_ = nullptr;
    const bool flushed = std::fflush(f) == 0 && !std::ferror(f) &&
                         FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f))));
    const DWORD flushError = flushed ? ERROR_SUCCESS : GetLastError();
    if (std::fclose(f) != 0 || !flushed) return flushError ? flushError : ERROR_WRITE_FAULT;
    if (!MoveFileExA(path_.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return GetLastError();
    path_.clear();
    return ERROR_SUCCESS;
}

bool ReplaceFileContent(const std::string& path, std::string_view content, std::string& error) {
    TemporaryFile temp;
    DWORD status = temp.Create(path);
    if (status != ERROR_SUCCESS) {
        error = "Cannot create a temporary file beside " + path + ": " + Why(status);
        return false;
    }
    if (!content.empty() && std::fwrite(content.data(), 1, content.size(), temp.File()) != content.size()) {
        error = "Cannot write " + path + ": " + Why(ERROR_WRITE_FAULT);
        return false;
    }
    status = temp.Commit(path);
    if (status != ERROR_SUCCESS) {
        error = "Cannot replace " + path + ": " + Why(status);
        return false;
    }
    return true;
}

}  // namespace ledgra::fileio
