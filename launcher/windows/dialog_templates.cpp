// The launcher's two dialog templates.
#include <array>

#include "dialog_template.h"

namespace ardmon {

namespace {

using K = ControlKind;

constexpr std::array kArdmonDialog{
    //              id           kind            text                    x    y    cx   cy  styles
    ControlTemplate{1, K::PushButton, "&Load", 165, 23, 50, 16, CS_DEFAULT | CS_TABSTOP},
    ControlTemplate{2, K::PushButton, "Cancel", 196, 0, 6, 6, CS_HIDDEN | CS_TABSTOP},
    ControlTemplate{1002, K::PushButton, "&View", 163, 66, 50, 14, CS_TABSTOP},
    ControlTemplate{1000, K::ComboBox, "", 13, 26, 137, 86, CS_SORT | CS_VSCROLL | CS_TABSTOP},
    ControlTemplate{IDC_STATIC, K::StaticText, "Load from", 15, 14, 33, 8, CS_NONE},
    ControlTemplate{1005, K::Edit, "", 11, 65, 133, 14,
                    CS_READONLY | CS_AUTOHSCROLL | CS_BORDER | CS_TABSTOP},
    ControlTemplate{IDC_STATIC, K::StaticText, "Current Environment", 13, 53, 107, 8, CS_NONE},
    ControlTemplate{1006, K::PushButton, "V&iew", 221, 23, 44, 16, CS_TABSTOP},
    ControlTemplate{1007, K::PushButton, "&Start Trader", 80, 91, 46, 21, CS_FLAT | CS_ICON | CS_TABSTOP},
    ControlTemplate{IDC_STATIC, K::GroupBox, "Workstation", 3, 0, 271, 118, CS_NONE},
    ControlTemplate{IDC_STATIC, K::GroupBox, "", 9, 9, 259, 41, CS_NONE},
    ControlTemplate{1008, K::PushButton, "&Launch Halvo Trader", 126, 91, 74, 21, CS_FLAT | CS_TABSTOP},
};

constexpr std::array kIniView{
    //              id           kind            text         x    y    cx   cy   styles
    ControlTemplate{1, K::PushButton, "&Get Keys", 51, 242, 45, 14, CS_DEFAULT | CS_TABSTOP},
    ControlTemplate{2, K::PushButton, "Cancel", 444, 4, 7, 6, CS_HIDDEN | CS_TABSTOP},
    ControlTemplate{1003, K::ListBox, "", 6, 25, 143, 214,
                    CS_NOTIFY | CS_NOINTEGRALHEIGHT | CS_VSCROLL | CS_HSCROLL | CS_BORDER | CS_TABSTOP},
    ControlTemplate{1004, K::ListView, "", 154, 24, 295, 232,
                    CS_REPORT | CS_ALIGNLEFT | CS_BORDER | CS_TABSTOP},
    ControlTemplate{IDC_STATIC, K::GroupBox, "", 1, 17, 451, 246, CS_NONE},
    ControlTemplate{1005, K::Edit, "", 12, 3, 119, 14, CS_READONLY | CS_AUTOHSCROLL | CS_BORDER | CS_TABSTOP},
};

}  // namespace

const DialogTemplate IDD_ARDMON_DIALOG{102, "Halvo Launcher", 278, 121, DS_NONE, kArdmonDialog};
const DialogTemplate IDD_INIVIEW{130, "View Environment", 456, 272, DS_RESIZABLE, kIniView};

}  // namespace ardmon
