#include <ledgra/LedgraInteraction.h>

#include "interaction/WxInteraction.h"

namespace ledgra {

namespace {
Interaction* g_installed = nullptr;
}  // namespace

Interaction::~Interaction() = default;

void SetInteraction(Interaction* interaction) { g_installed = interaction; }

Interaction& CurrentInteraction() {
    if (g_installed != nullptr) return *g_installed;
    static WxInteraction wxInteraction;
    return wxInteraction;
}

}  // namespace ledgra
