// The profile functions wrapped so that tests can compare whole results.
#pragma once

#include <string>
#include <vector>

#include "private_profile.h"

namespace ardmon::test {

// The list a section or names read leaves in the buffer, up to its count.
inline std::string Names(const std::string& file, DWORD size = 5000)
{
    std::vector<char> buf(size);
    DWORD n = GetPrivateProfileSectionNamesA(buf.data(), size, file.c_str());
    return std::string(buf.data(), n);
}

inline std::string Section(const std::string& file, const char* section, DWORD size = 16000)
{
    std::vector<char> buf(size);
    DWORD n = GetPrivateProfileSectionA(section, buf.data(), size, file.c_str());
    return std::string(buf.data(), n);
}

inline std::string Get(const std::string& file, const char* section, const char* key,
                       const char* fallback = "<none>")
{
    char buf[100];
    DWORD n = GetPrivateProfileStringA(section, key, fallback, buf, sizeof buf, file.c_str());
    return std::string(buf, n);
}

inline bool Put(const std::string& file, const char* section, const char* key, const char* value)
{
    return WritePrivateProfileStringA(section, key, value, file.c_str()) != 0;
}

}  // namespace ardmon::test
