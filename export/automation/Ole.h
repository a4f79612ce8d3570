// OleInitialize / OleUninitialize, counted per thread. Objects can be created
// through COleDispatchDriver::CreateDispatch only on a thread that has
// initialised OLE and not yet uninitialised it as often.
#pragma once

#include "automation/Types.h"

namespace ledgra {

// S_OK on the thread's first call, S_FALSE when OLE is already initialised on
// it; E_INVALIDARG unless reserved is null.
HRESULT OleInitialize(void* reserved);
// Undoes one successful OleInitialize; without one it does nothing.
void OleUninitialize() noexcept;
bool OleIsInitialized() noexcept;

}  // namespace ledgra
