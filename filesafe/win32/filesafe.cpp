// The engine on Windows; its policy is written in filesafe.h. ReplaceFileA
// keeps the target's identity (its security descriptor, attributes and
// streams) and is given a backup name, so that a failure half way never
// leaves the target without either content.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <mutex>
#include <shared_mutex>
#include <thread>

#include "filesafe.h"
#include "names.h"

namespace filesafe {

namespace {

// A temporary file is held open while it is written, which keeps the sweep
// off it, but the system replaces a file only once it is closed. Between the
// close and the replacement a sweep of this process would take it for a dead
// writer's: the commits of this process hold this lock shared through that
// gap, a sweep holds it alone. (Another process's sweep in that gap of a
// few microseconds makes the replacement fail and be reported; nothing is lost.)
std::shared_mutex& CommitGap() {
    static std::shared_mutex gap;
    return gap;
}

// Asks the seam about call: true, with the hook's error as the last error,
// when the call is to fail instead of being made.
bool Refused(Call call, const std::string& path) {
    const int code = detail::Check(call, path);
    if (code == 0) return false;
    SetLastError(static_cast<DWORD>(code));
    return true;
}

std::string Why(DWORD status) {
    char text[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, status, 0, text,
                   sizeof text, nullptr);
    std::string s = text;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.'))
        s.pop_back();
    return s.empty() ? "error " + std::to_string(status) : s;
}

HANDLE AsHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

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

std::string FolderPart(const std::string& path) { return path.substr(0, NameStart(path)); }

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Copies the access list of the file from to the file to, as far as the user may.
void KeepAccessList(const std::string& from, const std::string& to) {
    DWORD size = 0;
    GetFileSecurityA(from.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
    if (size == 0) return;
    std::string descriptor(size, '\0');
    if (GetFileSecurityA(from.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), size, &size))
        SetFileSecurityA(to.c_str(), DACL_SECURITY_INFORMATION, descriptor.data());
}

bool SetLength(HANDLE file, unsigned long long length) {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(length);
    return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file);
}

bool ReadWhole(const std::string& path, std::string& bytes) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(file, &size) != 0;
    if (ok) bytes.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD got = 0;
    ok = ok &&
         (bytes.empty() || (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) &&
                            got == bytes.size()));
    CloseHandle(file);
    return ok;
}

// Writes the content of copy into target in place, for a target another
// program holds open without letting it be replaced. Room is taken first, so
// a full disk refuses before a byte changes. The status of the step that failed.
DWORD RewriteInPlace(const std::string& target, const std::string& copy) {
    std::string bytes;
    if (!ReadWhole(copy, bytes)) return GetLastError();
    if (Refused(Call::kOpen, target)) return GetLastError();
    const HANDLE file =
        CreateFileA(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    LARGE_INTEGER old;
    DWORD written = 0;
    const LARGE_INTEGER start{};
    bool ok = GetFileSizeEx(file, &old) != 0;
    if (ok && bytes.size() > static_cast<unsigned long long>(old.QuadPart))
        ok = !Refused(Call::kReserve, target) && SetLength(file, bytes.size());
    ok = ok && SetFilePointerEx(file, start, nullptr, FILE_BEGIN) && !Refused(Call::kWrite, target) &&
         (bytes.empty() ||
          (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size())) &&
         !Refused(Call::kTruncate, target) && SetLength(file, bytes.size()) &&
         !Refused(Call::kFlush, target) && FlushFileBuffers(file);
    const DWORD status = ok ? ERROR_SUCCESS : GetLastError();
    CloseHandle(file);
    return ok ? ERROR_SUCCESS : (status ? status : ERROR_WRITE_FAULT);
}

bool Move(const std::string& from, const std::string& to) {
    return !Refused(Call::kReplace, to) &&
           MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

}  // namespace

std::string CouldNotWrite(const std::string& path, int code) {
    return "Could not write \"" + path + "\": " + Why(static_cast<DWORD>(code)) + ".";
}

bool ReadRegularFile(const std::string& path, std::size_t limit, std::string& bytes) {
    bytes.clear();
    const HANDLE h =
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    const bool ok = GetFileType(h) == FILE_TYPE_DISK && GetFileSizeEx(h, &size);
    if (ok) bytes.resize(std::min(limit, static_cast<std::size_t>(size.QuadPart)));
    std::size_t got = 0;
    while (ok && got < bytes.size()) {
        DWORD n = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - got, 1u << 30));
        if (!ReadFile(h, bytes.data() + got, want, &n, nullptr) || n == 0) break;
        got += n;
    }
    CloseHandle(h);
    bytes.resize(ok ? got : 0);
    return ok;
}

bool CanReadRegularFile(const std::string& path) {
    const HANDLE h =
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool regular = GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info) &&
                         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    CloseHandle(h);
    return regular;
}

bool IsNonRegularFile(const std::string& path) {
    if (IsDeviceName(path)) return true;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0;
}

bool Replacement::Fail(int code, std::string& error) {
    error = CouldNotWrite(path_, code);
    return false;
}

bool Replacement::Locate(std::string& error) {
    target_ = path_;
    const DWORD attributes = GetFileAttributesA(path_.c_str());
    exists_ = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists_ && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = "Could not write \"" + path_ + "\": it is a folder.";
        return false;
    }
    if (IsDeviceName(path_) || (exists_ && (attributes & FILE_ATTRIBUTE_DEVICE))) {
        error = "Could not write \"" + path_ + "\": it is not a regular file.";
        return false;
    }
    if (exists_ && (attributes & FILE_ATTRIBUTE_READONLY)) return Fail(ERROR_ACCESS_DENIED, error);
    return true;
}

// A new file beside the target, open without sharing (which keeps every
// sweep off it); or, when the folder takes no new file, the target itself.
bool Replacement::Create(std::string& error) {
    const std::string folder = FolderPart(target_);
    DWORD status = ERROR_FILE_EXISTS;
    for (unsigned attempt = 0; attempt < 100 && status == ERROR_FILE_EXISTS; ++attempt) {
        const std::string path = folder + TemporaryName();
        HANDLE h = INVALID_HANDLE_VALUE;
        if (!Refused(Call::kCreate, path))
            h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            status = GetLastError();
            continue;
        }
        working_ = path;
        handle_ = reinterpret_cast<std::intptr_t>(h);
        if (!(stream_ = StreamOf(h))) return Fail(ERROR_NOT_ENOUGH_MEMORY, error);
        return true;
    }
    if (status != ERROR_ACCESS_DENIED || !exists_) return Fail(static_cast<int>(status), error);
    if (Refused(Call::kOpen, target_)) return Fail(static_cast<int>(GetLastError()), error);
    const HANDLE h = CreateFileA(target_.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Fail(static_cast<int>(GetLastError()), error);
    working_ = target_;
    inPlace_ = true;
    handle_ = reinterpret_cast<std::intptr_t>(h);
    if (!(stream_ = StreamOf(h))) return Fail(ERROR_NOT_ENOUGH_MEMORY, error);
    return true;
}

// ReplaceFileA carries the target's identity over; nothing to do before.
bool Replacement::KeepIdentity(std::string&) { return true; }

std::unique_ptr<Replacement> Replacement::Begin(const std::string& path, std::string& error) {
    std::unique_ptr<Replacement> out(new Replacement);
    out->path_ = path;
    if (!out->Locate(error)) return nullptr;
    SweepStaleTemporaries(FolderPart(out->target_));
    if (!out->Create(error)) return nullptr;
    return out;
}

bool Replacement::Reserve(unsigned long long bytes, std::string& error) {
    if (!inPlace_) return true;
    const HANDLE h = AsHandle(_get_osfhandle(_fileno(stream_)));
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h, &size)) return Fail(static_cast<int>(GetLastError()), error);
    if (bytes <= static_cast<unsigned long long>(size.QuadPart)) return true;
    const LARGE_INTEGER start{};
    if (Refused(Call::kReserve, working_) || !SetLength(h, bytes) ||
        !SetFilePointerEx(h, start, nullptr, FILE_BEGIN))
        return Fail(static_cast<int>(GetLastError()), error);
    return true;
}

bool Replacement::Write(std::string_view bytes, std::string& error) {
    if (Refused(Call::kWrite, working_)) return Fail(static_cast<int>(GetLastError()), error);
    if (bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), stream_) == bytes.size()) return true;
    return Fail(ERROR_WRITE_FAULT, error);
}

// Windows has no request to start a flush without waiting for it.
void Replacement::StartFlush() {}

bool Replacement::Commit(std::string& error) {
    const std::shared_lock<std::shared_mutex> gap(CommitGap());
    std::FILE* f = stream_;
    stream_ = nullptr;
    const HANDLE h = AsHandle(_get_osfhandle(_fileno(f)));
    bool flushed = std::fflush(f) == 0 && !std::ferror(f);
    if (flushed && inPlace_)
        flushed = !Refused(Call::kTruncate, working_) && SetEndOfFile(h);  // cut at the end
    flushed = flushed && !Refused(Call::kFlush, working_) && FlushFileBuffers(h);
    const DWORD flushError = flushed ? ERROR_SUCCESS : GetLastError();
    detail::Check(Call::kClose, working_);
    const bool closed = std::fclose(f) == 0;
    handle_ = -1;
    if (!closed || !flushed) {
        Abandon();
        return Fail(static_cast<int>(flushError ? flushError : ERROR_WRITE_FAULT), error);
    }
    if (inPlace_) {
        committed_ = true;
        return true;
    }
    if (!exists_ || !Exists(target_)) {
        if (!Move(working_, target_)) {
            const DWORD status = GetLastError();
            Abandon();
            return Fail(static_cast<int>(status), error);
        }
        committed_ = true;
        return true;
    }
    // The old content goes to a backup until the new one is in place: no
    // failure of the system's replacement can then leave neither. The
    // backup's name is not a temporary file's, so no sweep ever takes it.
    std::string backup = working_;
    backup.replace(backup.size() - 4, 4, ".bak");
    DWORD status = ERROR_SUCCESS;
    if (Refused(Call::kReplace, target_) || !ReplaceFileA(target_.c_str(), working_.c_str(), backup.c_str(),
                                                          REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
        status = GetLastError();
    if (status == ERROR_SUCCESS) {
        DeleteFileA(backup.c_str());
        committed_ = true;
        return true;
    }
    if (!Exists(target_) && Exists(backup)) {
        // The target went to the backup, the new file did not follow: put the
        // new one in its place, else the old one back; else keep both.
        if (Move(working_, target_)) {
            DeleteFileA(backup.c_str());
            committed_ = true;
            return true;
        }
        if (!MoveFileExA(backup.c_str(), target_.c_str(), MOVEFILE_WRITE_THROUGH)) {
            committed_ = true;  // the temporary file is the new content's only copy: it stays
            error = CouldNotWrite(path_, static_cast<int>(status)) + " The old content is in \"" + backup +
                    "\", the new one in \"" + working_ + "\".";
            return false;
        }
    }
    if (Exists(target_)) DeleteFileA(backup.c_str());  // a copy of the target, if made
    // The target is as it was. Where the system does not replace files so
    // (some file systems, paths without a drive under Wine), the access list
    // is carried over by hand and the new file moved over the target.
    KeepAccessList(target_, working_);
    if (Move(working_, target_)) {
        committed_ = true;
        return true;
    }
    status = GetLastError();
    // Another program holds the target open without letting it be replaced
    // (it shares reading and writing, not deletion): as the system's own
    // writers would, the content goes into it in place, room reserved first.
    if (status == ERROR_SHARING_VIOLATION || status == ERROR_ACCESS_DENIED) {
        const DWORD inPlace = RewriteInPlace(target_, working_);
        Abandon();
        if (inPlace == ERROR_SUCCESS) return true;
        status = inPlace;
    }
    Abandon();
    return Fail(static_cast<int>(status), error);
}

void Replacement::Abandon() {
    if (stream_) {
        std::fclose(stream_);
        stream_ = nullptr;
        handle_ = -1;
    }
    // A removal that fails leaves a file nobody holds: the next sweep takes it.
    if (!committed_ && !inPlace_ && !working_.empty() && !Refused(Call::kRemove, working_))
        DeleteFileA(working_.c_str());
    working_.clear();
}

Replacement::~Replacement() { Abandon(); }

void SweepStaleTemporaries(const std::string& folder) {
    const std::unique_lock<std::shared_mutex> gap(CommitGap());
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder + ".~halvo-*.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 ||
            !IsTemporaryName(found.cFileName))
            continue;
        // Opened to be deleted, sharing nothing: it fails while its writer
        // holds it open.
        const std::string path = folder + found.cFileName;
        if (Refused(Call::kRemove, path)) continue;
        const HANDLE h = CreateFileA(path.c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

namespace {

// The region every holder locks: far beyond the end of any file, so that the
// lock never keeps a reader out.
OVERLAPPED LockRegion() {
    OVERLAPPED region{};
    region.Offset = 0xFFFFFFF0u;
    region.OffsetHigh = 0x7FFFFFFFu;
    return region;
}

bool SameFile(HANDLE held, const std::string& path) {
    const HANDLE named = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
    if (named == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION a{}, b{};
    const bool same = GetFileInformationByHandle(held, &a) && GetFileInformationByHandle(named, &b) &&
                      a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
                      a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
    CloseHandle(named);
    return same;
}

}  // namespace

UpdateLock::UpdateLock(const std::string& path, const LockWait& wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait.bound;
    auto waitMore = [&] {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        if (wait.pump) wait.pump();
        Sleep(10);
        return true;
    };
    if (IsNonRegularFile(path)) {
        state_ = State::kRefused;
        return;
    }
    for (;;) {
        const HANDLE h =
            CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            error_ = static_cast<int>(GetLastError());
            if (error_ == ERROR_SHARING_VIOLATION && waitMore()) continue;
            state_ = error_ == ERROR_FILE_NOT_FOUND || error_ == ERROR_PATH_NOT_FOUND ? State::kNoFile
                     : error_ == ERROR_SHARING_VIOLATION                              ? State::kBusy
                                                                                      : State::kUnusable;
            return;
        }
        if (GetFileType(h) != FILE_TYPE_DISK) {
            CloseHandle(h);
            state_ = State::kRefused;
            return;
        }
        for (;;) {
            OVERLAPPED region = LockRegion();
            if (!Refused(Call::kLock, path) &&
                LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &region))
                break;
            const DWORD status = GetLastError();
            if (status != ERROR_LOCK_VIOLATION && status != ERROR_IO_PENDING) break;  // unguarded
            if (!waitMore()) {
                CloseHandle(h);
                state_ = State::kBusy;
                return;
            }
        }
        // The holder before may have put a new file in place: lock that one.
        if (SameFile(h, path)) {
            handle_ = reinterpret_cast<std::intptr_t>(h);
            state_ = State::kHeld;
            return;
        }
        CloseHandle(h);
    }
}

UpdateLock::~UpdateLock() {
    if (handle_ != -1) CloseHandle(AsHandle(handle_));
}

bool CreateNewFile(const std::string& name, const std::string&, bool& exists, std::string& error) {
    // CREATE_NEW fails on any name already there, a link included. The new
    // file takes the folder's inherited access, as the chosen file did.
    HANDLE h = INVALID_HANDLE_VALUE;
    if (!Refused(Call::kCreate, name))
        h = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD status = h == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    exists = status == ERROR_FILE_EXISTS || status == ERROR_ALREADY_EXISTS;
    if (h == INVALID_HANDLE_VALUE) {
        error = CouldNotWrite(name, static_cast<int>(status));
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
        const std::string path = std::string(temp) + "halvo-" + std::to_string(GetCurrentProcessId()) + "-" +
                                 std::to_string(GetTickCount64() % 1000000 + attempt);
        if (CreateDirectoryA(path.c_str(), nullptr)) {
            path_ = path;
            return true;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
    return false;
}

PrivateFolder::~PrivateFolder() {
    if (!file_.empty()) DeleteFileA(file_.c_str());
    if (!path_.empty()) RemoveDirectoryA(path_.c_str());
}

}  // namespace filesafe
