// The dispatch interface: a reference-counted automation object invoked by
// DISPID, invoke kind and arguments. The client side holds objects in
// COleDispatchDriver (DispatchDriver.h); servers derive from DispatchObject.
#pragma once

#include "automation/Types.h"
#include "automation/Variant.h"

#include <cstddef>
#include <span>
#include <string>
#include <utility>

namespace ledgra {

// What a server fills in when it answers DISP_E_EXCEPTION.
struct ExcepInfo {
    SCODE scode = 0;
    std::string source;
    std::string description;
};

// The arguments of one request in their natural order (first argument first;
// COM's DISPPARAMS hold them the other way round). A property put has exactly
// one argument, the new value.
using DispArgs = std::span<const Variant* const>;

class IDispatch {
public:
    virtual unsigned long AddRef() noexcept = 0;
    virtual unsigned long Release() noexcept = 0;
    // Carries out one request. result may be null when the caller wants none.
    // Returns S_OK, DISP_E_EXCEPTION with excepInfo filled in, or another
    // failure status (DISP_E_MEMBERNOTFOUND, DISP_E_BADPARAMCOUNT, ...).
    virtual HRESULT Invoke(DISPID dispId, WORD flags, DispArgs args, Variant* result,
                           ExcepInfo* excepInfo) = 0;

protected:
    ~IDispatch() = default;
};

// Base of server objects: counts references and deletes itself at zero.
class DispatchObject : public IDispatch {
public:
    unsigned long AddRef() noexcept override { return ++m_nRefs; }
    unsigned long Release() noexcept override;

protected:
    DispatchObject() = default;
    virtual ~DispatchObject() = default;
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;

    // Fills excepInfo for an application error and returns DISP_E_EXCEPTION.
    static HRESULT RaiseException(ExcepInfo* excepInfo, SCODE scode, std::string description,
                                  std::string source);

private:
    unsigned long m_nRefs = 1;  // the creator's reference
};

// Holds one reference of a dispatch object, for server code.
template <class T>
class DispatchRef {
public:
    DispatchRef() noexcept = default;
    // Takes over a reference the caller owns.
    explicit DispatchRef(T* owned) noexcept : p_(owned) {}
    DispatchRef(const DispatchRef& other) noexcept : p_(other.p_) {
        if (p_) p_->AddRef();
    }
    DispatchRef(DispatchRef&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
    DispatchRef& operator=(DispatchRef other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~DispatchRef() {
        if (p_) p_->Release();
    }
    // A new reference of p.
    static DispatchRef Share(T* p) noexcept {
        if (p) p->AddRef();
        return DispatchRef(p);
    }
    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    T& operator*() const noexcept { return *p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    // Hands the reference to the caller.
    T* release() noexcept {
        T* p = p_;
        p_ = nullptr;
        return p;
    }

private:
    T* p_ = nullptr;
};

}  // namespace ledgra
