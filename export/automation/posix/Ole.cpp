#include "automation/Ole.h"

#include <thread>

namespace ledgra {

namespace {
thread_local unsigned long t_oleInitCount = 0;
}

HRESULT OleInitialize(void* reserved) {
    if (reserved != nullptr) return E_INVALIDARG;
    return t_oleInitCount++ == 0 ? S_OK : S_FALSE;
}

void OleUninitialize() noexcept {
    if (t_oleInitCount > 0) --t_oleInitCount;
}

bool OleIsInitialized() noexcept { return t_oleInitCount > 0; }

void WaitBeforeRetry(std::chrono::milliseconds pause) { std::this_thread::sleep_for(pause); }

}  // namespace ledgra
