// SaveBiff8: plan (limits and layout), then stream the records into a compound
// file of our own (PlainCompoundFile) through Ledgra's file replacement, which
// puts it over the target only when everything was written and synced.
#include "filesafe.h"
#include "xls/Biff8.h"
#include "xls/Model.h"
#include "xls/PlainCompoundFile.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace ledgra::xls {
namespace {

std::string CouldNotWrite(const std::string& path, int err) {
    return "Could not write \"" + path + "\": " + std::strerror(err) + ".";
}

// Writes the compound file through a stdio stream of its own on the
// replacement's file; 0, or the errno of the step that failed.
int WriteCompoundFile(const detail::Biff8Writer& writer, filesafe::Replacement& replacement) {
    const int fd = ::dup(replacement.Descriptor());
    std::FILE* file = fd < 0 ? nullptr : ::fdopen(fd, "wb");
    if (!file) {
        const int err = errno;
        if (fd >= 0) ::close(fd);
        return err;
    }
    detail::PlainCompoundFile compound(file);
    int err = 0;
    if (!writer.Write(compound) || !compound.Finish() || std::fflush(file) != 0) err = errno ? errno : EIO;
    if (std::fclose(file) != 0 && err == 0) err = errno;
    replacement.SetLength(static_cast<off_t>(compound.FileSize()));
    return err;
}

}  // namespace

SaveResult SaveBiff8(const Workbook& workbook, const std::string& path, SaveMemo* memo) {
    detail::Biff8Writer writer(workbook, memo);
    if (SaveResult planned = writer.Plan(); !planned) return planned;

    std::string error;
    std::unique_ptr<filesafe::Replacement> replacement = filesafe::Replacement::Begin(path, error);
    if (!replacement ||
        !replacement->Reserve(static_cast<off_t>(detail::CompoundFileRoom(writer.StreamSize())), error))
        return {SaveStatus::WriteFailed, error};
    errno = 0;
    if (const int err = WriteCompoundFile(writer, *replacement); err != 0)
        return {SaveStatus::WriteFailed, CouldNotWrite(path, err)};  // the temporary file goes
    if (!replacement->Commit(error)) return {SaveStatus::WriteFailed, error};
    return {};
}

}  // namespace ledgra::xls
