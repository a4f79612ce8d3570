// Dialog templates as tables: each control with its id, kind, text,
// rectangle in dialog units and styles, in template (tab) order, and a small
// builder that makes the wx window from a table.
#pragma once

#include <cstdint>
#include <span>

#include "resource.h"

class wxDialog;
class wxWindow;

namespace ardmon {

enum class ControlKind {
    PushButton,
    GroupBox,
    StaticText,
    Edit,
    ComboBox,  // drop-down: an edit field with a list
    ListBox,
    ListView,  // report view with column headers
};

// Control styles that matter on this host.
enum ControlStyle : std::uint32_t {
    CS_NONE = 0,
    CS_DEFAULT = 1u << 0,  // the default push button: Enter presses it
    CS_HIDDEN = 1u << 1,   // created invisible
    CS_FLAT = 1u << 2,     // button without a raised border
    CS_ICON = 1u << 3,     // button that shows an image instead of its text
    CS_READONLY = 1u << 4,
    CS_AUTOHSCROLL = 1u << 5,
    CS_BORDER = 1u << 6,
    CS_SORT = 1u << 7,  // list that keeps its items sorted
    CS_VSCROLL = 1u << 8,
    CS_HSCROLL = 1u << 9,
    CS_NOTIFY = 1u << 10,  // list box reporting double-clicks
    CS_NOINTEGRALHEIGHT = 1u << 11,
    CS_TABSTOP = 1u << 12,
    CS_REPORT = 1u << 13,
    CS_ALIGNLEFT = 1u << 14,
};

constexpr std::uint32_t operator|(ControlStyle a, ControlStyle b)
{
    return static_cast<std::uint32_t>(a) | static_cast<std::uint32_t>(b);
}
constexpr std::uint32_t operator|(std::uint32_t a, ControlStyle b)
{
    return a | static_cast<std::uint32_t>(b);
}

struct ControlTemplate {
    int id;
    ControlKind kind;
    const char* text;
    int x, y, cx, cy;  // dialog units
    std::uint32_t style;
};

enum DialogStyle : std::uint32_t {
    DS_NONE = 0,
    DS_RESIZABLE = 1u << 0,  // sizing frame
};

struct DialogTemplate {
    int id;
    const char* caption;
    int cx, cy;  // client size in dialog units
    std::uint32_t style;
    std::span<const ControlTemplate> controls;
};

// The template with the given id (IDD_ARDMON_DIALOG or IDD_INIVIEW of
// resource.h), or null.
const DialogTemplate* FindDialogTemplate(int id);

// Creates dlg's window (still hidden) from the template with the given id,
// with its caption and client size and all its controls; false for an
// unknown id. Dialog units become pixels by the toolkit's
// dialog-unit rule for the dialog's font, corner by corner as a Windows
// template's rectangle does. A drop-down combo box gets its natural height:
// a template's height for it is that of the open list.
bool CreateFromTemplate(wxDialog& dlg, wxWindow* parent, int template_id);

}  // namespace ardmon
