#include "automation/win32/ComVariant.h"

#include <windows.h>

#include <oleauto.h>

namespace ledgra::win32 {

namespace {

bool Ascii(const char* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (static_cast<unsigned char>(p[i]) >= 0x80) return false;
    return true;
}

bool Ascii(const wchar_t* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (p[i] >= 0x80) return false;
    return true;
}

// text as a new BSTR; ASCII (the common cell) without the code page tables.
BSTR NewBstr(const std::string& text, unsigned codePage) {
    const auto n = static_cast<UINT>(text.size());
    if (Ascii(text.data(), text.size())) {
        BSTR out = SysAllocStringLen(nullptr, n);
        if (out)
            for (UINT i = 0; i < n; ++i) out[i] = static_cast<unsigned char>(text[i]);
        return out;
    }
    const int wide = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(n), nullptr, 0);
    BSTR out = SysAllocStringLen(nullptr, static_cast<UINT>(wide));
    if (out) MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(n), out, wide);
    return out;
}

}  // namespace

std::wstring Widen(const std::string& text, unsigned codePage) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string Narrow(const wchar_t* text, std::size_t length, unsigned codePage) {
    if (text == nullptr || length == 0) return {};
    if (Ascii(text, length)) return std::string(text, text + length);
    const int n =
        WideCharToMultiByte(codePage, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, text, static_cast<int>(length), narrow.data(), n, nullptr, nullptr);
    return narrow;
}

std::string Narrow(BSTR text, unsigned codePage) { return Narrow(text, SysStringLen(text), codePage); }

namespace {

// The elements of a SAFEARRAY lie with the first index varying fastest:
// element (row, column) of a rows x columns array is at row + column * rows.
HRESULT ArrayToVariant(const SafeArray& array, ::VARIANT& out, const VariantBridge& bridge) {
    SAFEARRAYBOUND bounds[2] = {{array.Rows(), 0}, {array.Columns(), 0}};
    ::SAFEARRAY* sa = SafeArrayCreate(::VT_VARIANT, 2, bounds);
    if (sa == nullptr) return E_OUTOFMEMORY;
    ::VARIANT* data = nullptr;
    HRESULT hr = SafeArrayAccessData(sa, reinterpret_cast<void**>(&data));
    const std::size_t rows = array.Rows();
    for (std::uint32_t row = 0; SUCCEEDED(hr) && row < array.Rows(); ++row)
        for (std::uint32_t column = 0; SUCCEEDED(hr) && column < array.Columns(); ++column)
            hr = ToVariant(array.At(row, column), data[row + column * rows], bridge);
    if (data) SafeArrayUnaccessData(sa);
    if (FAILED(hr)) {
        SafeArrayDestroy(sa);
        return hr;
    }
    out.vt = ::VT_ARRAY | ::VT_VARIANT;
    out.parray = sa;
    return S_OK;
}

HRESULT ArrayFromVariant(::SAFEARRAY* sa, ledgra::Variant& out, const VariantBridge& bridge) {
    if (sa == nullptr || SafeArrayGetDim(sa) != 2 || SafeArrayGetElemsize(sa) != sizeof(::VARIANT))
        return DISP_E_TYPEMISMATCH;
    LONG low[2], high[2];
    for (UINT d = 0; d < 2; ++d) {
        SafeArrayGetLBound(sa, d + 1, &low[d]);
        SafeArrayGetUBound(sa, d + 1, &high[d]);
    }
    SafeArray array(static_cast<std::uint32_t>(high[0] - low[0] + 1),
                    static_cast<std::uint32_t>(high[1] - low[1] + 1));
    ::VARIANT* data = nullptr;
    HRESULT hr = SafeArrayAccessData(sa, reinterpret_cast<void**>(&data));
    const std::size_t rows = array.Rows();
    for (std::uint32_t row = 0; SUCCEEDED(hr) && row < array.Rows(); ++row)
        for (std::uint32_t column = 0; SUCCEEDED(hr) && column < array.Columns(); ++column)
            hr = FromVariant(data[row + column * rows], array.At(row, column), bridge);
    if (data) SafeArrayUnaccessData(sa);
    if (SUCCEEDED(hr)) out.SetArray(std::move(array));
    return hr;
}

}  // namespace

HRESULT ToVariant(const ledgra::Variant& value, ::VARIANT& out, const VariantBridge& bridge) {
    switch (value.vt()) {
        case ledgra::VT_EMPTY:
            out.vt = ::VT_EMPTY;
            return S_OK;
        case ledgra::VT_I2:
            out.vt = ::VT_I2;
            out.iVal = value.iVal();
            return S_OK;
        case ledgra::VT_I4:
            out.vt = ::VT_I4;
            out.lVal = value.lVal();
            return S_OK;
        case ledgra::VT_INT:
            out.vt = ::VT_INT;
            out.intVal = value.intVal();
            return S_OK;
        case ledgra::VT_R8:
            out.vt = ::VT_R8;
            out.dblVal = value.dblVal();
            return S_OK;
        case ledgra::VT_BOOL:
            out.vt = ::VT_BOOL;
            out.boolVal = value.boolVal();
            return S_OK;
        case ledgra::VT_ERROR:
            out.vt = ::VT_ERROR;
            out.scode = value.scode();
            return S_OK;
        case ledgra::VT_BSTR: {
            out.bstrVal = NewBstr(value.bstrVal(), bridge.codePage);
            if (out.bstrVal == nullptr) return E_OUTOFMEMORY;
            out.vt = ::VT_BSTR;
            return S_OK;
        }
        case ledgra::VT_DISPATCH:
            out.pdispVal = value.pdispVal() ? bridge.Export(value.pdispVal()) : nullptr;
            if (value.pdispVal() && !out.pdispVal) return DISP_E_TYPEMISMATCH;
            out.vt = ::VT_DISPATCH;
            return S_OK;
        case ledgra::VT_ARRAY | ledgra::VT_VARIANT:
            return ArrayToVariant(*value.parray(), out, bridge);
        default:
            return DISP_E_BADVARTYPE;
    }
}

HRESULT FromVariant(const ::VARIANT& value, ledgra::Variant& out, const VariantBridge& bridge) {
    out.Clear();
    if (value.vt == (::VT_BYREF | ::VT_VARIANT))
        return value.pvarVal ? FromVariant(*value.pvarVal, out, bridge) : E_POINTER;
    switch (value.vt) {
        case ::VT_EMPTY:
        case ::VT_NULL:
            return S_OK;
        case ::VT_I2:
            out.SetI2(value.iVal);
            return S_OK;
        case ::VT_I4:
            out.SetI4(value.lVal);
            return S_OK;
        case ::VT_INT:
            out.SetInt(value.intVal);
            return S_OK;
        case ::VT_R8:
            out.SetR8(value.dblVal);
            return S_OK;
        case ::VT_BOOL:
            out.SetBool(value.boolVal != VARIANT_FALSE);
            return S_OK;
        case ::VT_ERROR:
            out.SetError(value.scode);
            return S_OK;
        case ::VT_BSTR:
            out.SetString(Narrow(value.bstrVal, bridge.codePage));
            return S_OK;
        case ::VT_DISPATCH:
            if (value.pdispVal == nullptr) {
                out.AttachDispatch(nullptr);
                return S_OK;
            }
            if (ledgra::IDispatch* imported = bridge.Import(value.pdispVal)) {
                out.AttachDispatch(imported);
                return S_OK;
            }
            return DISP_E_TYPEMISMATCH;
        case ::VT_ARRAY | ::VT_VARIANT:
            return ArrayFromVariant(value.parray, out, bridge);
        default: {  // anything else as the nearest type Ledgra knows
            ::VARIANT copy;
            VariantInit(&copy);
            HRESULT hr = VariantChangeType(&copy, const_cast<::VARIANT*>(&value), 0, ::VT_R8);
            if (FAILED(hr)) hr = VariantChangeType(&copy, const_cast<::VARIANT*>(&value), 0, ::VT_BSTR);
            if (SUCCEEDED(hr)) hr = FromVariant(copy, out, bridge);
            VariantClear(&copy);
            return hr;
        }
    }
}

}  // namespace ledgra::win32
