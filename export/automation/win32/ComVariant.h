// Ledgra's automation values to and from the system's VARIANTs, for the COM
// transport (client side, automation/win32) and the stand-in's COM server.
// Texts cross in the given code page: the caller's ANSI code page on the
// client side, UTF-8 inside the stand-in. Interfaces cross through the two
// hooks, since each side wraps the other's objects in its own adapters.
#pragma once

#include "automation/Dispatch.h"
#include "automation/Variant.h"

#include <string>

#include <windows.h>

#include <oaidl.h>

namespace ledgra::win32 {

struct VariantBridge {
    unsigned codePage;
    // A new reference of an interface of this side, for a system VARIANT (null: refuse).
    ::IDispatch* (*Export)(ledgra::IDispatch* dispatch);
    // A new reference of a Ledgra object for an interface of the other side (null: refuse).
    ledgra::IDispatch* (*Import)(::IDispatch* dispatch);
};

std::wstring Widen(const std::string& text, unsigned codePage);
std::string Narrow(const wchar_t* text, std::size_t length, unsigned codePage);
std::string Narrow(BSTR text, unsigned codePage);

// Fills out (initialised, empty) from value; S_OK or a failure status.
HRESULT ToVariant(const ledgra::Variant& value, ::VARIANT& out, const VariantBridge& bridge);
// Fills out from value (by-reference values are read through); S_OK or a
// failure status. A block goes into out's own array when that has its shape.
HRESULT FromVariant(const ::VARIANT& value, ledgra::Variant& out, const VariantBridge& bridge);

// A block (VT_ARRAY | VT_VARIANT) this side sent is its own again once the
// request returns. KeepSentArray takes it out of sent (left VT_EMPTY) and
// keeps it for this thread, unless the one kept is larger: ToVariant fills the
// next block of the same shape into it, writing texts into the earlier texts'
// storage, which spares the system one array and one string allocation per
// text for each block. DropSentArray frees the kept block.
void KeepSentArray(::VARIANT& sent);
void DropSentArray();

}  // namespace ledgra::win32
