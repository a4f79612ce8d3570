#pragma once

#include <string>

namespace ledgra::standin {

// Opens path with the desktop's default program, unless there is no display
// or LEDGRA_OPEN_WORKBOOK is "0".
void OpenOnDesktop(const std::string& path);

// The stand-in's texts are UTF-8; file names are what the system's narrow
// file calls take: the same bytes on Linux, the ANSI code page on Windows,
// where a client's file name arrives as the application gets it.
// SystemPath turns a text into such a name, PathText a name (or a text made
// with names and system messages) back into a text.
std::string SystemPath(const std::string& text);
std::string PathText(const std::string& systemText);

}  // namespace ledgra::standin
