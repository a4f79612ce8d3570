// The launcher's two dialog templates.
#include <array>

#include "dialog_template.h"
#include "resource.h"

namespace ardmon {

namespace {

using K = ControlKind;

constexpr std::array kArdmonDialog{
    // id, kind, text, x, y, cx, cy (dialog units), styles
    ControlTemplate{IDC_LOAD, K::PushButton, "&Load", 165, 23, 50, 16, CS_DEFAULT | CS_TABSTOP},
    ControlTemplate{IDC_CANCEL, K::PushButton, "Cancel", 196, 0, 6, 6, CS_HIDDEN | CS_TABSTOP},
    ControlTemplate{IDC_VIEW_CLIENT, K::PushButton, "&View", 163, 66, 50, 14, CS_TABSTOP},
    ControlTemplate{IDC_PROFILES, K::ComboBox, "", 13, 26, 137, 86, CS_SORT | CS_VSCROLL | CS_TABSTOP},
    ControlTemplate{IDC_STATIC, K::StaticText, "Load from", 15, 14, 33, 8, CS_NONE},
    ControlTemplate{IDC_CURRENT_ENV, K::Edit, "", 11, 65, 133, 14,
                    CS_READONLY | CS_AUTOHSCROLL | CS_BORDER | CS_TABSTOP},
    ControlTemplate{IDC_STATIC, K::StaticText, "Current Environment", 13, 53, 107, 8, CS_NONE},
    ControlTemplate{IDC_VIEW_PROFILE, K::PushButton, "V&iew", 221, 23, 44, 16, CS_TABSTOP},
    ControlTemplate{IDC_START_TRADER, K::PushButton, "&Start Trader", 80, 91, 46, 21,
                    CS_FLAT | CS_ICON | CS_TABSTOP},
    ControlTemplate{IDC_STATIC, K::GroupBox, "Workstation", 3, 0, 271, 118, CS_NONE},
    ControlTemplate{IDC_STATIC, K::GroupBox, "", 9, 9, 259, 41, CS_NONE},
    ControlTemplate{IDC_LAUNCH, K::PushButton, "&Launch Halvo Trader", 126, 91, 74, 21, CS_FLAT | CS_TABSTOP},
};

constexpr std::array kIniView{
    // id, kind, text, x, y, cx, cy (dialog units), styles
    ControlTemplate{IDC_GET_KEYS, K::PushButton, "&Get Keys", 51, 242, 45, 14, CS_DEFAULT | CS_TABSTOP},
    ControlTemplate{IDC_CANCEL, K::PushButton, "Cancel", 444, 4, 7, 6, CS_HIDDEN | CS_TABSTOP},
    ControlTemplate{IDC_SECTIONS, K::ListBox, "", 6, 25, 143, 214,
                    CS_NOTIFY | CS_NOINTEGRALHEIGHT | CS_VSCROLL | CS_HSCROLL | CS_BORDER | CS_TABSTOP},
    ControlTemplate{IDC_KEYS, K::ListView, "", 154, 24, 295, 232,
                    CS_REPORT | CS_ALIGNLEFT | CS_BORDER | CS_TABSTOP},
    ControlTemplate{IDC_STATIC, K::GroupBox, "", 1, 17, 451, 246, CS_NONE},
    ControlTemplate{IDC_FILE_NAME, K::Edit, "", 12, 3, 119, 14,
                    CS_READONLY | CS_AUTOHSCROLL | CS_BORDER | CS_TABSTOP},
};

constexpr DialogTemplate kTemplates[] = {
    {IDD_ARDMON_DIALOG, "Halvo Launcher", 278, 121, DS_NONE, kArdmonDialog},
    {IDD_INIVIEW, "View Environment", 456, 272, DS_RESIZABLE, kIniView},
};

}  // namespace

const DialogTemplate* FindDialogTemplate(int id)
{
    for (const DialogTemplate& tmpl : kTemplates) {
        if (tmpl.id == id) {
            return &tmpl;
        }
    }
    return nullptr;
}

}  // namespace ardmon
