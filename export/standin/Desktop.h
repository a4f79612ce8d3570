#pragma once

#include <string>

namespace ledgra::standin {

// Opens path with the desktop's default program, unless there is no display
// or LEDGRA_OPEN_WORKBOOK is "0".
void OpenOnDesktop(const std::string& path);

}  // namespace ledgra::standin
