#include "xls/CompoundFile.h"

#include <gsf/gsf.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ledgra::xls::detail {
namespace {

// Excel 97-2003 workbook class id, as Excel stores it in the root entry.
constexpr guint8 kWorkbookClassId[16] = {0x20, 0x08, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                         0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr std::size_t kMinStream = 4096;  // smaller streams are padded (no mini stream)

RenameFunction renameFunction = nullptr;

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

std::string ResolveLinks(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = realpath(path.c_str(), nullptr)) {
            std::string r = real;
            std::free(real);
            return r;
        }
    }
    return path;
}

std::string RandomSuffix() {
    thread_local std::mt19937_64 rng{std::random_device{}() ^ static_cast<std::uint64_t>(getpid())};
    static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string s;
    for (int i = 0; i < 6; ++i) s += digits[rng() % 36];
    return s;
}

}  // namespace

void SetRenameForTesting(RenameFunction rename) { renameFunction = rename; }

std::unique_ptr<CompoundFileOutput> CompoundFileOutput::Create(const std::string& path, std::string& error) {
    static std::once_flag gsfReady;
    std::call_once(gsfReady, [] { gsf_init(); });

    std::unique_ptr<CompoundFileOutput> out(new CompoundFileOutput);
    out->target_ = ResolveLinks(path);
    const std::string& target = out->target_;
    struct stat existing {};
    const bool exists = stat(target.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        error = "Could not write " + Quoted(path) + ": " +
                (S_ISDIR(existing.st_mode) ? "it is a folder." : "it is not a regular file.");
        return nullptr;
    }
    if (exists && access(target.c_str(), W_OK) != 0) {
        error = "Could not write " + Quoted(path) + ": " + std::strerror(errno) + ".";
        return nullptr;
    }

    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        out->temp_ = target + ".~" + RandomSuffix();
        fd = open(out->temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        error = "Could not write " + Quoted(path) + ": " + std::strerror(errno) + ".";
        out->temp_.clear();
        return nullptr;
    }
    if (exists) {  // the new file keeps the old one's permissions (and owner, where allowed)
        if (fchmod(fd, existing.st_mode & 07777) != 0) { /* umask's default stays */
        }
        if (fchown(fd, existing.st_uid, existing.st_gid) != 0) { /* not ours to change */
        }
    }
    out->file_ = fdopen(fd, "wb");
    if (!out->file_) {
        error = "Could not write " + Quoted(path) + ": " + std::strerror(errno) + ".";
        close(fd);
        return nullptr;  // the destructor removes the temporary file
    }

    out->sink_ = gsf_output_stdio_new_FILE(out->temp_.c_str(), out->file_, TRUE);
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
    error_ = "Could not write " + Quoted(target_) + ": " + why + ".";
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
    if (error_.empty() && (std::fflush(file_) != 0 || std::ferror(file_))) Fail("flush", errno);
    // On the disk before it replaces the target, so a power loss right after the
    // rename cannot leave an empty workbook in the old one's place.
    if (error_.empty() && ::fsync(fileno(file_)) != 0) Fail("fsync", errno);
    if (error_.empty()) {
        std::FILE* f = file_;
        file_ = nullptr;
        if (std::fclose(f) != 0) Fail("close", errno);
    }
    if (error_.empty() &&
        (renameFunction ? renameFunction : std::rename)(temp_.c_str(), target_.c_str()) != 0)
        Fail("rename", errno);
    if (!error_.empty()) {
        error = error_;
        Abandon();
        return false;
    }
    committed_ = true;
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
    if (!committed_ && !temp_.empty()) {
        unlink(temp_.c_str());
        temp_.clear();
    }
}

CompoundFileOutput::~CompoundFileOutput() { Abandon(); }

}  // namespace ledgra::xls::detail
