#include "load_platform.h"

#include <ctime>

namespace ardmon {

namespace {

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// A new, empty file in folder whose name no other file has.
std::string MakeUniqueFile(const std::string& folder)
{
    char name[MAX_PATH + 16] = {};
    if (::GetTempFileNameA(folder.c_str(), "hcl", 0, name) == 0) {
        return {};
    }
    return name;
}

}  // namespace

Win32LoadPlatform::~Win32LoadPlatform()
{
    DiscardCopy();
}

void Win32LoadPlatform::DiscardCopy()
{
    if (!copy_.empty()) {
        ::DeleteFileA(copy_.c_str());
    }
    copy_.clear();
}

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
    DiscardCopy();
    client_ = path;
    copy_ = MakeUniqueFile(FolderOf(path));
    if (!copy_.empty() && !::CopyFileA(path.c_str(), copy_.c_str(), FALSE)) {
        DiscardCopy();
    }
}

BOOL Win32LoadPlatform::WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file)
{
    if (client_ != file) {
        return ::WritePrivateProfileStringA(section, key, value, file);
    }
    if (copy_.empty()) {
        return FALSE;  // the copy could not be made: nothing may reach the file itself
    }
    return ::WritePrivateProfileStringA(section, key, value, copy_.c_str());
}

bool Win32LoadPlatform::CommitWrites()
{
    if (copy_.empty()) {
        return false;
    }
    if (!::MoveFileExA(copy_.c_str(), client_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DiscardCopy();
        return false;
    }
    copy_.clear();
    return true;
}

std::time_t Win32LoadPlatform::Now()
{
    return std::time(nullptr);
}

void RunEnvironmentLoad(LoadWindow& window)
{
    Win32LoadPlatform platform;
    RunEnvironmentLoad(window, platform);
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
