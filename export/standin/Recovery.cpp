// What the stand-in does when a workbook cannot be saved where asked: it
// saves everything it holds beside that file, in files of its own, as a whole
// workbook or, when the format cannot hold the cells, as comma-separated text
// of each sheet with every text whole. Recovery files are always new files
// under a free name; nothing there is ever replaced.
#include "standin/Objects.h"

#include "filesafe.h"
#include "standin/Desktop.h"

namespace ledgra::standin::detail {

namespace {

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

std::string List(const std::vector<std::string>& items) {
    std::string list;
    for (const std::string& item : items) list += (list.empty() ? " " : ", ") + item;
    return list;
}

bool StillAsWritten(const FileStamp& stamp) {
    FileStamp now;
    return stamp.valid && Stat(stamp.path, now) && now.device == stamp.device && now.inode == stamp.inode &&
           now.size == stamp.size && now.mtimeNs == stamp.mtimeNs;
}

// Saves through write (name, error) in the recovery file for path and suffix:
// the one this workbook wrote before when it is still as written, else a new
// one under a free name. Its name, or "" with error set.
template <class Write>
std::string SaveRecovery(BookState& book, const std::string& path, const std::string& suffix, Write write,
                         std::string& error) {
    FileStamp& known = book.recoveries[path + "\n" + suffix];
    const bool again = StillAsWritten(known);
    const std::string name = again ? known.path : filesafe::ReserveRecoveryFile(path, suffix, error);
    if (name.empty()) return name;
    if (!write(name, error)) {
        if (!again) filesafe::RemoveFile(name);
        return std::string();
    }
    known = FileStamp{};
    known.valid = Stat(name, known);
    known.path = name;
    return name;
}

std::string SaveWorkbookBeside(BookState& book, const std::string& path) {
    std::string error;
    return SaveRecovery(
        book, path, ".xls",
        [&](const std::string& name, std::string& why) {
            const xls::SaveResult saved = xls::SaveBiff8(*book.model, name, &book.memo);
            why = saved.description;
            return static_cast<bool>(saved);
        },
        error);
}

}  // namespace

std::string SaveBeside(BookState& book, const std::string& path) {
    if (const std::string workbook = SaveWorkbookBeside(book, path); !workbook.empty()) {
        Saved(book, workbook, FileKind::Workbook);
        return " The whole workbook was saved as " + Quoted(workbook) + " instead.";
    }
    std::vector<std::string> saved;
    std::vector<std::string> unsaved;
    std::string error;
    for (std::size_t i = 0; i < book.sheets.size(); ++i) {
        const xls::Worksheet& sheet = book.model->Sheet(i);
        const SheetState& used = *book.sheets[i];
        const std::string text =
            FormatCommaSeparated(sheet, used.usedRows, used.usedColumns, NumberText::Exact, &used.longTexts);
        const std::string sheetName = SystemPath(sheet.Name());  // like path, a system name
        const std::string name = SaveRecovery(
            book, path, "-" + sheetName + ".csv",
            [&](const std::string& file, std::string& why) {
                return filesafe::ReplaceFileContent(file, text, why);
            },
            error);
        if (name.empty())
            unsaved.push_back(Quoted(sheetName) + " (" + error + ")");
        else
            saved.push_back(Quoted(name));
    }
    if (saved.empty()) return " Nothing could be saved beside it either: " + error;
    if (unsaved.empty()) return " Every sheet was saved as comma-separated text instead:" + List(saved) + ".";
    return " These sheets were saved as comma-separated text instead:" + List(saved) +
           ". These sheets could not be saved:" + List(unsaved) + ".";
}

}  // namespace ledgra::standin::detail
