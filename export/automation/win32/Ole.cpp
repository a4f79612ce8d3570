// OleInitialize / OleUninitialize on Windows: the system's, counted per thread
// so that Ledgra knows whether objects can be created on it.
#include "automation/Ole.h"

#include <windows.h>

#include <ole2.h>

namespace ledgra {

namespace {
thread_local unsigned long t_oleInitCount = 0;
}

HRESULT OleInitialize(void* reserved) {
    if (reserved != nullptr) return E_INVALIDARG;
    const HRESULT hr = ::OleInitialize(nullptr);
    if (SUCCEEDED(hr)) ++t_oleInitCount;
    return hr;
}

void OleUninitialize() noexcept {
    if (t_oleInitCount == 0) return;
    --t_oleInitCount;
    ::OleUninitialize();
}

bool OleIsInitialized() noexcept { return t_oleInitCount > 0; }

}  // namespace ledgra
