// The launcher's icon resources, compiled into the program.
#pragma once

#include <wx/bitmap.h>
#include <wx/icon.h>

#include "resource.h"

namespace ardmon {

// The icon with the given resource id (IDR_MAINFRAME, IDI_START_TRADER); an invalid icon for an unknown id.
wxIcon LoadArdmonIcon(int id);

}  // namespace ardmon
