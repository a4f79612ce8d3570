// The container: a compound file (OLE2, via libgsf) holding the one
// "Workbook" stream, written through Ledgra's one file replacement (a
// temporary file beside the target, renamed over it only when everything was
// written and synced without error).
#pragma once

#include "fileio/ReplaceFile.h"
#include "xls/Biff8.h"

#include <cstdio>
#include <memory>
#include <string>

struct _GsfOutput;
struct _GsfOutfile;

namespace ledgra::xls::detail {

// The last step, rename(2), can be replaced by tests (null: the real one);
// the other system calls through fileio::SetSystemCallsForTesting.
using RenameFunction = int (*)(const char* from, const char* to);
void SetRenameForTesting(RenameFunction rename);

class CompoundFileOutput final : public StreamSink {
public:
    // Creates the temporary file; null with error set when it cannot be made.
    static std::unique_ptr<CompoundFileOutput> Create(const std::string& path, std::string& error);
    ~CompoundFileOutput() override;  // not committed: the temporary file is removed

    bool Write(const void* data, std::size_t size) override;
    // Finishes the file and renames it over the target; false with error set
    // (the target is then untouched).
    bool Commit(std::string& error);
    const std::string& Error() const { return error_; }

private:
    CompoundFileOutput() = default;
    void Fail(const std::string& what, int err);
    void Abandon();

    std::string path_;
    std::unique_ptr<fileio::FileReplacement> replacement_;
    std::FILE* file_ = nullptr;  // a second descriptor of the replacement's file, for libgsf
    _GsfOutput* sink_ = nullptr;
    _GsfOutfile* ole_ = nullptr;
    _GsfOutput* stream_ = nullptr;
    std::uint64_t written_ = 0;
    std::string error_;
};

}  // namespace ledgra::xls::detail
