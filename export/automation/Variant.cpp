#include "automation/Variant.h"

#include "text/Utf8.h"

#include "automation/Dispatch.h"
#include "automation/Exceptions.h"

#include <cfenv>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace ledgra {

Variant::Variant(const Variant& other) {
    u_.i8 = 0;
    CopyFrom(other);
}

Variant::Variant(Variant&& other) noexcept {
    u_.i8 = 0;
    MoveFrom(other);
}

Variant& Variant::operator=(const Variant& other) {
    if (this != &other) {
        Variant copy(other);
        Clear();
        MoveFrom(copy);
    }
    return *this;
}

Variant& Variant::operator=(Variant&& other) noexcept {
    if (this != &other) {
        Clear();
        MoveFrom(other);
    }
    return *this;
}

void Variant::CopyFrom(const Variant& other) {
    switch (other.vt_) {
        case VT_BSTR:
            str_ = other.str_;
            break;
        case VT_DISPATCH:
            if (other.u_.dispatch) other.u_.dispatch->AddRef();
            u_.dispatch = other.u_.dispatch;
            break;
        case VT_ARRAY | VT_VARIANT:
            u_.array = new SafeArray(*other.u_.array);
            break;
        default:
            u_ = other.u_;
            break;
    }
    vt_ = other.vt_;
}

void Variant::MoveFrom(Variant& other) noexcept {
    vt_ = other.vt_;
    u_ = other.u_;
    if (vt_ == VT_BSTR) str_ = std::move(other.str_);
    other.vt_ = VT_EMPTY;
    other.u_.i8 = 0;
}

void Variant::Release() noexcept {
    if (vt_ == VT_DISPATCH && u_.dispatch) u_.dispatch->Release();
    if (vt_ == (VT_ARRAY | VT_VARIANT)) delete u_.array;
}

Variant Variant::I2(std::int16_t value) noexcept {
    Variant v;
    v.SetI2(value);
    return v;
}
Variant Variant::I4(std::int32_t value) noexcept {
    Variant v;
    v.SetI4(value);
    return v;
}
Variant Variant::Int(std::int32_t value) noexcept {
    Variant v;
    v.SetInt(value);
    return v;
}
Variant Variant::R8(double value) noexcept {
    Variant v;
    v.SetR8(value);
    return v;
}
Variant Variant::Bool(bool value) noexcept {
    Variant v;
    v.SetBool(value);
    return v;
}
Variant Variant::Error(SCODE scode) noexcept {
    Variant v;
    v.SetError(scode);
    return v;
}
Variant Variant::String(std::string text) noexcept {
    Variant v;
    v.SetString(std::move(text));
    return v;
}
Variant Variant::Dispatch(IDispatch* dispatch) noexcept {
    Variant v;
    v.SetDispatch(dispatch);
    return v;
}

void Variant::SetI2(std::int16_t value) noexcept {
    Clear();
    vt_ = VT_I2;
    u_.i2 = value;
}
void Variant::SetI4(std::int32_t value) noexcept {
    Clear();
    vt_ = VT_I4;
    u_.i4 = value;
}
void Variant::SetInt(std::int32_t value) noexcept {
    Clear();
    vt_ = VT_INT;
    u_.i4 = value;
}
void Variant::SetR8(double value) noexcept {
    Clear();
    vt_ = VT_R8;
    u_.r8 = value;
}
void Variant::SetBool(bool value) noexcept {
    Clear();
    vt_ = VT_BOOL;
    u_.boolean = value ? VARIANT_TRUE : VARIANT_FALSE;
}
void Variant::SetError(SCODE scode) noexcept {
    Clear();
    vt_ = VT_ERROR;
    u_.scode = scode;
}
// Both forms accept the value's own string (or a part of it) as the new text.
void Variant::SetString(std::string&& text) noexcept {
    if (vt_ != VT_BSTR) Clear();
    if (&text != &str_) str_ = std::move(text);
    vt_ = VT_BSTR;
}
void Variant::SetString(std::string_view text) {
    if (vt_ != VT_BSTR) Clear();
    str_.assign(text);
    vt_ = VT_BSTR;
}
void Variant::SetDispatch(IDispatch* dispatch) noexcept {
    if (dispatch) dispatch->AddRef();
    AttachDispatch(dispatch);
}
void Variant::AttachDispatch(IDispatch* dispatch) noexcept {
    Clear();
    vt_ = VT_DISPATCH;
    u_.dispatch = dispatch;
}
IDispatch* Variant::DetachDispatch() noexcept {
    if (vt_ != VT_DISPATCH) return nullptr;
    IDispatch* dispatch = u_.dispatch;
    vt_ = VT_EMPTY;
    u_.i8 = 0;
    return dispatch;
}
void Variant::SetArray(SafeArray&& array) {
    SafeArray* owned = new SafeArray(std::move(array));
    Clear();
    vt_ = VT_ARRAY | VT_VARIANT;
    u_.array = owned;
}

SafeArray::SafeArray(std::uint32_t rows, std::uint32_t columns)
    : rows_(rows), columns_(columns), elements_(static_cast<std::size_t>(rows) * columns) {}

void COleSafeArray::Create(VARTYPE elementType, std::uint32_t dimensions, const std::uint32_t* counts) {
    if (elementType != VT_VARIANT || dimensions != 2 || counts == nullptr) ThrowOleException(E_INVALIDARG);
    if (const SafeArray* held = parray();
        held != nullptr && held->Rows() == counts[0] && held->Columns() == counts[1]) {
        const_cast<SafeArray*>(held)->Reset();
        return;
    }
    try {
        SetArray(SafeArray(counts[0], counts[1]));
    } catch (const std::bad_alloc&) {
        ThrowOleException(E_OUTOFMEMORY);
    } catch (const std::length_error&) {
        ThrowOleException(E_OUTOFMEMORY);
    }
}

SafeArray& COleSafeArray::Checked(const long* indices, long& row, long& column) {
    // parray() is const for readers; this object owns the array.
    auto* array = const_cast<SafeArray*>(parray());
    if (array == nullptr || indices == nullptr) ThrowOleException(E_INVALIDARG);
    row = indices[0];
    column = indices[1];
    if (!array->Contains(row, column)) ThrowOleException(DISP_E_BADINDEX);
    return *array;
}

void COleSafeArray::PutElement(const long* indices, const Variant& value) {
    long row = 0, column = 0;
    SafeArray& array = Checked(indices, row, column);
    array.At(static_cast<std::uint32_t>(row), static_cast<std::uint32_t>(column)) = value;
}

void COleSafeArray::PutElement(const long* indices, Variant&& value) {
    long row = 0, column = 0;
    SafeArray& array = Checked(indices, row, column);
    array.At(static_cast<std::uint32_t>(row), static_cast<std::uint32_t>(column)) = std::move(value);
}

namespace {

// Reads a whole text as a number, C locale, surrounding blanks allowed.
bool ParseNumber(const std::string& text, double& out) {
    const char* first = text.data();
    const char* last = first + text.size();
    while (first < last && (*first == ' ' || *first == '\t')) ++first;
    while (last > first && (last[-1] == ' ' || last[-1] == '\t')) --last;
    if (first < last && *first == '+') ++first;
    if (first == last) return false;
    auto [end, ec] = std::from_chars(first, last, out);
    return ec == std::errc() && end == last;
}

HRESULT RoundToInt32(double value, std::int32_t& out) {
    if (!std::isfinite(value)) return DISP_E_OVERFLOW;
    const double rounded = std::nearbyint(value);  // ties to even, as automation rounds
    if (rounded < -2147483648.0 || rounded > 2147483647.0) return DISP_E_OVERFLOW;
    out = static_cast<std::int32_t>(rounded);
    return S_OK;
}

}  // namespace

HRESULT ChangeToDouble(const Variant& value, double& out) {
    switch (value.vt()) {
        case VT_EMPTY:
            out = 0.0;
            return S_OK;
        case VT_I2:
            out = value.iVal();
            return S_OK;
        case VT_I4:
            out = value.lVal();
            return S_OK;
        case VT_INT:
            out = value.intVal();
            return S_OK;
        case VT_R8:
            out = value.dblVal();
            return S_OK;
        case VT_BOOL:
            out = value.boolVal() ? -1.0 : 0.0;
            return S_OK;
        case VT_BSTR:
            return ParseNumber(value.bstrVal(), out) ? S_OK : DISP_E_TYPEMISMATCH;
        default:
            return DISP_E_TYPEMISMATCH;
    }
}

HRESULT ChangeToInt32(const Variant& value, std::int32_t& out) {
    switch (value.vt()) {
        case VT_I2:
            out = value.iVal();
            return S_OK;
        case VT_I4:
            out = value.lVal();
            return S_OK;
        case VT_INT:
            out = value.intVal();
            return S_OK;
        default: {
            double d = 0.0;
            const HRESULT hr = ChangeToDouble(value, d);
            return FAILED(hr) ? hr : RoundToInt32(d, out);
        }
    }
}

HRESULT ChangeToBool(const Variant& value, bool& out) {
    if (value.vt() == VT_BSTR) {
        const std::string& s = value.bstrVal();
        auto equalsNoCase = [&s](const char* word) {
            const std::size_t n = std::strlen(word);
            if (s.size() != n) return false;
            for (std::size_t i = 0; i < n; ++i) {
                char c = s[i];
                if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
                if (c != word[i]) return false;
            }
            return true;
        };
        if (equalsNoCase("true")) {
            out = true;
            return S_OK;
        }
        if (equalsNoCase("false")) {
            out = false;
            return S_OK;
        }
    }
    double d = 0.0;
    const HRESULT hr = ChangeToDouble(value, d);
    if (SUCCEEDED(hr)) out = d != 0.0;
    return hr;
}

HRESULT ChangeToString(const Variant& value, std::string& out) {
    char buffer[64];
    switch (value.vt()) {
        case VT_EMPTY:
            out.clear();
            return S_OK;
        case VT_BSTR:
            out = value.bstrVal();
            return S_OK;
        case VT_BOOL:
            out = value.boolVal() ? "True" : "False";
            return S_OK;
        case VT_I2:
        case VT_I4:
        case VT_INT: {
            const std::int32_t n = value.vt() == VT_I2   ? value.iVal()
                                   : value.vt() == VT_I4 ? value.lVal()
                                                         : value.intVal();
            auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, n);
            out.assign(buffer, end);
            return S_OK;
        }
        case VT_R8: {
            auto [end, ec] =
                std::to_chars(buffer, buffer + sizeof buffer, value.dblVal(), std::chars_format::general, 15);
            if (ec != std::errc()) return DISP_E_OVERFLOW;
            out.assign(buffer, end);
            return S_OK;
        }
        default:
            return DISP_E_TYPEMISMATCH;
    }
}

namespace {

// The code point at text[i] and the bytes it takes (a byte that begins no
// valid sequence stands alone).
std::size_t DecodeAt(std::string_view text, std::size_t i, char32_t& codePoint) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    return text::DecodeUtf8(p + i, p + text.size(), codePoint);
}

}  // namespace

std::size_t Utf16Length(std::string_view text) noexcept {
    std::size_t units = 0;
    for (std::size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        i += DecodeAt(text, i, cp);
        units += cp > 0xFFFF ? 2 : 1;
    }
    return units;
}

std::string_view Utf16Prefix(std::string_view text, std::size_t maxUnits) noexcept {
    std::size_t units = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t cp = 0;
        const std::size_t n = DecodeAt(text, i, cp);
        const std::size_t u = cp > 0xFFFF ? 2 : 1;
        if (units + u > maxUnits) break;
        units += u;
        i += n;
    }
    return text.substr(0, i);
}

}  // namespace ledgra
