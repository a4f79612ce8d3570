// SaveBiff8 on Windows: plan (limits and layout), then stream the records into
// a compound file of our own (PlainCompoundFile) in a temporary file beside the
// target, flushed to the disk and moved over the target only when complete.
#include "fileio/ReplaceFile.h"
#include "xls/Biff8.h"
#include "xls/Model.h"
#include "xls/PlainCompoundFile.h"

#include <windows.h>

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

}  // namespace

SaveResult SaveBiff8(const Workbook& workbook, const std::string& path, SaveMemo* memo) {
    detail::Biff8Writer writer(workbook, memo);
    if (SaveResult planned = writer.Plan(); !planned) return planned;

    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return {SaveStatus::WriteFailed, CouldNotWrite(path, "it is a folder")};
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return {SaveStatus::WriteFailed, CouldNotWrite(path, SystemText(ERROR_ACCESS_DENIED))};

    fileio::TemporaryFile temp;
    DWORD status = temp.Create(path);
    // A folder that takes no new file: the file itself, when it may be written.
    if (status == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES)
        status = temp.OpenInPlace(path);
    // Room taken first (the stream, whole sectors, tables and directory), so
    // a file rewritten in place is not cut half way by a full disk.
    if (status == ERROR_SUCCESS)
        status = temp.Reserve(writer.StreamSize() + writer.StreamSize() / 64 + 16384);
    if (status != ERROR_SUCCESS) return {SaveStatus::WriteFailed, CouldNotWrite(path, SystemText(status))};
    detail::PlainCompoundFile file(temp.File());
    if (!writer.Write(file) || !file.Finish())
        return {SaveStatus::WriteFailed, CouldNotWrite(path, SystemText(ERROR_WRITE_FAULT))};
    if (status = temp.Commit(path); status != ERROR_SUCCESS)
        return {SaveStatus::WriteFailed, CouldNotWrite(path, SystemText(status))};
    return {};
}

}  // namespace ledgra::xls
