// The interaction the library's exports use: the table the host installed with
// ledgra_set_interaction, or the system's own dialogs.
#pragma once

#include <ledgra/LedgraInteraction.h>

namespace ledgra {

Interaction& CurrentInteraction();

}  // namespace ledgra
