// SaveBiff8 on Windows: plan (limits and layout), then stream the records into
// a compound file of our own (PlainCompoundFile) through Ledgra's file
// replacement, which puts it over the target only when it is complete.
#include "filesafe.h"
#include "xls/Biff8.h"
#include "xls/Model.h"
#include "xls/PlainCompoundFile.h"

#include <windows.h>

#include <memory>
#include <string>

namespace ledgra::xls {

SaveResult SaveBiff8(const Workbook& workbook, const std::string& path, SaveMemo* memo) {
    detail::Biff8Writer writer(workbook, memo);
    if (SaveResult planned = writer.Plan(); !planned) return planned;

    std::string error;
    std::unique_ptr<filesafe::Replacement> replacement = filesafe::Replacement::Begin(path, error);
    if (!replacement || !replacement->Reserve(detail::CompoundFileRoom(writer.StreamSize()), error))
        return {SaveStatus::WriteFailed, error};
    detail::PlainCompoundFile file(replacement->Stream());
    if (!writer.Write(file) || !file.Finish())
        return {SaveStatus::WriteFailed, filesafe::CouldNotWrite(path, ERROR_WRITE_FAULT)};
    if (!replacement->Commit(error)) return {SaveStatus::WriteFailed, error};
    return {};
}

}  // namespace ledgra::xls
