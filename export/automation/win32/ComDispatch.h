// The COM transport under COleDispatchDriver on Windows: a Ledgra dispatch
// object that forwards each request to a system IDispatch with
// IDispatch::Invoke, in real VARIANTs (blocks as two-dimensional SAFEARRAYs of
// VARIANT). DISP_E_EXCEPTION comes back with its EXCEPINFO as Ledgra's
// ExcepInfo, so the holder raises the dispatch error; any other failure comes
// back as it is. Texts cross in the process's ANSI code page.
#pragma once

#include "automation/Dispatch.h"

#include <string>

namespace ledgra::win32 {

// Creates the class registered under progId with CLSIDFromProgID and
// CoCreateInstance (CLSCTX_ALL) and wraps its IDispatch; null with status set
// when either fails.
IDispatch* CreateComDispatch(const std::string& progId, HRESULT& status);

}  // namespace ledgra::win32
