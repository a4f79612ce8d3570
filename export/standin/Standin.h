// The stand-in spreadsheet application: an in-process automation server that
// answers the requests of the workbook export the way the spreadsheet
// application does and writes real Excel 97-2003 workbooks. It is registered
// under "Excel.Application" when the library loads; the export reaches it only
// through the automation layer.
#pragma once

#include "automation/Dispatch.h"

#include <functional>
#include <string>

namespace ledgra::standin {

inline constexpr const char* kProgId = "Excel.Application";
inline constexpr const char* kVersion = "16.0";

// A new application object with one reference for the caller.
IDispatch* NewApplication();

// Registers NewApplication under kProgId (done once when the library loads).
void RegisterApplication();

// How the application hands a saved workbook to the desktop when the last
// reference to it goes while it is visible and under the user's control. The
// default runs xdg-open. The opener is asked only when DISPLAY or
// WAYLAND_DISPLAY is set and LEDGRA_OPEN_WORKBOOK is not "0". Null restores
// the default.
using DesktopOpener = std::function<void(const std::string& path)>;
void SetDesktopOpener(DesktopOpener opener);

}  // namespace ledgra::standin
