// Automation values: the variant with the types Ledgra sends and receives
// (VT_EMPTY, VT_I2, VT_I4, VT_INT, VT_R8, VT_BSTR, VT_BOOL, VT_ERROR,
// VT_DISPATCH and a two-dimensional VT_ARRAY | VT_VARIANT), and the safe array
// that carries a block of cells.
//
// Strings are the caller's single-byte text (UTF-8 on this platform); a
// variant owns its string, its array and one reference of its interface, and
// clearing it releases them. A block is one contiguous vector of variants, so
// filling it allocates nothing per cell beyond a long string's own buffer.
#pragma once

#include "automation/Types.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ledgra {

class IDispatch;
class SafeArray;

class Variant {
public:
    Variant() noexcept { u_.i8 = 0; }
    Variant(const Variant& other);
    Variant(Variant&& other) noexcept;
    Variant& operator=(const Variant& other);
    Variant& operator=(Variant&& other) noexcept;
    ~Variant() { Clear(); }

    // Makers for the common values.
    static Variant I2(std::int16_t value) noexcept;
    static Variant I4(std::int32_t value) noexcept;
    static Variant Int(std::int32_t value) noexcept;
    static Variant R8(double value) noexcept;
    static Variant Bool(bool value) noexcept;
    static Variant Error(SCODE scode) noexcept;
    static Variant String(std::string text) noexcept;
    // The omitted-argument value: VT_ERROR holding DISP_E_PARAMNOTFOUND.
    static Variant Optional() noexcept { return Error(DISP_E_PARAMNOTFOUND); }
    // A VT_DISPATCH value holding its own reference (AddRef now, Release on clear).
    static Variant Dispatch(IDispatch* dispatch) noexcept;

    VARTYPE vt() const noexcept { return vt_; }
    bool IsOptional() const noexcept { return vt_ == VT_ERROR && u_.scode == DISP_E_PARAMNOTFOUND; }

    // VariantClear: releases what the value owns and leaves VT_EMPTY. A
    // string keeps its storage for the next one.
    void Clear() noexcept {
        if (vt_ == VT_BSTR)
            str_.clear();
        else if (vt_ == VT_DISPATCH || vt_ == (VT_ARRAY | VT_VARIANT))
            Release();
        vt_ = VT_EMPTY;
        u_.i8 = 0;
    }

    void SetI2(std::int16_t value) noexcept;
    void SetI4(std::int32_t value) noexcept;
    void SetInt(std::int32_t value) noexcept;
    void SetR8(double value) noexcept;
    void SetBool(bool value) noexcept;
    void SetError(SCODE scode) noexcept;
    void SetString(std::string&& text) noexcept;
    void SetString(std::string_view text);
    // Takes a new reference of dispatch (which may be null).
    void SetDispatch(IDispatch* dispatch) noexcept;
    // Takes over a reference the caller owns.
    void AttachDispatch(IDispatch* dispatch) noexcept;
    // Hands the held reference to the caller and leaves VT_EMPTY; null unless VT_DISPATCH.
    IDispatch* DetachDispatch() noexcept;
    // A two-dimensional array of variants (VT_ARRAY | VT_VARIANT).
    void SetArray(SafeArray&& array);

    // Each accessor gives the value of its own type, and 0 (or empty) for any other type.
    std::int16_t iVal() const noexcept { return vt_ == VT_I2 ? u_.i2 : std::int16_t{0}; }
    std::int32_t lVal() const noexcept { return vt_ == VT_I4 ? u_.i4 : 0; }
    std::int32_t intVal() const noexcept { return vt_ == VT_INT ? u_.i4 : 0; }
    double dblVal() const noexcept { return vt_ == VT_R8 ? u_.r8 : 0.0; }
    VARIANT_BOOL boolVal() const noexcept { return vt_ == VT_BOOL ? u_.boolean : VARIANT_FALSE; }
    SCODE scode() const noexcept { return vt_ == VT_ERROR ? u_.scode : 0; }
    IDispatch* pdispVal() const noexcept { return vt_ == VT_DISPATCH ? u_.dispatch : nullptr; }
    const SafeArray* parray() const noexcept { return vt_ == (VT_ARRAY | VT_VARIANT) ? u_.array : nullptr; }
    // The array for filling it in place; null unless VT_ARRAY | VT_VARIANT.
    SafeArray* parray() noexcept { return vt_ == (VT_ARRAY | VT_VARIANT) ? u_.array : nullptr; }
    const std::string& bstrVal() const noexcept { return str_; }  // "" unless VT_BSTR
    // The string for moving it out; only meaningful for VT_BSTR.
    std::string& bstrVal() noexcept { return str_; }

private:
    void Release() noexcept;  // the interface's reference or the array
    void CopyFrom(const Variant& other);
    void MoveFrom(Variant& other) noexcept;

    VARTYPE vt_ = VT_EMPTY;
    union {
        std::int64_t i8;
        std::int16_t i2;
        std::int32_t i4;
        double r8;
        VARIANT_BOOL boolean;
        SCODE scode;
        IDispatch* dispatch;
        SafeArray* array;
    } u_;
    std::string str_;
};

using COleVariant = Variant;

// VariantClear.
inline void VariantClear(Variant& value) noexcept { value.Clear(); }

// A rows x columns array of variants, both lower bounds 0, stored row by row.
class SafeArray {
public:
    SafeArray(std::uint32_t rows, std::uint32_t columns);

    std::uint32_t Rows() const noexcept { return rows_; }
    std::uint32_t Columns() const noexcept { return columns_; }
    bool Contains(std::int64_t row, std::int64_t column) const noexcept {
        return row >= 0 && column >= 0 && row < rows_ && column < columns_;
    }
    // Element access; row < Rows() and column < Columns().
    Variant& At(std::uint32_t row, std::uint32_t column) noexcept {
        return elements_[static_cast<std::size_t>(row) * columns_ + column];
    }
    const Variant& At(std::uint32_t row, std::uint32_t column) const noexcept {
        return elements_[static_cast<std::size_t>(row) * columns_ + column];
    }
    // Empties every element, keeping the storage.
    void Reset() noexcept {
        for (Variant& element : elements_) element.Clear();
    }

private:
    std::uint32_t rows_;
    std::uint32_t columns_;
    std::vector<Variant> elements_;
};

// The block as the export builds it: a variant holding a SafeArray.
class COleSafeArray : public Variant {
public:
    // Makes a new array of empty variants with counts[0] rows and counts[1] columns
    // (reusing the storage of an array of that shape that this value holds).
    // Only VT_VARIANT elements in 2 dimensions are supported; anything else raises
    // COleException E_INVALIDARG, and an array too large for memory E_OUTOFMEMORY.
    void Create(VARTYPE elementType, std::uint32_t dimensions, const std::uint32_t* counts);
    // Stores value at (indices[0], indices[1]); an index outside the array raises
    // COleException DISP_E_BADINDEX.
    void PutElement(const long* indices, const Variant& value);
    void PutElement(const long* indices, Variant&& value);

private:
    SafeArray& Checked(const long* indices, long& row, long& column);
};

// Conversions a server applies to its arguments, as VariantChangeType does,
// independent of the process's locale. Each returns S_OK, DISP_E_TYPEMISMATCH
// or DISP_E_OVERFLOW.
HRESULT ChangeToInt32(const Variant& value, std::int32_t& out);
HRESULT ChangeToBool(const Variant& value, bool& out);
HRESULT ChangeToString(const Variant& value, std::string& out);
HRESULT ChangeToDouble(const Variant& value, double& out);

// Length of a text in UTF-16 code units, as an automation string counts it:
// valid UTF-8 sequences count 1 (2 beyond U+FFFF), any other byte counts 1.
std::size_t Utf16Length(std::string_view text) noexcept;
// The longest leading part of text of at most maxUnits UTF-16 code units that
// ends on a character boundary.
std::string_view Utf16Prefix(std::string_view text, std::size_t maxUnits) noexcept;

}  // namespace ledgra
