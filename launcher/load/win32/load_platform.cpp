#include "load_platform.h"

#include <algorithm>
#include <ctime>

#include "filesafe.h"

namespace ardmon {

namespace {

std::wstring Widen(const std::string& text)
{
    const int n = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

// text in the ANSI code page as the A functions give it (a near letter, or
// '?'); lost is set when it does not read back as text.
std::string Narrow(std::wstring_view text, bool& lost)
{
    const int size = static_cast<int>(text.size());
    const int n = ::WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), size, narrow.data(), n, nullptr, nullptr);
    lost = lost || Widen(narrow) != text;
    return narrow;
}

// The NUL-separated strings a list function gives, read with a buffer that
// grows until the list fits.
template <class Read>
std::vector<std::wstring> ReadList(Read read)
{
    for (DWORD size = 16384;; size *= 4) {
        std::wstring buffer(size, L'\0');
        const DWORD n = read(buffer.data(), size);
        if (n + 2 >= size && size < (1u << 26)) continue;
        std::vector<std::wstring> list;
        for (size_t at = 0; at < n;) {
            const size_t end = buffer.find(L'\0', at);
            if (end > at) list.emplace_back(buffer, at, end - at);
            at = end + 1;
        }
        return list;
    }
}

}  // namespace

DWORD Win32LoadPlatform::GetPrivateProfileSectionNamesA(LPSTR buffer, DWORD size, LPCSTR file)
{
    return ::GetPrivateProfileSectionNamesA(buffer, size, file);
}

DWORD Win32LoadPlatform::GetPrivateProfileSectionA(LPCSTR section, LPSTR buffer, DWORD size, LPCSTR file)
{
    return ::GetPrivateProfileSectionA(section, buffer, size, file);
}

std::FILE* Win32LoadPlatform::OpenForUpdate(const std::string& path)
{
    if (filesafe::IsNonRegularFile(path)) {
        return nullptr;
    }
    // Wine run as root would open a read-only file for writing; Windows
    // never does.
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return nullptr;
    }
    return std::fopen(path.c_str(), "r+");
}

void Win32LoadPlatform::BeginWrites(const std::string& path)
{
    client_ = path;
    writes_.clear();
}

BOOL Win32LoadPlatform::WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file)
{
    if (client_ != file) {
        return ::WritePrivateProfileStringA(section, key, value, file);
    }
    writes_.push_back({section, key, value});
    return TRUE;
}

CommitResult Win32LoadPlatform::CommitWrites()
{
    const CommitResult result = client_.empty() ? CommitResult::kFailed : PutWritesInPlace();
    client_.clear();
    writes_.clear();
    return result;
}

// Under the client file's update lock, the writes go to a copy of it in a
// private folder through the system's profile function, and the copy's
// content replaces the file through the safe-file engine, a piece at a time.
CommitResult Win32LoadPlatform::PutWritesInPlace()
{
    const filesafe::UpdateLock lock(client_);
    if (lock.state() == filesafe::UpdateLock::State::kBusy) return CommitResult::kBusy;
    if (lock.state() == filesafe::UpdateLock::State::kRefused) return CommitResult::kFailed;
    filesafe::PrivateFolder folder;
    const std::string copy = folder.Create() ? folder.NewFile("halvoclient.ini") : std::string();
    if (copy.empty() || !::CopyFileA(client_.c_str(), copy.c_str(), FALSE)) return CommitResult::kFailed;
    for (const ProfileWrite& write : writes_) {
        if (!::WritePrivateProfileStringA(write.section.c_str(), write.key.c_str(), write.value.c_str(),
                                          copy.c_str())) {
            return CommitResult::kFailed;
        }
    }
    const long long size = FileSize(copy);
    std::FILE* in = size < 0 ? nullptr : std::fopen(copy.c_str(), "rb");
    if (in == nullptr) return CommitResult::kFailed;
    const bool replaced = ReplaceFrom(in, static_cast<unsigned long long>(size));
    std::fclose(in);
    return replaced ? CommitResult::kCommitted : CommitResult::kFailed;
}

// The client file's content becomes the size bytes of in.
bool Win32LoadPlatform::ReplaceFrom(std::FILE* in, unsigned long long size)
{
    std::string error;
    const std::unique_ptr<filesafe::Replacement> file = filesafe::Replacement::Begin(client_, error);
    if (file == nullptr || !file->Reserve(size, error)) return false;
    std::vector<char> buffer(65536);
    for (size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0;) {
        if (!file->Write(std::string_view(buffer.data(), n), error)) return false;
    }
    return !std::ferror(in) && file->Commit(error);
}

std::time_t Win32LoadPlatform::Now()
{
    return std::time(nullptr);
}

long long Win32LoadPlatform::FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        return -1;
    }
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::vector<std::pair<std::string, std::string>> Win32LoadPlatform::ReadLosses(const std::string& path)
{
    std::vector<std::pair<std::string, std::string>> losses;
    const std::wstring file = Widen(path);
    const auto names = ReadList([&](LPWSTR buffer, DWORD size) {
        return ::GetPrivateProfileSectionNamesW(buffer, size, file.c_str());
    });
    std::vector<std::string> seen;
    for (const std::wstring& wide_name : names) {
        bool lost = false;
        const std::string name = Narrow(wide_name, lost);
        if (lost) {
            losses.emplace_back(name, "");
            continue;
        }
        if (std::find(seen.begin(), seen.end(), name) != seen.end()) continue;  // read once
        seen.push_back(name);
        const auto entries = ReadList([&](LPWSTR buffer, DWORD size) {
            return ::GetPrivateProfileSectionW(wide_name.c_str(), buffer, size, file.c_str());
        });
        for (const std::wstring& entry : entries) {
            const size_t equals = entry.find(L'=');
            if (equals == std::wstring::npos) continue;
            bool entry_lost = false;
            const std::string key = Narrow(std::wstring_view(entry).substr(0, equals), entry_lost);
            Narrow(std::wstring_view(entry).substr(equals + 1), entry_lost);
            if (entry_lost) losses.emplace_back(name, key);
        }
    }
    return losses;
}

LoadResult RunEnvironmentLoad(LoadWindow& window)
{
    Win32LoadPlatform platform;
    return RunEnvironmentLoad(window, platform);
}

std::unique_ptr<LoadPlatform> MakeHostLoadPlatform()
{
    return std::make_unique<Win32LoadPlatform>();
}

std::string FormatLoadTime(std::time_t when)
{
    // The C runtime's locale stays "C" (the launcher sets none), so %b is
    // the English month.
    std::tm local{};
    const __time64_t when64 = when;
    if (::_localtime64_s(&local, &when64) != 0) {
        return {};
    }
    char text[128];
    const size_t length = std::strftime(text, sizeof text, "%d-%b-%Y %H:%M:%S", &local);
    return std::string(text, length);
}

}  // namespace ardmon
