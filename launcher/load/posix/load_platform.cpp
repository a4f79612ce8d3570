#include "load_platform.h"

#include <locale.h>
#include <sys/stat.h>

#include "file_ops.h"
#include "filesafe.h"
#include "write_batch.h"

namespace ardmon {

PosixLoadPlatform::PosixLoadPlatform() = default;

// Writes that were never committed are dropped: the file stays as it was.
PosixLoadPlatform::~PosixLoadPlatform() = default;

DWORD PosixLoadPlatform::GetPrivateProfileSectionNamesA(LPSTR buffer, DWORD size, LPCSTR file)
{
    return ::GetPrivateProfileSectionNamesA(buffer, size, file);
}

DWORD PosixLoadPlatform::GetPrivateProfileSectionA(LPCSTR section, LPSTR buffer, DWORD size, LPCSTR file)
{
    return ::GetPrivateProfileSectionA(section, buffer, size, file);
}

std::FILE* PosixLoadPlatform::OpenForUpdate(const std::string& path)
{
    // A FIFO or a device would block the open, or take the writes.
    if (filesafe::IsNonRegularFile(path)) {
        return nullptr;
    }
    profile::FileOps& ops = profile::CurrentFileOps();
    std::FILE* stream = ops.OpenStream(path, "r+");
    if (stream == nullptr) {
        return nullptr;
    }
    struct stat st {};
    if (ops.Fstat(fileno(stream), st) != 0 || (st.st_mode & 0222) == 0) {
        std::fclose(stream);
        return nullptr;
    }
    return stream;
}

void PosixLoadPlatform::BeginWrites(const std::string& path)
{
    batch_.reset();  // a batch still alive would take the new one's writes
    batch_ = std::make_unique<profile::WriteBatch>(path);
}

BOOL PosixLoadPlatform::WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file)
{
    return ::WritePrivateProfileStringA(section, key, value, file);
}

CommitResult PosixLoadPlatform::CommitWrites()
{
    const profile::WriteOutcome outcome =
        batch_ == nullptr ? profile::WriteOutcome::kWritten : batch_->CommitOutcome();
    batch_.reset();
    switch (outcome) {
        case profile::WriteOutcome::kWritten:
            return CommitResult::kCommitted;
        case profile::WriteOutcome::kBusy:
            return CommitResult::kBusy;
        case profile::WriteOutcome::kFailed:
            break;
    }
    return CommitResult::kFailed;
}

std::time_t PosixLoadPlatform::Now()
{
    return std::time(nullptr);
}

long long PosixLoadPlatform::FileSize(const std::string& path)
{
    struct stat st {};
    return profile::CurrentFileOps().Stat(path, st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

std::vector<std::pair<std::string, std::string>> PosixLoadPlatform::ReadLosses(const std::string& path)
{
    return profile::FindReadLosses(path.c_str());
}

LoadResult RunEnvironmentLoad(LoadWindow& window)
{
    PosixLoadPlatform platform;
    return RunEnvironmentLoad(window, platform);
}

std::unique_ptr<LoadPlatform> MakeHostLoadPlatform()
{
    return std::make_unique<PosixLoadPlatform>();
}

std::string FormatLoadTime(std::time_t when)
{
    std::tm local{};
    if (localtime_r(&when, &local) == nullptr) {
        return {};
    }
    const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    if (c_locale == static_cast<locale_t>(0)) {
        return {};
    }
    char text[128];
    const size_t length = strftime_l(text, sizeof text, "%d-%b-%Y %H:%M:%S", &local, c_locale);
    freelocale(c_locale);
    return std::string(text, length);
}

}  // namespace ardmon
