// SaveBiff8: plan (limits and layout), then stream the records into the
// compound file, then commit it over the target.
#include "xls/Biff8.h"
#include "xls/CompoundFile.h"
#include "xls/Model.h"

namespace ledgra::xls {

SaveResult SaveBiff8(const Workbook& workbook, const std::string& path) {
    detail::Biff8Writer writer(workbook);
    if (SaveResult planned = writer.Plan(); !planned) return planned;

    std::string error;
    std::unique_ptr<detail::CompoundFileOutput> file = detail::CompoundFileOutput::Create(path, error);
    if (!file) return {SaveStatus::WriteFailed, error};
    if (!writer.Write(*file)) return {SaveStatus::WriteFailed, file->Error()};
    if (!file->Commit(error)) return {SaveStatus::WriteFailed, error};
    return {};
}

}  // namespace ledgra::xls
