// The four Windows profile functions the launcher uses, under their Win32
// names and signatures. On Windows the system's own are used; elsewhere this
// layer supplies them, reading files as Windows reads them and replacing them
// atomically when they change.
#pragma once

#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
typedef std::uint32_t DWORD;
typedef int BOOL;
typedef const char* LPCSTR;
typedef char* LPSTR;

DWORD GetPrivateProfileSectionNamesA(LPSTR lpszReturnBuffer, DWORD nSize, LPCSTR lpFileName);
DWORD GetPrivateProfileSectionA(LPCSTR lpAppName, LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName);
DWORD GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault, LPSTR lpReturnedString,
                               DWORD nSize, LPCSTR lpFileName);
BOOL WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString, LPCSTR lpFileName);

#include <string>
#include <utility>
#include <vector>

namespace ardmon::profile {

// What the functions above cannot give as the file at path holds it, in file
// order: the characters of a UTF-16 file outside the code page read as '?'.
// A section whose name has one cannot be asked for at all: (name, "").
// Otherwise every key line of the first section of a name whose key or value
// has one: (section, key). Names and keys as the functions give them.
std::vector<std::pair<std::string, std::string> > FindReadLosses(const char* path);

}  // namespace ardmon::profile
#endif
