#include "interaction/DialogLogic.h"

#include <wx/defs.h>
#include <wx/toplevel.h>

#include <algorithm>
#include <vector>

namespace ledgra {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> Split(std::string_view s, char sep) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = s.find(sep, start);
        if (at == std::string_view::npos) {
            parts.push_back(s.substr(start));
            return parts;
        }
        parts.push_back(s.substr(start, at - start));
        start = at + 1;
    }
}

std::string_view BaseName(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

constexpr unsigned kButtonMask = 0xF;
constexpr unsigned kIconMask = 0xF0;
constexpr unsigned kDefButtonMask = 0xF00;
constexpr unsigned kOkCancel = 0x1;
constexpr unsigned kYesNoCancel = 0x3;
constexpr unsigned kIconError = 0x10;
constexpr unsigned kIconExclamation = 0x30;
constexpr unsigned kIconInformation = 0x40;

}  // namespace

std::string MfcFilterToWildcard(std::string_view filter) {
    // An MFC filter ends with "||"; everything after the first empty field is ignored.
    const std::size_t end = filter.find("||");
    if (end != std::string_view::npos) filter = filter.substr(0, end);
    const std::vector<std::string_view> fields = Split(filter, '|');
    std::string out;
    for (std::size_t i = 0; i + 1 < fields.size(); i += 2) {
        std::vector<std::string> patterns;
        for (std::string_view p : Split(fields[i + 1], ';')) {
            p = Trim(p);
            if (p.empty()) continue;
            std::string pattern(p == "*.*" ? std::string_view("*") : p);
            if (std::find(patterns.begin(), patterns.end(), pattern) == patterns.end())
                patterns.push_back(std::move(pattern));
        }
        if (patterns.empty()) continue;
        if (!out.empty()) out += '|';
        out += fields[i];
        out += '|';
        for (std::size_t k = 0; k < patterns.size(); ++k) {
            if (k != 0) out += ';';
            out += patterns[k];
        }
    }
    return out;
}

bool HasExtension(std::string_view path) {
    const std::string_view name = BaseName(path);
    const std::size_t dot = name.rfind('.');
    return dot != std::string_view::npos && dot != 0;
}

std::string WithDefaultExtension(std::string path, std::string_view defaultExt) {
    while (!defaultExt.empty() && defaultExt.front() == '.') defaultExt.remove_prefix(1);
    if (defaultExt.empty() || BaseName(path).empty() || HasExtension(path)) return path;
    path += '.';
    path += defaultExt;
    return path;
}

std::string FilterExtension(std::string_view filter, int index) {
    const std::size_t end = filter.find("||");
    if (end != std::string_view::npos) filter = filter.substr(0, end);
    const std::vector<std::string_view> fields = Split(filter, '|');
    const std::size_t at = 2 * static_cast<std::size_t>(index < 0 ? 0 : index) + 1;
    if (at >= fields.size()) return {};
    const std::string_view first = Trim(Split(fields[at], ';').front());
    if (first.substr(0, 2) != "*.") return {};
    const std::string_view ext = first.substr(2);
    if (ext.empty() || ext.find_first_of("*?") != std::string_view::npos) return {};
    return std::string(ext);
}

int RunSaveDialog(const SaveDialogRequest& request, const std::string& folder,
                  const SaveDialogWindows& windows, std::string& pathOut) {
    std::string where = folder;
    std::string name = request.initialName;
    for (;;) {
        std::string chosen;
        if (!windows.choose(where, name, chosen)) return IDCANCEL;
        const std::string defaultExt =
            !request.defaultExt.empty()
                ? request.defaultExt
                : FilterExtension(request.filter, windows.filterIndex ? windows.filterIndex() : 0);
        std::string path = WithDefaultExtension(std::move(chosen), defaultExt);
        if ((request.flags & OFN_OVERWRITEPROMPT) != 0 && windows.exists(path) &&
            !windows.confirmReplace(path)) {
            // Back to the chooser, where the user left it.
            const std::size_t slash = path.rfind('/');
            if (slash != std::string::npos) {
                where = path.substr(0, slash == 0 ? 1 : slash);
                name = path.substr(slash + 1);
            } else {
                name = path;
            }
            continue;
        }
        pathOut = std::move(path);
        return IDOK;
    }
}

std::string ReplaceQuestion(const std::string& path) {
    std::string text(BaseName(path));
    text += " already exists.\nDo you want to replace it?";
    return text;
}

long MessageBoxStyle(unsigned type, bool afxDefaultIcon) {
    long style = 0;
    const unsigned buttons = type & kButtonMask;
    const bool second = (type & kDefButtonMask) == MB_DEFBUTTON2;
    bool yesNo = false;
    switch (buttons) {
        case MB_YESNO:
            style = wxYES_NO | (second ? wxNO_DEFAULT : wxYES_DEFAULT);
            yesNo = true;
            break;
        case kYesNoCancel:
            style = wxYES_NO | wxCANCEL | (second ? wxNO_DEFAULT : wxYES_DEFAULT);
            yesNo = true;
            break;
        case kOkCancel:
            style = wxOK | wxCANCEL | (second ? wxCANCEL_DEFAULT : wxOK_DEFAULT);
            break;
        default:
            style = wxOK;
            break;
    }
    switch (type & kIconMask) {
        case kIconError:
            style |= wxICON_ERROR;
            break;
        case MB_ICONQUESTION:
            style |= wxICON_QUESTION;
            break;
        case kIconExclamation:
            style |= wxICON_WARNING;
            break;
        case kIconInformation:
            style |= wxICON_INFORMATION;
            break;
        default:
            if (afxDefaultIcon)
                style |= yesNo ? wxICON_QUESTION : wxICON_WARNING;
            else
                style |= wxICON_NONE;
            break;
    }
    if ((type & MB_SETFOREGROUND) != 0) style |= wxSTAY_ON_TOP;
    return style;
}

int WindowsResult(int wxId) {
    switch (wxId) {
        case wxID_OK:
            return IDOK;
        case wxID_YES:
            return IDYES;
        case wxID_NO:
            return IDNO;
        default:
            return IDCANCEL;
    }
}

}  // namespace ledgra
