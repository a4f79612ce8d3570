// SaveBiff8 on Windows: plan (limits and layout), then stream the records into
// a compound file of our own (PlainCompoundFile) in a temporary file beside the
// target, flushed to the disk and moved over the target only when complete.
#include "xls/Biff8.h"
#include "xls/Model.h"
#include "xls/PlainCompoundFile.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

namespace ledgra::xls {
namespace {

std::string SystemText(DWORD status) {
    char* text = nullptr;
    const DWORD n = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        status, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string s = n ? std::string(text, n) : "error " + std::to_string(status);
    if (text) LocalFree(text);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == '.')) s.pop_back();
    return s;
}

std::string CouldNotWrite(const std::string& path, const std::string& why) {
    return "Could not write \"" + path + "\": " + why + ".";
}

// The temporary file, removed unless Commit moved it over the target.
class TemporaryFile {
public:
    ~TemporaryFile() {
        if (file_) std::fclose(file_);
        if (!path_.empty()) DeleteFileA(path_.c_str());
    }
    DWORD Create(const std::string& target) {
        for (unsigned attempt = 0; attempt < 100; ++attempt) {
            const std::string path = target + ".~" + std::to_string(GetCurrentProcessId()) + "." +
                                     std::to_string(GetTickCount64() % 100000 + attempt);
            const HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                         FILE_ATTRIBUTE_NORMAL, nullptr);
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
    std::FILE* File() const { return file_; }
    // Flushes, closes and moves the file over target; a Windows status.
    DWORD Commit(const std::string& target) {
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

private:
    std::string path_;
    std::FILE* file_ = nullptr;
};

}  // namespace

SaveResult SaveBiff8(const Workbook& workbook, const std::string& path) {
    detail::Biff8Writer writer(workbook);
    if (SaveResult planned = writer.Plan(); !planned) return planned;

    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return {SaveStatus::WriteFailed, CouldNotWrite(path, "it is a folder")};
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return {SaveStatus::WriteFailed, CouldNotWrite(path, SystemText(ERROR_ACCESS_DENIED))};

    TemporaryFile temp;
    if (const DWORD status = temp.Create(path); status != ERROR_SUCCESS)
        return {SaveStatus::WriteFailed, CouldNotWrite(path, SystemText(status))};
    detail::PlainCompoundFile file(temp.File());
    if (!writer.Write(file) || !file.Finish())
        return {SaveStatus::WriteFailed, CouldNotWrite(path, SystemText(ERROR_WRITE_FAULT))};
    if (const DWORD status = temp.Commit(path); status != ERROR_SUCCESS)
        return {SaveStatus::WriteFailed, CouldNotWrite(path, SystemText(status))};
    return {};
}

}  // namespace ledgra::xls
