// File names and profile texts are bytes; the windows show them as UTF-8 and
// fall back to Latin-1 for bytes that are not valid UTF-8, so every name can
// be shown.
#pragma once

#include <string>
#include <string_view>

#include <wx/string.h>

namespace ardmon {

inline wxString ToWx(std::string_view bytes)
{
    if (bytes.empty()) {
        return {};
    }
    wxString s = wxString::FromUTF8(bytes.data(), bytes.size());
    if (s.empty()) {
        s = wxString::From8BitData(bytes.data(), bytes.size());
    }
    return s;
}

inline std::string ToBytes(const wxString& text)
{
    const wxScopedCharBuffer utf8 = text.utf8_str();
    return std::string(utf8.data(), utf8.length());
}

}  // namespace ardmon
