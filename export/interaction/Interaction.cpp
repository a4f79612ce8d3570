#include <ledgra/LedgraInteraction.h>

// The system's own dialogs: GTK's through wxWidgets, or Windows' own.
#ifdef _WIN32
#include "interaction/win32/Win32Interaction.h"
using SystemInteraction = ledgra::win32::Win32Interaction;
#else
#include "interaction/posix/WxInteraction.h"
using SystemInteraction = ledgra::WxInteraction;
#endif

namespace ledgra {

namespace {
Interaction* g_installed = nullptr;
}  // namespace

Interaction::~Interaction() = default;

void SetInteraction(Interaction* interaction) { g_installed = interaction; }

Interaction& CurrentInteraction() {
    if (g_installed != nullptr) return *g_installed;
    static SystemInteraction systemInteraction;
    return systemInteraction;
}

}  // namespace ledgra
