// The launcher's icon resources, compiled into the program.
#pragma once

#include <wx/bitmap.h>
#include <wx/icon.h>

namespace ardmon {

constexpr int IDR_MAINFRAME = 138;     // the application icon
constexpr int IDI_START_TRADER = 139;  // the image of the start button

// The icon with the given resource id; an invalid icon for an unknown id.
wxIcon LoadArdmonIcon(int id);

}  // namespace ardmon
