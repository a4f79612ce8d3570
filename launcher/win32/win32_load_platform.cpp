#include "win32_load_platform.h"

#include <fcntl.h>
#include <io.h>

#include <ctime>

namespace ardmon::win32 {

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
    if (::GetTempFileNameA(folder.c_str(), "hcl", 0, name) == 0) return std::string();
    return name;
}

}  // namespace

Win32LoadPlatform::~Win32LoadPlatform()
{
    DiscardCopy();
}

void Win32LoadPlatform::DiscardCopy()
{
    if (!m_strCopy.empty()) ::DeleteFileA(m_strCopy.c_str());
    m_strCopy.clear();
}

DWORD Win32LoadPlatform::GetPrivateProfileSectionNamesA(LPSTR buffer, DWORD size, LPCSTR file)
{
    return ::GetPrivateProfileSectionNamesA(buffer, size, file);
}

DWORD Win32LoadPlatform::GetPrivateProfileSectionA(LPCSTR section, LPSTR buffer, DWORD size, LPCSTR file)
{
    return ::GetPrivateProfileSectionA(section, buffer, size, file);
}

BOOL Win32LoadPlatform::WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file)
{
    const bool toClient = !m_strCopy.empty() && m_strClient == file;
    return ::WritePrivateProfileStringA(section, key, value, toClient ? m_strCopy.c_str() : file);
}

std::FILE* Win32LoadPlatform::OpenForUpdate(const std::string& path)
{
    // Windows refuses a read-only file even to an administrator; wine run
    // as root would not, so the attribute is looked at first.
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) != 0) return nullptr;
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDWR);
    if (fd == -1) {
        ::CloseHandle(file);
        return nullptr;
    }
    std::FILE* stream = ::_fdopen(fd, "r+");
    if (stream == nullptr) {
        ::_close(fd);
        return nullptr;
    }
    DiscardCopy();
    m_strClient = path;
    m_strCopy = MakeUniqueFile(FolderOf(path));
    if (m_strCopy.empty() || !::CopyFileA(path.c_str(), m_strCopy.c_str(), FALSE)) {
        DiscardCopy();
        std::fclose(stream);
        return nullptr;
    }
    return stream;
}

std::time_t Win32LoadPlatform::Now()
{
    return std::time(nullptr);
}

bool Win32LoadPlatform::Commit()
{
    if (m_strCopy.empty()) return false;
    // ReplaceFileA keeps the original's attributes and security; a file
    // system without it gets the plain replacement.
    const bool replaced =
        ::ReplaceFileA(m_strClient.c_str(), m_strCopy.c_str(), nullptr, REPLACEFILE_WRITE_THROUGH, nullptr,
                       nullptr) ||
        ::MoveFileExA(m_strCopy.c_str(), m_strClient.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (replaced) m_strCopy.clear();
    return replaced;
}

}  // namespace ardmon::win32
