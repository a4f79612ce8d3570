// Replacing a file on Windows, by the policy of ReplaceFile.h: a new file
// beside the target, flushed to the disk and put in the target's place only
// when complete. ReplaceFileA keeps the target's identity (its security
// descriptor, attributes and streams); a new target is simply moved in place.
#include "fileio/ReplaceFile.h"

#include "fileio/Names.h"

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
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.'))
        s.pop_back();
    return s.empty() ? "error " + std::to_string(status) : s;
}

std::FILE* StreamOf(HANDLE h) {
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_BINARY | _O_WRONLY);
    if (fd < 0) {
        CloseHandle(h);
        return nullptr;
    }
    std::FILE* f = _fdopen(fd, "wb");
    if (!f) _close(fd);
    return f;
}

bool WriterAlive(unsigned long pid) {
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (process == nullptr) return GetLastError() != ERROR_INVALID_PARAMETER;
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

// Removes the temporary files that writers of this computer, now gone, left
// in folder (a folder part ending in a separator, or "").
void RemoveStaleTemporaries(const std::string& folder) {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder + ".~ledgra-*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        unsigned long pid = 0;
        if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
            IsTemporaryName(found.cFileName, pid) && pid != GetCurrentProcessId() && !WriterAlive(pid))
            DeleteFileA((folder + found.cFileName).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

// Copies the access list of the file from to the file to, as far as the user may.
void KeepAccessList(const std::string& from, const std::string& to) {
    DWORD size = 0;
    GetFileSecurityA(from.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
    if (size == 0) return;
    std::string descriptor(size, '\0');
    if (GetFileSecurityA(from.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), size, &size))
        SetFileSecurityA(to.c_str(), DACL_SECURITY_INFORMATION, descriptor.data());
}

}  // namespace

std::string CouldNotWrite(const std::string& path, unsigned long status) {
    return "Could not write \"" + path + "\": " + Why(status) + ".";
}

TemporaryFile::~TemporaryFile() {
    if (file_) std::fclose(file_);
    if (!path_.empty() && !inPlace_) DeleteFileA(path_.c_str());
}

unsigned long TemporaryFile::Create(const std::string& target) {
    const std::string folder = target.substr(0, NameStart(target));
    RemoveStaleTemporaries(folder);
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string path = folder + TemporaryName(GetCurrentProcessId());
        const HANDLE h =
            CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS) continue;
            return GetLastError();
        }
        path_ = path;
        if (!(file_ = StreamOf(h))) return ERROR_NOT_ENOUGH_MEMORY;
        return ERROR_SUCCESS;
    }
    return ERROR_FILE_EXISTS;
}

unsigned long TemporaryFile::OpenInPlace(const std::string& target) {
    const HANDLE h = CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return GetLastError();
    path_ = target;
    inPlace_ = true;
    if (!(file_ = StreamOf(h))) return ERROR_NOT_ENOUGH_MEMORY;
    return ERROR_SUCCESS;
}

unsigned long TemporaryFile::Reserve(unsigned long long bytes) {
    if (!inPlace_) return ERROR_SUCCESS;
    const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file_)));
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h, &size)) return GetLastError();
    if (bytes <= static_cast<unsigned long long>(size.QuadPart)) return ERROR_SUCCESS;
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(bytes);
    const LARGE_INTEGER start{};
    if (!SetFilePointerEx(h, end, nullptr, FILE_BEGIN) || !SetEndOfFile(h) ||
        !SetFilePointerEx(h, start, nullptr, FILE_BEGIN))
        return GetLastError();
    return ERROR_SUCCESS;
}

unsigned long TemporaryFile::Commit(const std::string& target) {
    std::FILE* f = file_;
    file_ = nullptr;
    const HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)));
    bool flushed = std::fflush(f) == 0 && !std::ferror(f);
    if (flushed && inPlace_) flushed = SetEndOfFile(h) != 0;  // cut at what was written
    flushed = flushed && FlushFileBuffers(h);
    const DWORD flushError = flushed ? ERROR_SUCCESS : GetLastError();
    if (std::fclose(f) != 0 || !flushed) return flushError ? flushError : ERROR_WRITE_FAULT;
    if (inPlace_) return ERROR_SUCCESS;
    const bool exists = GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES;
    bool replaced = exists && ReplaceFileA(target.c_str(), path_.c_str(), nullptr,
                                           REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0;
    // Where the system does not replace files so (some file systems, paths
    // without a drive under Wine), the access list is carried over by hand.
    if (!replaced && exists) KeepAccessList(target, path_);
    if (!replaced)
        replaced =
            MoveFileExA(path_.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!replaced) return GetLastError();
    path_.clear();
    return ERROR_SUCCESS;
}

std::unique_ptr<FileReplacement> FileReplacement::Begin(const std::string& path, std::string& error) {
    std::unique_ptr<FileReplacement> out(new FileReplacement);
    out->path_ = path;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = "Could not write \"" + path + "\": it is a folder.";
        return nullptr;
    }
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        error = CouldNotWrite(path, ERROR_ACCESS_DENIED);
        return nullptr;
    }
    DWORD status = out->temp_.Create(path);
    // A folder that takes no new file: the file itself, when it may be written.
    if (status == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES)
        status = out->temp_.OpenInPlace(path);
    if (status != ERROR_SUCCESS) {
        error = CouldNotWrite(path, status);
        return nullptr;
    }
    return out;
}

bool FileReplacement::Reserve(unsigned long long bytes, std::string& error) {
    const DWORD status = temp_.Reserve(bytes);
    if (status == ERROR_SUCCESS) return true;
    error = CouldNotWrite(path_, status);
    return false;
}

bool FileReplacement::Write(std::string_view bytes, std::string& error) {
    if (bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), temp_.File()) == bytes.size())
        return true;
    error = CouldNotWrite(path_, ERROR_WRITE_FAULT);
    return false;
}

bool FileReplacement::Commit(std::string& error) {
    const DWORD status = temp_.Commit(path_);
    if (status == ERROR_SUCCESS) return true;
    error = CouldNotWrite(path_, status);
    return false;
}

bool ReplaceFileContent(const std::string& path, std::string_view content, std::string& error) {
    std::unique_ptr<FileReplacement> file = FileReplacement::Begin(path, error);
    return file && file->Reserve(content.size(), error) && file->Write(content, error) && file->Commit(error);
}

bool CreateNewFile(const std::string& name, bool& exists, std::string& error) {
    // CREATE_NEW fails on any name already there, a link included.
    const HANDLE h =
        CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD status = h == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    exists = status == ERROR_FILE_EXISTS || status == ERROR_ALREADY_EXISTS;
    if (h == INVALID_HANDLE_VALUE) {
        error = CouldNotWrite(name, status);
        return false;
    }
    CloseHandle(h);
    return true;
}

void RemoveFile(const std::string& name) { DeleteFileA(name.c_str()); }

bool PrivateFolder::Create() {
    char temp[MAX_PATH + 1] = "";
    const DWORD n = GetTempPathA(sizeof temp, temp);
    if (n == 0 || n > MAX_PATH) return false;
    // A new folder under the user's own temporary folder, which inherits
    // that folder's access (the user's alone).
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string path = std::string(temp) + "ledgra-" + std::to_string(GetCurrentProcessId()) + "-" +
                                 std::to_string(GetTickCount64() % 1000000 + attempt);
        if (CreateDirectoryA(path.c_str(), nullptr)) {
            path_ = path;
            return true;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
    return false;
}

std::string PrivateFolder::NewFile(const std::string& name) {
    bool exists = false;
    std::string error;
    if (path_.empty() || !file_.empty() || !CreateNewFile(path_ + "\\" + name, exists, error))
        return std::string();
    file_ = path_ + "\\" + name;
    return file_;
}

PrivateFolder::~PrivateFolder() {
    if (!file_.empty()) DeleteFileA(file_.c_str());
    if (!path_.empty()) RemoveDirectoryA(path_.c_str());
}

}  // namespace ledgra::fileio
