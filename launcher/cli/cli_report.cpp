#include "cli_report.h"

#include <cstdio>

namespace ardmon::cli {
namespace {

constexpr char kHidden[] = "***";

// The length of the UTF-8 character at text[at], or 0 when none starts there.
size_t Utf8Length(std::string_view text, size_t at)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    const size_t length = lead < 0x80                    ? 1
                          : lead >= 0xC2 && lead <= 0xDF ? 2
                          : lead >= 0xE0 && lead <= 0xEF ? 3
                          : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                         : 0;
    if (length == 0 || at + length > text.size()) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
    }
    const unsigned char second = length > 1 ? byte(at + 1) : 0;
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F)) {
        return 0;  // overlong, a surrogate, or beyond U+10FFFF
    }
    return length;
}

std::string Escaped(unsigned code)
{
    char text[8];
    std::snprintf(text, sizeof text, "\\u%04x", code);
    return text;
}

std::string Shown(const Report& report, const std::string& key, const std::string& value)
{
    return !report.show_secrets && IsSecretKey(key) ? kHidden : value;
}

template <class Item, class Write>
void JsonArray(std::ostream& out, const std::vector<Item>& items, Write write)
{
    out << '[';
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) out << ',';
        write(items[i]);
    }
    out << ']';
}

void JsonStrings(std::ostream& out, const std::vector<std::string>& items)
{
    JsonArray(out, items, [&](const std::string& item) { out << JsonString(item); });
}

void JsonPreview(std::ostream& out, const Report& report)
{
    JsonArray(out, *report.preview, [&](const SectionPreview& section) {
        out << "{\"section\":" << JsonString(section.name) << ",\"added\":";
        JsonArray(out, section.added, [&](const KeyChange& key) {
            out << "{\"key\":" << JsonString(key.key)
                << ",\"value\":" << JsonString(Shown(report, key.key, key.new_value)) << '}';
        });
        out << ",\"changed\":";
        JsonArray(out, section.changed, [&](const KeyChange& key) {
            out << "{\"key\":" << JsonString(key.key)
                << ",\"old\":" << JsonString(Shown(report, key.key, key.old_value))
                << ",\"new\":" << JsonString(Shown(report, key.key, key.new_value)) << '}';
        });
        out << ",\"unchanged\":" << section.unchanged << '}';
    });
}

void TextPreview(std::ostream& out, const Report& report)
{
    size_t added = 0;
    size_t changed = 0;
    size_t unchanged = 0;
    for (const SectionPreview& section : *report.preview) {
        out << '[' << section.name << "]\n";
        for (const KeyChange& key : section.added) {
            out << "  add     " << key.key << '=' << Shown(report, key.key, key.new_value) << '\n';
        }
        for (const KeyChange& key : section.changed) {
            out << "  change  " << key.key << '=' << Shown(report, key.key, key.old_value) << " -> "
                << Shown(report, key.key, key.new_value) << '\n';
        }
        out << "  unchanged " << section.unchanged << '\n';
        added += section.added.size();
        changed += section.changed.size();
        unchanged += static_cast<size_t>(section.unchanged);
    }
    out << *report.profile << " would add " << added << ", change " << changed << " and leave " << unchanged
        << " unchanged\n";
}

}  // namespace

const char* ResultName(int exit_code)
{
    switch (exit_code) {
        case kExitDone:
            return "done";
        case kExitUsage:
            return "usage";
        case kExitMissing:
            return "missing";
        case kExitNotLoaded:
            return "not-loaded";
        case kExitBusy:
            return "busy";
        case kExitNotAsGiven:
            return "loaded-not-as-given";
        default:
            return "";
    }
}

std::string JsonString(std::string_view text)
{
    std::string json = "\"";
    for (size_t at = 0; at < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[at]);
        const size_t length = Utf8Length(text, at);
        if (c == '"' || c == '\\') {
            json += '\\';
            json += static_cast<char>(c);
        } else if (c < 0x20 || length == 0) {
            json += Escaped(c);  // a control character, or a byte that is no UTF-8
        } else {
            json.append(text, at, length);
            at += length;
            continue;
        }
        ++at;
    }
    return json + '"';
}

void WriteText(std::ostream& out, const Report& report)
{
    if (report.profiles) {
        for (const std::string& profile : *report.profiles)
            out << profile << '\n';
    }
    if (report.preview) {
        TextPreview(out, report);
        return;
    }
    if (report.current_environment) out << "Current Environment: " << *report.current_environment << '\n';
    if (report.time) out << "Time: " << *report.time << '\n';
}

void WriteJson(std::ostream& out, const Report& report)
{
    out << "{\"command\":" << JsonString(report.command) << ",\"dir\":" << JsonString(report.dir);
    if (report.profile) out << ",\"profile\":" << JsonString(*report.profile);
    if (report.command == "load") out << ",\"dry_run\":" << (report.dry_run ? "true" : "false");
    out << ",\"exit_code\":" << report.exit_code << ",\"result\":" << JsonString(ResultName(report.exit_code))
        << ",\"messages\":";
    JsonStrings(out, report.messages);
    if (report.profiles) {
        out << ",\"profiles\":";
        JsonStrings(out, *report.profiles);
    }
    if (report.current_environment) {
        out << ",\"current_environment\":" << JsonString(*report.current_environment);
    }
    if (report.command == "status") {
        out << ",\"last_loaded_file\":"
            << (report.last_loaded_file ? JsonString(*report.last_loaded_file) : "null")
            << ",\"time\":" << (report.time ? JsonString(*report.time) : "null");
    }
    if (report.preview) {
        out << ",\"sections\":";
        JsonPreview(out, report);
    }
    out << "}\n";
}

}  // namespace ardmon::cli
