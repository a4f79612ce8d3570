#include "standin/Objects.h"

#include "automation/ExcelOperations.h"
#include "standin/Desktop.h"
#include "standin/TextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ledgra::standin::detail {

namespace {

// The largest file Workbooks.Open reads.
constexpr off_t kMaxOpenBytes = off_t{256} << 20;

#ifdef _WIN32
constexpr int kOpenFlags = O_RDONLY | O_BINARY;
#else
constexpr int kOpenFlags = O_RDONLY | O_NONBLOCK | O_CLOEXEC;  // a pipe must not block the open
#endif

// Reads the file Workbooks.Open names: a regular file of at most
// kMaxOpenBytes. A folder, a device or a pipe is refused, not read.
bool ReadOpenedFile(const std::string& path, std::string& content, std::string& problem) {
    const std::string quoted = "'" + path + "'";
    const int fd = path.empty() ? -1 : ::open(path.c_str(), kOpenFlags);
    if (fd < 0) {
        problem = path.empty() || errno == ENOENT || errno == ENOTDIR
                      ? quoted +
                            " could not be found. Check the spelling of the file name, and verify that "
                            "the file location is correct."
                      : quoted + " cannot be opened: " + std::strerror(errno) + ".";
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    if (!ok) {
        problem = quoted + " cannot be read: " + std::strerror(errno) + ".";
    } else if (S_ISDIR(st.st_mode)) {
        problem = quoted + " is a folder; this application opens files only.";
        ok = false;
    } else if (!S_ISREG(st.st_mode)) {
        problem = quoted + " is a device, a pipe or a socket; this application opens regular files only.";
        ok = false;
    } else if (st.st_size > kMaxOpenBytes) {
        problem = quoted + " is larger than 256 MB, the most this application opens.";
        ok = false;
    }
    char chunk[65536];
    while (ok) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) problem = quoted + " cannot be read: " + std::strerror(errno) + ".";
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        content.append(chunk, static_cast<std::size_t>(n));
        if (content.size() > static_cast<std::size_t>(kMaxOpenBytes)) {  // it grew while being read
            problem = quoted + " is larger than 256 MB, the most this application opens.";
            ok = false;
        }
    }
    ::close(fd);
    return ok;
}

}  // namespace

HRESULT WorkbooksObject::Invoke(DISPID dispId, WORD flags, DispArgs args, Variant* result, ExcepInfo* info) {
    switch (dispId) {
        case dispid::Open:
            if (!IsMethod(flags)) return DISP_E_MEMBERNOTFOUND;
            return Open(args, result, info);
        default:
            return DISP_E_MEMBERNOTFOUND;
    }
}

HRESULT WorkbooksObject::Open(DispArgs args, Variant* result, ExcepInfo* info) {
    if (args.empty() || args.size() > 15) return DISP_E_BADPARAMCOUNT;
    std::string name;
    if (FAILED(ChangeToString(*args[0], name))) return DISP_E_TYPEMISMATCH;
    const std::string path = SystemPath(name);

    std::string content;
    std::string problem;
    if (!ReadOpenedFile(path, content, problem)) return Fail(info, PathText(problem));
    if (LooksLikeWorkbookFile(content))
        return Fail(info, "'" + name +
                              "' is a workbook file; this application opens empty and text files "
                              "only.");

    auto book = std::make_shared<BookState>();
    xls::Worksheet& sheet = book->model->InsertSheet(0, SheetNameFromPath(name));
    auto state = std::make_shared<SheetState>();
    ReadCommaSeparated(content, sheet, state->usedRows, state->usedColumns);
    book->sheets.push_back(std::move(state));
    book->fullName = path;
    book->Stamp(path, FileKind::Text);
    App().books.push_back(book);
    ReturnObject(result, new WorkbookObject(app_.get(), std::move(book)));
    return S_OK;
}

}  // namespace ledgra::standin::detail
