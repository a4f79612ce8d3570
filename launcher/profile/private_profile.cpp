#include "private_profile.h"

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "profile_cache.h"
#include "profile_edit.h"
#include "profile_lists.h"
#include "write_batch.h"

using namespace ardmon::profile;

namespace {

// Windows strips only spaces (not tabs) around the section and key it is given.
std::string_view StripSpaces(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

std::shared_ptr<const ProfileDocument> LoadForRead(LPCSTR file, FileState& state)
{
    std::string path(file);
    if (WriteBatch* batch = WriteBatch::For(path)) return batch->View(state);
    return SharedProfileCache().Load(path, state);
}

void ListSectionNames(const ProfileDocument& doc, ListWriter& list)
{
    // A header with an empty name ("[]") is not listed: its empty string would
    // end the list early for any caller that stops at two NULs.
    for (const ProfileSection& section : doc.sections()) {
        std::string_view name = doc.View(section.name);
        if (!name.empty()) list.Add(name);
    }
}

// Writes that would not read back as written are refused: a line break in any
// part would make new lines, a ']' would end the section name early, a '='
// would move the split between key and value, and a key starting with ';' or
// '[' would turn its line into a comment or a section header.
//
// A load writes every key of a profile, so each part is looked at once, byte
// by byte, against a table of the characters that matter in it.
enum : unsigned char { kBreaksAll = 1, kBreaksSection = 2, kBreaksKey = 4 };

constexpr std::array<unsigned char, 256> MakeStructureTable()
{
    std::array<unsigned char, 256> t{};
    t['\r'] = t['\n'] = kBreaksAll | kBreaksSection | kBreaksKey;
    t[']'] = kBreaksSection;
    t['='] = kBreaksKey;
    return t;
}
constexpr std::array<unsigned char, 256> kStructure = MakeStructureTable();

bool Holds(std::string_view s, unsigned char what)
{
    unsigned char seen = 0;
    for (char c : s)
        seen |= kStructure[static_cast<unsigned char>(c)];
    return (seen & what) != 0;
}

bool KeepsFileStructure(std::string_view section, std::string_view key, std::string_view value)
{
    if (Holds(section, kBreaksSection) || Holds(key, kBreaksKey) || Holds(value, kBreaksAll)) return false;
    std::string_view lead = key;
    while (!lead.empty() && (lead.front() == '\t' || lead.front() == '\v'))
        lead.remove_prefix(1);
    return lead.empty() || (lead.front() != ';' && lead.front() != '[');
}

}  // namespace

DWORD GetPrivateProfileSectionNamesA(LPSTR lpszReturnBuffer, DWORD nSize, LPCSTR lpFileName)
{
    if (lpszReturnBuffer == nullptr || nSize == 0) return 0;
    FileState state = FileState::kMissing;
    std::shared_ptr<const ProfileDocument> doc;
    if (lpFileName != nullptr) doc = LoadForRead(lpFileName, state);
    if (state != FileState::kPresent) {
        lpszReturnBuffer[0] = '\0';
        return 0;
    }
    ListWriter list(lpszReturnBuffer, nSize);
    ListSectionNames(*doc, list);
    return list.Finish();
}

DWORD GetPrivateProfileSectionA(LPCSTR lpAppName, LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName)
{
    if (lpReturnedString == nullptr || nSize == 0) return 0;
    ListWriter list(lpReturnedString, nSize);
    if (lpAppName != nullptr && lpFileName != nullptr) {
        FileState state;
        auto doc = LoadForRead(lpFileName, state);
        if (const ProfileSection* section = doc->FindSection(StripSpaces(lpAppName))) {
            WriteBatch::NoteSectionRead(doc, *section);
            doc->ForEachEntry(*section, [&](const ProfileEntry& entry) {
                if (!entry.IsBare()) {
                    list.Add(doc->View(entry.key()), "=", doc->View(entry.value()));
                } else if (entry.key().size() > 0) {
                    list.Add(doc->View(entry.key()));
                }
            });
        }
    }
    return list.Finish();
}

DWORD GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault, LPSTR lpReturnedString,
                               DWORD nSize, LPCSTR lpFileName)
{
    if (lpReturnedString == nullptr || nSize == 0) return 0;
    // Trailing spaces of the default are dropped, as Windows does.
    std::string_view fallback = lpDefault != nullptr ? lpDefault : "";
    while (!fallback.empty() && fallback.back() == ' ')
        fallback.remove_suffix(1);
    if (lpFileName == nullptr) return CopyCutString(fallback, lpReturnedString, nSize);

    FileState state;
    auto doc = LoadForRead(lpFileName, state);
    if (lpAppName == nullptr) {  // every section name
        ListWriter list(lpReturnedString, nSize);
        ListSectionNames(*doc, list);
        return list.Finish();
    }
    const ProfileSection* section = doc->FindSection(StripSpaces(lpAppName));
    if (lpKeyName == nullptr) {  // every key of the section
        ListWriter list(lpReturnedString, nSize);
        if (section != nullptr) {
            doc->ForEachEntry(*section, [&](const ProfileEntry& entry) {
                if (!entry.IsBare()) list.Add(doc->View(entry.key()));
            });
        }
        return list.Finish();
    }
    ProfileEntry entry;
    if (section == nullptr || !doc->FindKey(*section, StripSpaces(lpKeyName), entry)) {
        return CopyCutString(fallback, lpReturnedString, nSize);
    }
    // One outer pair of matching quotes is removed.
    std::string_view value = doc->View(entry.value());
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return CopyCutString(value, lpReturnedString, nSize);
}

BOOL WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString, LPCSTR lpFileName)
{
    // All arguments null asks Windows to flush its cache; every write here
    // has already reached the file (or its batch).
    if (lpAppName == nullptr && lpKeyName == nullptr && lpString == nullptr) return 1;
    if (lpFileName == nullptr || lpFileName[0] == '\0' || lpAppName == nullptr) return 0;
    // A null key or value would delete a section or a key; the launcher never
    // deletes anything, and this layer does not offer it.
    if (lpKeyName == nullptr || lpString == nullptr) return 0;
    std::string_view section = StripSpaces(lpAppName);
    std::string_view key = StripSpaces(lpKeyName);
    std::string_view value = lpString;  // written exactly as given
    // A write the file could not hold is refused: no larger file is read.
    if (section.size() + key.size() + value.size() > ProfileDocument::kMaxBytes) return 0;
    if (!KeepsFileStructure(section, key, value)) return 0;

    if (WriteBatch* batch = WriteBatch::For(lpFileName)) {
        batch->Put(section, key, value);
        return 1;
    }
    EditSet edits;
    edits.Put(section, key, value);
    return WriteProfileEdits(lpFileName, edits) ? 1 : 0;
}

std::vector<std::pair<std::string, std::string>> ardmon::profile::FindReadLosses(const char* path)
{
    std::vector<std::pair<std::string, std::string>> losses;
    FileState state;
    const auto doc = LoadForRead(path, state);
    for (const ProfileSection& section : doc->sections()) {
        const std::string name(doc->View(section.name));
        if (!doc->Reachable(section.name)) {
            losses.emplace_back(name, "");
            continue;
        }
        if (name.empty()) continue;  // never read
        // The keys of a second section of one name are never read; a NUL
        // byte ends a key or a value as the profile functions give it.
        const bool repeated = doc->FindSection(name) != &section;
        // Every key of any other section of an ANSI file without a NUL reads as it stands.
        if (!repeated && doc->encoding() == Encoding::kAnsi && !doc->holds_nul()) continue;
        const std::string given = name.substr(0, name.find('\0'));
        doc->ForEachEntry(section, [&](const ProfileEntry& entry) {
            if (entry.IsBare()) return;
            const std::string_view key = doc->View(entry.key());
            if (repeated || !doc->Reachable(entry.key()) || !doc->Reachable(entry.value()) ||
                doc->View(Span{entry.key_begin, entry.line_end}).find('\0') != std::string_view::npos) {
                losses.emplace_back(given, key.substr(0, key.find('\0')));
            }
        });
    }
    return losses;
}
