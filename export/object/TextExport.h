// The comma-separated text the exports write, shared by WriteToTextFile and the
// text branch of the workbook export.
//
// Each row is the cells' texts joined by "," and ended by exactly CR LF (the
// file is opened in binary mode). A text that holds a comma, a CR or an LF, or
// that begins with a double quote, is enclosed in double quotes with its inner
// double quotes doubled; any other text is written byte for byte, so files
// without such texts are unchanged.
#pragma once

#include <ledgra/LedgraInterface.h>

#include <cstdio>
#include <string>
#include <string_view>

namespace ledgra {

// Texts shown by the text export.
inline constexpr const char* kTextExportFilter =
    "Text Documents(*.txt)|*.txt; *.txt|All Files (*.*)|*.*||";
inline constexpr const char* kMsgCallBackFailed = "CallBack Failed";
inline constexpr const char* kMsgTextOpenFailed = "File OPen Failed";
inline constexpr const char* kMsgWriteFailed = "File Write Failed";

// True when text must be quoted to stay one field.
bool NeedsQuotes(std::string_view text);

// Appends text to out as one field (no separator).
void AppendField(std::string& out, std::string_view text);

// Pulls one row through the callback and appends it to out as one line. For
// each column 0..columns-1: the type is set to -1, fn is called with
// (userData, row, column, cellText, &type), then "," (after column 0) and the
// field are appended. cellText is not emptied between calls, so a callback that
// assigns nothing repeats the previous text. Ends the line with "\r\n", also
// for columns <= 0. fn may be null only when columns <= 0.
void AppendRow(ColumnTextRtn fn, void* userData, int row, int columns, std::string& cellText,
               std::string& out);

// Writes every byte of text (NUL bytes included); false when the stream
// refuses any of it.
bool WriteAll(std::FILE* file, std::string_view text);

// Closes the stream; false when closing fails, including the flush of data
// still buffered (a full disk shows up here).
bool CloseFile(std::FILE* file);

}  // namespace ledgra
