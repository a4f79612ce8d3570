// The few POSIX calls the platform-neutral tests use, in the C runtime's
// terms; included before every source of the Windows test programs.
#pragma once

#ifdef __cplusplus
#include <cstdlib>
#include <cstring>
#include <string>

#include <direct.h>
#include <io.h>

inline char* mkdtemp(char* pattern) {
    if (_mktemp_s(pattern, std::strlen(pattern) + 1) != 0) return nullptr;
    return _mkdir(pattern) == 0 ? pattern : nullptr;
}
inline int setenv(const char* name, const char* value, int) { return _putenv_s(name, value); }
inline int setenv(const char* name, const wchar_t* value, int) {
    return _wputenv_s(std::wstring(name, name + std::strlen(name)).c_str(), value);
}
inline int unsetenv(const char* name) { return _putenv_s(name, ""); }
#endif
