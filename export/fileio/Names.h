// The names of the files Ledgra writes beside the one a user chose: the
// temporary file of a replacement and the recovery files of a failed save.
// Plain functions, the same on every system.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ledgra::fileio {

// The longest file name (one path component) a folder takes, in bytes.
inline constexpr std::size_t kMaxNameBytes = 255;

// Where the folder part of path ends: the position after its last separator
// ('/' everywhere, '\' too on Windows), 0 when it has none.
std::size_t NameStart(std::string_view path);

// A tag of this computer's name, so that names made on another computer
// sharing the folder are told apart.
std::string HostTag();

// The temporary file's name (no folder): ".~ledgra-<host>-<pid>-<random>".
// Short whatever the target is called, and it tells which writer made it.
std::string TemporaryName(unsigned long pid);

// True when name is a temporary file's name made on this computer; pid
// receives the process that made it.
bool IsTemporaryName(std::string_view name, unsigned long& pid);

// The n-th name (from 1) for a file saved beside path in place of it:
// "/d/Data.xls" with suffix ".xls" gives "/d/Data-recovered.xls", then
// "/d/Data-recovered-2.xls", ... The stem of path's name is cut (at a
// character boundary) so the name fits kMaxNameBytes; the folder never
// changes.
std::string RecoveryName(const std::string& path, const std::string& suffix, int n);

}  // namespace ledgra::fileio
