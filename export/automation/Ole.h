// OleInitialize / OleUninitialize, counted per thread. Objects can be created
// through COleDispatchDriver::CreateDispatch only on a thread that has
// initialised OLE and not yet uninitialised it as often.
#pragma once

#include "automation/Types.h"

#include <chrono>

namespace ledgra {

// S_OK on the thread's first call, S_FALSE when OLE is already initialised on
// it; E_INVALIDARG unless reserved is null.
HRESULT OleInitialize(void* reserved);
// Undoes one successful OleInitialize; without one it does nothing.
void OleUninitialize() noexcept;
bool OleIsInitialized() noexcept;

// Waits out the pause before a request goes again to a busy application. On
// Windows the calling thread's messages are handled meanwhile, so the host's
// windows keep answering (as a message filter would have them).
void WaitBeforeRetry(std::chrono::milliseconds pause);

}  // namespace ledgra
