#include "client_file.h"

#include <windows.h>

#include <charconv>
#include <memory>

namespace ardmon {
namespace {

constexpr DWORD kLockWaitMs = 10000;

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// ".<name>." for the file at path, with its folder in front.
std::string HiddenPrefix(const std::string& path)
{
    const std::string folder = FolderOf(path);
    return folder + "." + path.substr(folder.size()) + ".";
}

struct HandleCloser {
    void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

UniqueHandle Own(HANDLE handle)
{
    return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

// The update lock: open exclusively, waited for while another launcher holds
// it. None when the folder takes no new file, or when the lock has been held
// for ten seconds (its holder hangs): the update then goes on unguarded.
UniqueHandle LockClientFile(const std::string& client)
{
    const std::string lock = HiddenPrefix(client) + "lock";
    for (DWORD waited = 0;; waited += 20) {
        HANDLE handle = ::CreateFileA(lock.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (handle != INVALID_HANDLE_VALUE) return Own(handle);
        const DWORD error = ::GetLastError();
        // A lock being deleted by its last holder refuses access for a
        // moment; a folder that takes no new file refuses it for good.
        const bool held =
            error == ERROR_SHARING_VIOLATION ||
            (error == ERROR_ACCESS_DENIED && ::GetFileAttributesA(lock.c_str()) != INVALID_FILE_ATTRIBUTES);
        if (!held || waited >= kLockWaitMs) return nullptr;
        ::Sleep(20);
    }
}

// The process id in name when it names a temporary file of ours, else 0.
DWORD WriterOf(std::string_view name, std::string_view prefix)
{
    if (!name.starts_with(prefix) || !name.ends_with(".tmp")) return 0;
    name = name.substr(prefix.size(), name.size() - prefix.size() - 4);
    const size_t dash = name.find('-');
    if (dash == std::string_view::npos || dash + 1 == name.size() ||
        name.substr(dash + 1).find_first_not_of("0123456789") != std::string_view::npos) {
        return 0;
    }
    DWORD pid = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + dash, pid);
    return error == std::errc() && end == name.data() + dash ? pid : 0;
}

bool ProcessGone(DWORD pid)
{
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process != nullptr) {
        DWORD code = 0;
        const bool ended = ::GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
        ::CloseHandle(process);
        return ended;
    }
    return ::GetLastError() == ERROR_INVALID_PARAMETER;  // no such process
}

void RemoveStaleCopies(const std::string& client)
{
    const std::string folder = FolderOf(client);
    const std::string prefix = HiddenPrefix(client).substr(folder.size());
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA((HiddenPrefix(client) + "*.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const DWORD writer = WriterOf(found.cFileName, prefix);
        const bool plain_file =
            (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
        if (writer != 0 && writer != ::GetCurrentProcessId() && plain_file && ProcessGone(writer)) {
            ::DeleteFileA((folder + found.cFileName).c_str());
        }
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
}

// A new, empty file named after client in folder; empty when none can be made.
std::string MakeCopyFile(const std::string& folder, const std::string& client, DWORD& error)
{
    const std::string prefix = folder + "." + client.substr(FolderOf(client).size()) + "." +
                               std::to_string(::GetCurrentProcessId()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = prefix + std::to_string(attempt) + ".tmp";
        // Not hidden: CopyFileA refuses to write over a hidden file.
        HANDLE file = ::CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            ::CloseHandle(file);
            return name;
        }
        error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS) break;
    }
    return {};
}

bool ApplyWrites(const std::string& copy, const std::vector<ProfileWrite>& writes)
{
    for (const ProfileWrite& write : writes) {
        if (!::WritePrivateProfileStringA(write.section.c_str(), write.key.c_str(), write.value.c_str(),
                                          copy.c_str())) {
            return false;
        }
    }
    UniqueHandle file = Own(::CreateFileA(copy.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file != nullptr && ::FlushFileBuffers(file.get());
}

// Gives the copy the client file's owner, group and access list where the
// process may set them, else its access list alone.
void TakeSecurityOf(const std::string& client, const std::string& copy)
{
    const SECURITY_INFORMATION all =
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    DWORD size = 0;
    ::GetFileSecurityA(client.c_str(), all, nullptr, 0, &size);
    if (size == 0) return;
    std::vector<char> descriptor(size);
    if (!::GetFileSecurityA(client.c_str(), all, descriptor.data(), size, &size)) return;
    if (!::SetFileSecurityA(copy.c_str(), all, descriptor.data())) {
        ::SetFileSecurityA(copy.c_str(), DACL_SECURITY_INFORMATION, descriptor.data());
    }
}

bool ReadWhole(const std::string& path, std::string& bytes)
{
    UniqueHandle file = Own(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (file == nullptr || !::GetFileSizeEx(file.get(), &size)) return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    return bytes.empty() ||
           (::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) &&
            got == bytes.size());
}

bool SetLength(HANDLE file, long long length)
{
    LARGE_INTEGER at;
    at.QuadPart = length;
    return ::SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
}

// Writes the copy's content into client in place. The file is first made
// long enough for it, so a full disk refuses before a byte changes.
bool RewriteInPlace(const std::string& client, const std::string& copy)
{
    std::string bytes;
    if (!ReadWhole(copy, bytes)) return false;
    UniqueHandle file = Own(::CreateFileA(client.c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER old_size;
    if (file == nullptr || !::GetFileSizeEx(file.get(), &old_size)) return false;
    const long long length = static_cast<long long>(bytes.size());
    if (length > old_size.QuadPart && !SetLength(file.get(), length)) {
        SetLength(file.get(), old_size.QuadPart);
        return false;
    }
    LARGE_INTEGER start{};
    DWORD written = 0;
    return ::SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN) &&
           (bytes.empty() ||
            (::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
             written == bytes.size())) &&
           SetLength(file.get(), length) && ::FlushFileBuffers(file.get());
}

// A copy of client to write to: beside it, or where the folder takes no new
// file, in the user's temporary folder (in_place is then set: a copy there
// can only be written back into the file).
std::string MakeCopy(const std::string& client, bool& in_place)
{
    DWORD error = 0;
    std::string copy = MakeCopyFile(FolderOf(client), client, error);
    in_place = copy.empty() && error == ERROR_ACCESS_DENIED;
    if (in_place) {
        char temp[MAX_PATH + 1];
        const DWORD n = ::GetTempPathA(sizeof temp, temp);
        if (n > 0 && n <= MAX_PATH) copy = MakeCopyFile(temp, client, error);
    }
    if (!copy.empty() && !::CopyFileA(client.c_str(), copy.c_str(), FALSE)) {
        ::DeleteFileA(copy.c_str());
        copy.clear();
    }
    return copy;
}

// Moves the copy over client; false with in_place set when another program
// holds client open without letting it be replaced.
bool MoveOver(const std::string& copy, const std::string& client, bool& in_place)
{
    TakeSecurityOf(client, copy);
    if (::MoveFileExA(copy.c_str(), client.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    const DWORD error = ::GetLastError();
    in_place = error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED;
    return false;
}

}  // namespace

bool ReplaceClientFile(const std::string& client, const std::vector<ProfileWrite>& writes)
{
    const UniqueHandle lock = LockClientFile(client);
    if (lock != nullptr) RemoveStaleCopies(client);
    bool in_place = false;
    const std::string copy = MakeCopy(client, in_place);
    if (copy.empty() || !ApplyWrites(copy, writes)) {
        if (!copy.empty()) ::DeleteFileA(copy.c_str());
        return false;
    }
    if (!in_place && MoveOver(copy, client, in_place)) return true;
    const bool written = in_place && RewriteInPlace(client, copy);
    ::DeleteFileA(copy.c_str());
    return written;
}

}  // namespace ardmon
