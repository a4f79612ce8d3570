// The client-side holder of an automation object, after MFC's
// COleDispatchDriver: creates the object from a ProgID through Ledgra's class
// registry, takes over interfaces that requests return, releases what it holds,
// and sends requests with InvokeHelper.
//
// InvokeHelper describes its arguments with a static, zero-terminated list of
// type bytes (VTS_BOOL 0x0B, VTS_BSTR 0x0E, VTS_VARIANT 0x0C). The list is
// checked against the arguments actually passed: a different count, or an
// argument of the wrong kind, raises COleException (DISP_E_BADPARAMCOUNT or
// DISP_E_TYPEMISMATCH) before anything is sent. Likewise the result type must
// match the result slot.
#pragma once

#include "automation/Dispatch.h"
#include "automation/Exceptions.h"
#include "automation/Types.h"
#include "automation/Variant.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace ledgra {

using BOOL = int;

// One actual argument of InvokeHelper, as the type bytes see it.
struct InvokeArg {
    enum class Kind { Bool, String, Variant };
    Kind kind = Kind::Bool;
    bool boolean = false;
    std::string_view text;
    const ledgra::Variant* variant = nullptr;
};

inline InvokeArg MakeInvokeArg(bool value) { return {InvokeArg::Kind::Bool, value, {}, nullptr}; }
inline InvokeArg MakeInvokeArg(const char* text) {
    return {InvokeArg::Kind::String, false, text ? std::string_view(text) : std::string_view(), nullptr};
}
inline InvokeArg MakeInvokeArg(const std::string& text) {
    return {InvokeArg::Kind::String, false, text, nullptr};
}
inline InvokeArg MakeInvokeArg(const Variant& value) { return {InvokeArg::Kind::Variant, false, {}, &value}; }
// Anything else (an int where a bool is meant, a pointer to a variant, ...) does not compile.
template <class T>
InvokeArg MakeInvokeArg(const T&) = delete;

// Where InvokeHelper puts the result: nothing (VT_EMPTY), a string (VT_BSTR),
// an interface with one reference for the caller (VT_DISPATCH), or a variant (VT_VARIANT).
class InvokeResult {
public:
    InvokeResult(std::nullptr_t) noexcept : vt_(VT_EMPTY) {}
    InvokeResult(std::string* text) noexcept : vt_(VT_BSTR), text_(text) {}
    InvokeResult(IDispatch** dispatch) noexcept : vt_(VT_DISPATCH), dispatch_(dispatch) {}
    InvokeResult(Variant* value) noexcept : vt_(VT_VARIANT), variant_(value) {}

    VARTYPE vt() const noexcept { return vt_; }
    std::string* text() const noexcept { return text_; }
    IDispatch** dispatch() const noexcept { return dispatch_; }
    Variant* variant() const noexcept { return variant_; }

private:
    VARTYPE vt_;
    std::string* text_ = nullptr;
    IDispatch** dispatch_ = nullptr;
    Variant* variant_ = nullptr;
};

class COleDispatchDriver {
public:
    COleDispatchDriver() noexcept = default;
    // Holds dispatch; with autoRelease the holder owns one reference of it.
    explicit COleDispatchDriver(IDispatch* dispatch, bool autoRelease = true) noexcept
        : m_lpDispatch(dispatch), m_bAutoRelease(autoRelease) {}
    COleDispatchDriver(const COleDispatchDriver& other) noexcept;
    COleDispatchDriver& operator=(const COleDispatchDriver& other) noexcept;
    ~COleDispatchDriver() { ReleaseDispatch(); }

    // Creates the object registered under progId and holds it. Returns nonzero on
    // success; 0 when OLE is not initialised on this thread, the ProgID is not
    // registered or the object cannot be created (the status goes to *error).
    BOOL CreateDispatch(const char* progId, COleException* error = nullptr);
    // Releases what was held and takes over dispatch.
    void AttachDispatch(IDispatch* dispatch, bool autoRelease = true) noexcept;
    // Gives up the interface without releasing it.
    IDispatch* DetachDispatch() noexcept;
    // Releases the held reference (when owned) and holds nothing.
    void ReleaseDispatch() noexcept;

    template <class... Args>
    void InvokeHelper(DISPID dispId, WORD flags, VARTYPE resultType, InvokeResult result,
                      const BYTE* paramInfo, const Args&... args) {
        const InvokeArg list[sizeof...(Args) + 1] = {MakeInvokeArg(args)..., InvokeArg{}};
        InvokeHelperV(dispId, flags, resultType, result, paramInfo,
                      std::span<const InvokeArg>(list, sizeof...(Args)));
    }

    // The checked core of InvokeHelper.
    void InvokeHelperV(DISPID dispId, WORD flags, VARTYPE resultType, InvokeResult result,
                       const BYTE* paramInfo, std::span<const InvokeArg> args);

    IDispatch* m_lpDispatch = nullptr;
    bool m_bAutoRelease = true;
};

// Largest argument count InvokeHelper sends.
inline constexpr std::size_t kMaxInvokeArgs = 32;

}  // namespace ledgra
