#include "xls/CompoundFile.h"

#include <gsf/gsf.h>

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

namespace ledgra::xls::detail {
namespace {

// Excel 97-2003 workbook class id, as Excel stores it in the root entry.
constexpr guint8 kWorkbookClassId[16] = {0x20, 0x08, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                         0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr std::size_t kMinStream = 4096;  // smaller streams are padded (no mini stream)

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

}  // namespace

void SetRenameForTesting(RenameFunction rename) {
    fileio::SystemCalls calls;
    calls.rename = rename;
    fileio::SetSystemCallsForTesting(calls);
}

std::unique_ptr<CompoundFileOutput> CompoundFileOutput::Create(const std::string& path, std::string& error) {
    static std::once_flag gsfReady;
    std::call_once(gsfReady, [] { gsf_init(); });

    std::unique_ptr<CompoundFileOutput> out(new CompoundFileOutput);
    out->path_ = path;
    out->replacement_ = fileio::FileReplacement::Begin(path, error);
    if (!out->replacement_) return nullptr;
    const int fd = ::dup(out->replacement_->Descriptor());
    out->file_ = fd < 0 ? nullptr : ::fdopen(fd, "wb");
    if (!out->file_) {
        error = "Could not write " + Quoted(path) + ": " + std::strerror(errno) + ".";
        if (fd >= 0) ::close(fd);
        return nullptr;  // the destructor removes the temporary file
    }

    out->sink_ = gsf_output_stdio_new_FILE(out->replacement_->WorkingPath().c_str(), out->file_, TRUE);
    if (out->sink_) out->ole_ = gsf_outfile_msole_new(out->sink_);
    if (out->ole_) {
        gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(out->ole_), kWorkbookClassId);
        out->stream_ = gsf_outfile_new_child(out->ole_, "Workbook", FALSE);
    }
    if (!out->stream_) {
        error = "Could not write " + Quoted(path) + ": the compound file could not be started.";
        return nullptr;
    }
    return out;
}

void CompoundFileOutput::Fail(const std::string& what, int err) {
    if (!error_.empty()) return;
    std::string why;
    if (sink_ && gsf_output_error(sink_)) why = gsf_output_error(sink_)->message;
    if (why.empty() && err) why = std::strerror(err);
    if (why.empty()) why = what;
    error_ = "Could not write " + Quoted(path_) + ": " + why + ".";
}

bool CompoundFileOutput::Write(const void* data, std::size_t size) {
    if (!error_.empty()) return false;
    if (!gsf_output_write(stream_, size, static_cast<const guint8*>(data))) {
        Fail("the workbook stream could not be written", errno);
        return false;
    }
    written_ += size;
    return true;
}

bool CompoundFileOutput::Commit(std::string& error) {
    if (error_.empty() && written_ < kMinStream) {
        const std::vector<std::uint8_t> zeros(kMinStream - written_, 0);
        Write(zeros.data(), zeros.size());
    }
    if (error_.empty() && !gsf_output_close(stream_)) Fail("the workbook stream could not be closed", errno);
    if (error_.empty() && !gsf_output_close(GSF_OUTPUT(ole_)))
        Fail("the compound file could not be closed", errno);
    if (error_.empty()) replacement_->SetLength(static_cast<off_t>(gsf_output_size(sink_)));
    if (error_.empty() && (std::fflush(file_) != 0 || std::ferror(file_))) Fail("flush", errno);
    if (error_.empty()) {
        std::FILE* f = file_;
        file_ = nullptr;
        if (std::fclose(f) != 0) Fail("close", errno);
    }
    std::string committed;
    if (error_.empty() && !replacement_->Commit(committed)) error_ = committed;
    if (!error_.empty()) {
        error = error_;
        Abandon();
        return false;
    }
    Abandon();  // releases the gsf objects; the file is in place
    return true;
}

void CompoundFileOutput::Abandon() {
    if (stream_) {
        if (!gsf_output_is_closed(stream_)) gsf_output_close(stream_);
        g_object_unref(stream_);
        stream_ = nullptr;
    }
    if (ole_) {
        if (!gsf_output_is_closed(GSF_OUTPUT(ole_))) gsf_output_close(GSF_OUTPUT(ole_));
        g_object_unref(ole_);
        ole_ = nullptr;
    }
    if (sink_) {
        g_object_unref(sink_);
        sink_ = nullptr;
    }
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    replacement_.reset();  // not committed: removes the temporary file
}

CompoundFileOutput::~CompoundFileOutput() { Abandon(); }

}  // namespace ledgra::xls::detail
