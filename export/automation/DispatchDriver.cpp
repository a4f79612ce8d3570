#include "automation/DispatchDriver.h"

#include "automation/Ole.h"
#include "registry/ClassRegistry.h"

#include <array>
#include <new>

namespace ledgra {

COleDispatchDriver::COleDispatchDriver(const COleDispatchDriver& other) noexcept
    : m_lpDispatch(other.m_lpDispatch), m_bAutoRelease(true) {
    if (m_lpDispatch) m_lpDispatch->AddRef();
}

COleDispatchDriver& COleDispatchDriver::operator=(const COleDispatchDriver& other) noexcept {
    if (this != &other) {
        if (other.m_lpDispatch) other.m_lpDispatch->AddRef();
        AttachDispatch(other.m_lpDispatch, true);
    }
    return *this;
}

BOOL COleDispatchDriver::CreateDispatch(const char* progId, COleException* error) {
    ReleaseDispatch();
    auto fail = [error](SCODE sc) {
        if (error) error->m_sc = sc;
        return BOOL{0};
    };
    if (!OleIsInitialized()) return fail(CO_E_NOTINITIALIZED);
    if (progId == nullptr || *progId == '\0') return fail(CO_E_CLASSSTRING);
    IDispatch* created = nullptr;
    try {
        const ClassFactory factory = ClassRegistry::Instance().Factory(progId);
        if (!factory) return fail(CO_E_CLASSSTRING);  // no such ProgID
        created = factory();
    } catch (const std::bad_alloc&) {
        return fail(E_OUTOFMEMORY);
    } catch (...) {
        return fail(CO_E_SERVER_EXEC_FAILURE);
    }
    if (created == nullptr) return fail(CO_E_SERVER_EXEC_FAILURE);
    m_lpDispatch = created;
    m_bAutoRelease = true;
    return 1;
}

void COleDispatchDriver::AttachDispatch(IDispatch* dispatch, bool autoRelease) noexcept {
    ReleaseDispatch();
    m_lpDispatch = dispatch;
    m_bAutoRelease = autoRelease;
}

IDispatch* COleDispatchDriver::DetachDispatch() noexcept {
    IDispatch* dispatch = m_lpDispatch;
    m_lpDispatch = nullptr;
    return dispatch;
}

void COleDispatchDriver::ReleaseDispatch() noexcept {
    if (m_lpDispatch) {
        IDispatch* dispatch = m_lpDispatch;
        m_lpDispatch = nullptr;
        if (m_bAutoRelease) dispatch->Release();
    }
}

void COleDispatchDriver::InvokeHelperV(DISPID dispId, WORD flags, VARTYPE resultType, InvokeResult result,
                                       const BYTE* paramInfo, std::span<const InvokeArg> args) {
    if (m_lpDispatch == nullptr) ThrowOleException(E_POINTER);

    // The result slot must be of the declared result type.
    bool slotOk = false;
    switch (resultType) {
        case VT_EMPTY:
            slotOk = result.vt() == VT_EMPTY;
            break;
        case VT_BSTR:
            slotOk = result.vt() == VT_BSTR && result.text() != nullptr;
            break;
        case VT_DISPATCH:
            slotOk = result.vt() == VT_DISPATCH && result.dispatch() != nullptr;
            break;
        case VT_VARIANT:
            slotOk = result.vt() == VT_VARIANT && result.variant() != nullptr;
            break;
        default:
            break;
    }
    if (!slotOk) ThrowOleException(E_INVALIDARG);

    // The type bytes must describe exactly the arguments passed.
    std::size_t count = 0;
    if (paramInfo != nullptr)
        while (count <= kMaxInvokeArgs && paramInfo[count] != 0) ++count;
    if (count != args.size() || count > kMaxInvokeArgs) ThrowOleException(DISP_E_BADPARAMCOUNT);

    std::array<Variant, kMaxInvokeArgs> converted;
    std::array<const Variant*, kMaxInvokeArgs> sent{};
    for (std::size_t i = 0; i < count; ++i) {
        const InvokeArg& arg = args[i];
        switch (paramInfo[i]) {
            case VTS_BOOL:
                if (arg.kind != InvokeArg::Kind::Bool) ThrowOleException(DISP_E_TYPEMISMATCH);
                converted[i].SetBool(arg.boolean);
                sent[i] = &converted[i];
                break;
            case VTS_BSTR:
                if (arg.kind != InvokeArg::Kind::String) ThrowOleException(DISP_E_TYPEMISMATCH);
                converted[i].SetString(arg.text);
                sent[i] = &converted[i];
                break;
            case VTS_VARIANT:
                if (arg.kind != InvokeArg::Kind::Variant || arg.variant == nullptr)
                    ThrowOleException(DISP_E_TYPEMISMATCH);
                sent[i] = arg.variant;
                break;
            default:
                ThrowOleException(DISP_E_BADVARTYPE);
        }
    }

    Variant answer;
    ExcepInfo info;
    HRESULT hr;
    try {
        hr = m_lpDispatch->Invoke(dispId, flags, DispArgs(sent.data(), count),
                                  resultType == VT_EMPTY ? nullptr : &answer, &info);
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    } catch (...) {
        hr = RPC_E_SERVERFAULT;  // the server failed in a way it did not report
    }
    if (hr == DISP_E_EXCEPTION)
        throw COleDispatchException(info.scode, std::move(info.description), std::move(info.source));
    if (FAILED(hr)) ThrowOleException(hr);

    switch (resultType) {
        case VT_BSTR:
            if (answer.vt() == VT_BSTR) {
                *result.text() = std::move(answer.bstrVal());
            } else {
                std::string text;
                if (FAILED(ChangeToString(answer, text))) ThrowOleException(DISP_E_TYPEMISMATCH);
                *result.text() = std::move(text);
            }
            break;
        case VT_DISPATCH:
            if (answer.vt() != VT_DISPATCH) ThrowOleException(DISP_E_TYPEMISMATCH);
            *result.dispatch() = answer.DetachDispatch();
            break;
        case VT_VARIANT:
            *result.variant() = std::move(answer);
            break;
        default:
            break;
    }
}

}  // namespace ledgra
