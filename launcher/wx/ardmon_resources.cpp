#include "ardmon_resources.h"

#include "ardmon_icon_138.xpm"
#include "ardmon_icon_139.xpm"

namespace ardmon {

wxIcon LoadArdmonIcon(int id)
{
    switch (id) {
        case IDR_MAINFRAME:
            return wxIcon(ardmon_icon_138);
        case IDI_START_TRADER:
            return wxIcon(ardmon_icon_139);
        default:
            return wxIcon();
    }
}

}  // namespace ardmon
