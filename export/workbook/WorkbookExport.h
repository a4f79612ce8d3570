// ExportTable::WriteToExcel: the file choice, the text branch for "csv"
// and "txt", and the workbook branch that drives the spreadsheet application
// through the automation layer.
#pragma once

#include "object/Table.h"

#include <string>

namespace ledgra::workbook {

inline constexpr const char* kExcelProgId = "Excel.Application";

// Save dialog filters: the long list when the application is registered.
inline constexpr const char* kWorkbookFilter =
    "Worksheet Files (*.xls)|*.xls|Data Files (*.xlc;*.xls)|*.xlc; *.xls|CSV Files(*.csv)|*.csv; "
    "*.csv|Text Documents(*.txt)|*.txt;*.txt|All Files (*.*)|*.*||";
inline constexpr const char* kTextOnlyFilter =
    "CSV Files(*.csv)|*.csv; *.csv|Text Documents(*.txt)|*.txt;*.txt|All Files (*.*)|*.*||";

inline constexpr const char* kMsgCreateFailed = "Failed To open File";
inline constexpr const char* kCaptionCreateFailed = "File Open";
inline constexpr const char* kMsgTextBranchOpenFailed = "File Open Failed";
inline constexpr const char* kMsgNotInstalled =
    "Excel not installed in the system.\nDO you want to save as Text file?";

inline constexpr int kMaxSheetRows = 65534;  // data rows per sheet, below the header row
inline constexpr int kMaxBlockRows = 5000;   // rows sent in one Value request
inline constexpr int kMaxColumns = 702;      // columns A to ZZ, as far as cell references reach

// WriteToExcel with the application taken from progId (the export itself uses
// kExcelProgId; tests name a recording application of their own).
int WriteToExcelWith(ExportTable& table, const char* progId);

// The extension of path's file name without its dot, as the save dialog
// reports it: "" when the name has none.
std::string FileExtension(const std::string& path);

// The name of sheet k: base followed by "-Sheet<k>", the base cut (at a
// character boundary) when the whole would exceed the 31 characters a sheet
// name may have.
std::string SheetName(const std::string& base, int k);

}  // namespace ledgra::workbook
