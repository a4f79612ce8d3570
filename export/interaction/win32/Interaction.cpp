#include <ledgra/LedgraInteraction.h>

#include "interaction/win32/Win32Interaction.h"

namespace ledgra {

namespace {
Interaction* g_installed = nullptr;
}  // namespace

Interaction::~Interaction() = default;

void SetInteraction(Interaction* interaction) { g_installed = interaction; }

Interaction& CurrentInteraction() {
    if (g_installed != nullptr) return *g_installed;
    static win32::Win32Interaction systemInteraction;
    return systemInteraction;
}

}  // namespace ledgra
