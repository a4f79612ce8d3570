// File names and profile texts are bytes; the windows show them as UTF-8 and
// fall back to Latin-1 for bytes that are not valid UTF-8, so every name can
// be shown.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include <wx/clntdata.h>
#include <wx/ctrlsub.h>
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

// Text cut to a buffer's size may end inside a UTF-8 character. When the
// rest is valid UTF-8, the incomplete character becomes U+FFFD, so the text
// still shows as UTF-8 instead of turning wholly into Latin-1; any other
// text is given back as it is.
inline std::string MarkCutCharacter(std::string_view bytes)
{
    size_t lead = bytes.size();
    while (lead > 0 && bytes.size() - lead < 4 &&
           (static_cast<unsigned char>(bytes[lead - 1]) & 0xC0) == 0x80) {
        --lead;
    }
    if (lead == 0) {
        return std::string(bytes);
    }
    --lead;
    const unsigned char first = static_cast<unsigned char>(bytes[lead]);
    const size_t needed = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
    const std::string_view rest = bytes.substr(0, lead);
    const bool rest_is_utf8 = rest.empty() || !wxString::FromUTF8(rest.data(), rest.size()).empty();
    if (first < 0xC2 || first > 0xF4 || bytes.size() - lead >= needed || !rest_is_utf8) {
        return std::string(bytes);
    }
    return std::string(rest) + "\xEF\xBF\xBD";
}

inline std::string ToBytes(const wxString& text)
{
    const wxScopedCharBuffer utf8 = text.utf8_str();
    return std::string(utf8.data(), utf8.length());
}

// A list item's name as the disk or the file holds it: the list shows it
// converted, lookups need the very bytes.
class ItemBytes final : public wxClientData {
public:
    explicit ItemBytes(std::string bytes) : m_bytes(std::move(bytes)) {}
    const std::string& Bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

// Appends an item that shows bytes and keeps them.
inline void AppendItemBytes(wxItemContainer& list, std::string_view bytes)
{
    list.Append(ToWx(bytes), new ItemBytes(std::string(bytes)));
}

// The bytes of item index: those it was appended with, else its text.
inline std::string ItemText(const wxItemContainer& list, int index)
{
    if (auto* item = dynamic_cast<ItemBytes*>(list.GetClientObject(static_cast<unsigned>(index)))) {
        return item->Bytes();
    }
    return ToBytes(list.GetString(static_cast<unsigned>(index)));
}

}  // namespace ardmon
