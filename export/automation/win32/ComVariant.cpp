#include "automation/win32/ComVariant.h"

#include <windows.h>

#include <oleauto.h>

namespace ledgra::win32 {

namespace {

bool Ascii(const wchar_t* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (p[i] >= 0x80) return false;
    return true;
}

// Copies the n bytes at from into to as UTF-16 code units; false (with to
// filled but meaningless) when one of them is not ASCII.
bool WidenAscii(const char* from, std::size_t n, wchar_t* to) {
    unsigned char high = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(from[i]);
        high |= c;
        to[i] = c;
    }
    return high < 0x80;
}

// Short texts of the kept block that their elements gave up for a text of
// another length, by length, for the next element that needs that length: a
// column's texts change length from one block to the next ("" and "Fill"),
// and a swap spares the system's heap a reallocation under its lock. Emptied
// with the kept block (DropSentArray).
struct TextPool {
    static constexpr UINT kLongest = 16;
    static constexpr unsigned kPerLength = 256;
    BSTR texts[kLongest + 1][kPerLength];
    unsigned counts[kLongest + 1];

    BSTR Take(UINT length) {
        return length <= kLongest && counts[length] ? texts[length][--counts[length]] : nullptr;
    }
    bool Full(UINT length) const { return length > kLongest || counts[length] == kPerLength; }
    bool Give(BSTR text, UINT length) {
        if (Full(length)) return false;
        texts[length][counts[length]++] = text;
        return true;
    }
    void Clear() {
        for (UINT length = 0; length <= kLongest; ++length)
            while (counts[length]) SysFreeString(texts[length][--counts[length]]);
    }
};
thread_local TextPool t_pool;

// slot (null: a new BSTR) resized to wide code units; false when out of
// memory (slot is then unchanged). A slot's text of another length goes to
// the pool while it takes one of the new length from there, or a new one.
bool SizeBstr(BSTR& slot, UINT wide) {
    if (slot == nullptr)
        return (slot = t_pool.Take(wide)) != nullptr || (slot = SysAllocStringLen(nullptr, wide));
    const UINT length = SysStringLen(slot);
    if (length == wide) return true;
    if (BSTR pooled = t_pool.Take(wide)) {
        if (!t_pool.Give(slot, length)) SysFreeString(slot);
        slot = pooled;
        return true;
    }
    if (wide > TextPool::kLongest || t_pool.Full(length)) return SysReAllocStringLen(&slot, nullptr, wide);
    BSTR fresh = SysAllocStringLen(nullptr, wide);
    if (fresh == nullptr) return false;
    t_pool.Give(slot, length);
    slot = fresh;
    return true;
}

// text into slot: a new BSTR when slot is null, else slot's own storage,
// resized only when the length differs. ASCII (the common cell) is copied
// in one pass, assuming one code unit a byte; anything else is converted
// again through the code page tables. False when out of memory (slot then
// holds a BSTR of its own, which the caller still owns).
bool StoreBstr(const std::string& text, unsigned codePage, BSTR& slot) {
    const auto n = static_cast<int>(text.size());
    if (!SizeBstr(slot, static_cast<UINT>(n))) return false;
    if (WidenAscii(text.data(), text.size(), slot)) return true;
    const auto wide = static_cast<UINT>(MultiByteToWideChar(codePage, 0, text.data(), n, nullptr, 0));
    if (!SizeBstr(slot, wide)) return false;
    MultiByteToWideChar(codePage, 0, text.data(), n, slot, static_cast<int>(wide));
    return true;
}

// Whether clearing v has anything to release (numbers own nothing).
bool Owns(const ::VARIANT& v) { return v.vt == ::VT_BSTR || v.vt == ::VT_DISPATCH || (v.vt & ::VT_ARRAY); }

// The number of elements of a two-dimensional array.
ULONG Cells(const ::SAFEARRAY* sa) { return sa->rgsabound[0].cElements * sa->rgsabound[1].cElements; }

// The block this thread sent last, kept for the next one (see KeepSentArray).
thread_local ::SAFEARRAY* t_spare = nullptr;

// The kept block when it has the shape rows x columns (then no longer kept), else null.
::SAFEARRAY* TakeSpare(std::uint32_t rows, std::uint32_t columns) {
    ::SAFEARRAY* sa = t_spare;
    LONG high[2] = {-1, -1};
    if (sa == nullptr || SafeArrayGetUBound(sa, 1, &high[0]) != S_OK ||
        SafeArrayGetUBound(sa, 2, &high[1]) != S_OK || high[0] + 1 != static_cast<LONG>(rows) ||
        high[1] + 1 != static_cast<LONG>(columns))
        return nullptr;
    t_spare = nullptr;
    return sa;
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

// out as the text of a BSTR; ASCII straight into out's own string storage
// in one pass, anything else through the code page.
void SetText(BSTR text, ledgra::Variant& out, unsigned codePage) {
    const UINT n = SysStringLen(text);
    if (out.vt() != ledgra::VT_BSTR) out.SetString(std::string_view());
    std::string& narrow = out.bstrVal();
    narrow.resize(n);
    char* to = narrow.data();
    wchar_t high = 0;
    for (UINT i = 0; i < n; ++i) {
        high |= text[i];
        to[i] = static_cast<char>(text[i]);
    }
    if (high >= 0x80) out.SetString(Narrow(text, n, codePage));
}

// value into slot, an element of a block that may hold the value of an
// earlier block: a text reuses the earlier text's storage.
HRESULT StoreElement(const ledgra::Variant& value, ::VARIANT& slot, const VariantBridge& bridge) {
    if (value.vt() == ledgra::VT_BSTR && slot.vt == ::VT_BSTR)
        return StoreBstr(value.bstrVal(), bridge.codePage, slot.bstrVal) ? S_OK : E_OUTOFMEMORY;
    if (Owns(slot)) VariantClear(&slot);
    slot.vt = ::VT_EMPTY;
    return ToVariant(value, slot, bridge);
}

// The elements of a SAFEARRAY lie with the first index varying fastest:
// element (row, column) of a rows x columns array is at row + column * rows.
// The array is the kept one of the same shape when there is one.
HRESULT ArrayToVariant(const SafeArray& array, ::VARIANT& out, const VariantBridge& bridge) {
    ::SAFEARRAY* sa = TakeSpare(array.Rows(), array.Columns());
    if (sa == nullptr) {
        SAFEARRAYBOUND bounds[2] = {{array.Rows(), 0}, {array.Columns(), 0}};
        sa = SafeArrayCreate(::VT_VARIANT, 2, bounds);
    }
    if (sa == nullptr) return E_OUTOFMEMORY;
    ::VARIANT* data = nullptr;
    HRESULT hr = SafeArrayAccessData(sa, reinterpret_cast<void**>(&data));
    const std::size_t rows = array.Rows();
    for (std::uint32_t row = 0; SUCCEEDED(hr) && row < array.Rows(); ++row)
        for (std::uint32_t column = 0; SUCCEEDED(hr) && column < array.Columns(); ++column)
            hr = StoreElement(array.At(row, column), data[row + column * rows], bridge);
    if (data) SafeArrayUnaccessData(sa);
    if (FAILED(hr)) {
        SafeArrayDestroy(sa);
        return hr;
    }
    out.vt = ::VT_ARRAY | ::VT_VARIANT;
    out.parray = sa;
    return S_OK;
}

// One element of a block: the cell types a table sends go straight into out
// (out's own text storage for a text), anything else the general way.
HRESULT ElementFromVariant(const ::VARIANT& value, ledgra::Variant& out, const VariantBridge& bridge) {
    switch (value.vt) {
        case ::VT_BSTR:
            SetText(value.bstrVal, out, bridge.codePage);
            return S_OK;
        case ::VT_R8:
            out.SetR8(value.dblVal);
            return S_OK;
        case ::VT_I4:
            out.SetI4(value.lVal);
            return S_OK;
        default:
            return FromVariant(value, out, bridge);
    }
}

// Fills out with the block; into out's own array when it has the same shape,
// so a block kept from an earlier request costs no new storage.
HRESULT ArrayFromVariant(::SAFEARRAY* sa, ledgra::Variant& out, const VariantBridge& bridge) {
    if (sa == nullptr || SafeArrayGetDim(sa) != 2 || SafeArrayGetElemsize(sa) != sizeof(::VARIANT))
        return DISP_E_TYPEMISMATCH;
    LONG low[2], high[2];
    for (UINT d = 0; d < 2; ++d) {
        SafeArrayGetLBound(sa, d + 1, &low[d]);
        SafeArrayGetUBound(sa, d + 1, &high[d]);
    }
    const auto rows = static_cast<std::uint32_t>(high[0] - low[0] + 1);
    const auto columns = static_cast<std::uint32_t>(high[1] - low[1] + 1);
    SafeArray* array = out.parray();
    if (array == nullptr || array->Rows() != rows || array->Columns() != columns) {
        out.SetArray(SafeArray(rows, columns));
        array = out.parray();
    }
    ::VARIANT* data = nullptr;
    HRESULT hr = SafeArrayAccessData(sa, reinterpret_cast<void**>(&data));
    for (std::uint32_t row = 0; SUCCEEDED(hr) && row < rows; ++row)
        for (std::uint32_t column = 0; SUCCEEDED(hr) && column < columns; ++column)
            hr = ElementFromVariant(data[row + std::size_t{column} * rows], array->At(row, column), bridge);
    if (data) SafeArrayUnaccessData(sa);
    if (FAILED(hr)) out.Clear();
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
        case ledgra::VT_BSTR:
            out.bstrVal = nullptr;
            if (!StoreBstr(value.bstrVal(), bridge.codePage, out.bstrVal)) {
                SysFreeString(out.bstrVal);
                out.bstrVal = nullptr;
                return E_OUTOFMEMORY;
            }
            out.vt = ::VT_BSTR;
            return S_OK;
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
    if (value.vt == (::VT_ARRAY | ::VT_VARIANT)) return ArrayFromVariant(value.parray, out, bridge);
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
            SetText(value.bstrVal, out, bridge.codePage);
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

void KeepSentArray(::VARIANT& sent) {
    if (sent.vt != (::VT_ARRAY | ::VT_VARIANT) || sent.parray == nullptr || SafeArrayGetDim(sent.parray) != 2)
        return;
    // The larger block stays: a table's last, shorter block is followed by
    // the next sheet's full ones.
    if (t_spare && Cells(t_spare) > Cells(sent.parray)) return;
    // Only texts are kept: an interface is not held beyond its request.
    ::VARIANT* data = nullptr;
    if (FAILED(SafeArrayAccessData(sent.parray, reinterpret_cast<void**>(&data)))) return;
    const ULONG count = Cells(sent.parray);
    for (ULONG i = 0; i < count; ++i)
        if (data[i].vt != ::VT_BSTR && Owns(data[i])) VariantClear(&data[i]);
    SafeArrayUnaccessData(sent.parray);
    DropSentArray();
    t_spare = sent.parray;
    sent.vt = ::VT_EMPTY;
    sent.parray = nullptr;
}

void DropSentArray() {
    if (t_spare) SafeArrayDestroy(t_spare);
    t_spare = nullptr;
    t_pool.Clear();
}

}  // namespace ledgra::win32
