// The names of the files written beside a chosen one: the temporary file of
// a replacement and the recovery files of a failed save. Plain functions, the
// same on every system.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace filesafe {

// The longest file name (one path component) a folder takes, in bytes.
inline constexpr std::size_t kMaxNameBytes = 255;

// Where the folder part of path ends: the position after its last separator
// ('/' everywhere, '\' too on Windows), 0 when it has none.
std::size_t NameStart(std::string_view path);

// A temporary file's name (no folder): ".~halvo-<12 random letters>.tmp",
// short whatever the target is called.
std::string TemporaryName();

// True when name has the form of a temporary file's name.
bool IsTemporaryName(std::string_view name);

// True when the last component of path names one of Windows' reserved
// devices (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, CONIN$, CONOUT$), in any
// case, with or without an extension or trailing spaces: "NUL.csv" in any
// folder is the null device there, and a save into it would be lost.
bool IsDeviceName(std::string_view path);

// The n-th name (from 1) for a file saved beside path in place of it:
// "/d/Data.xls" with suffix ".xls" gives "/d/Data-recovered.xls", then
// "/d/Data-recovered-2.xls", ... The stem of path's name is cut (at a
// character boundary) so the name fits kMaxNameBytes; the folder never
// changes.
std::string RecoveryName(const std::string& path, const std::string& suffix, int n);

}  // namespace filesafe
