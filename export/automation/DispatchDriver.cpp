#include "automation/DispatchDriver.h"

#include "automation/Ole.h"
#include "registry/ClassRegistry.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <new>

namespace ledgra {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A busy application (a user editing a cell, a dialog of its own open) rejects
// requests for a while: they are sent again after a pause that grows from
// kFirstPause to kLongestPause, until kBusyLimit has passed.
constexpr milliseconds kFirstPause{10};
constexpr milliseconds kLongestPause{1000};
constexpr milliseconds kBusyLimit{30000};

bool IsBusy(HRESULT hr) { return hr == RPC_E_CALL_REJECTED || hr == RPC_E_SERVERCALL_RETRYLATER; }

// The result slot must be of the declared result type.
bool ResultSlotFits(VARTYPE resultType, const InvokeResult& result) {
    switch (resultType) {
        case VT_EMPTY:
            return result.vt() == VT_EMPTY;
        case VT_BSTR:
            return result.vt() == VT_BSTR && result.text() != nullptr;
        case VT_DISPATCH:
            return result.vt() == VT_DISPATCH && result.dispatch() != nullptr;
        case VT_VARIANT:
            return result.vt() == VT_VARIANT && result.variant() != nullptr;
        default:
            return false;
    }
}

// The arguments as the type bytes describe them, which must be exactly the
// arguments passed; converted holds what had to be made.
struct SentArgs {
    std::array<Variant, kMaxInvokeArgs> converted;
    std::array<const Variant*, kMaxInvokeArgs> sent{};
    std::size_t count = 0;
};

void ConvertArgs(const BYTE* paramInfo, std::span<const InvokeArg> args, SentArgs& out) {
    std::size_t count = 0;
    if (paramInfo != nullptr)
        while (count <= kMaxInvokeArgs && paramInfo[count] != 0) ++count;
    if (count != args.size() || count > kMaxInvokeArgs) ThrowOleException(DISP_E_BADPARAMCOUNT);
    for (std::size_t i = 0; i < count; ++i) {
        const InvokeArg& arg = args[i];
        switch (paramInfo[i]) {
            case VTS_BOOL:
                if (arg.kind != InvokeArg::Kind::Bool) ThrowOleException(DISP_E_TYPEMISMATCH);
                out.converted[i].SetBool(arg.boolean);
                out.sent[i] = &out.converted[i];
                break;
            case VTS_BSTR:
                if (arg.kind != InvokeArg::Kind::String) ThrowOleException(DISP_E_TYPEMISMATCH);
                out.converted[i].SetString(arg.text);
                out.sent[i] = &out.converted[i];
                break;
            case VTS_VARIANT:
                if (arg.kind != InvokeArg::Kind::Variant || arg.variant == nullptr)
                    ThrowOleException(DISP_E_TYPEMISMATCH);
                out.sent[i] = arg.variant;
                break;
            default:
                ThrowOleException(DISP_E_BADVARTYPE);
        }
    }
    out.count = count;
}

HRESULT InvokeOnce(IDispatch& dispatch, DISPID dispId, WORD flags, const SentArgs& args, Variant* answer,
                   ExcepInfo& info) {
    try {
        return dispatch.Invoke(dispId, flags, DispArgs(args.sent.data(), args.count), answer, &info);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return RPC_E_SERVERFAULT;  // the server failed in a way it did not report
    }
}

// Sends the request, again while the application answers that it is busy.
HRESULT InvokeWhileBusy(IDispatch& dispatch, DISPID dispId, WORD flags, const SentArgs& args, Variant* answer,
                        ExcepInfo& info) {
    const Clock::time_point giveUp = Clock::now() + kBusyLimit;
    milliseconds pause = kFirstPause;
    for (;;) {
        const HRESULT hr = InvokeOnce(dispatch, dispId, flags, args, answer, info);
        if (!IsBusy(hr) || Clock::now() + pause > giveUp) return hr;
        WaitBeforeRetry(pause);
        pause = std::min(pause * 2, kLongestPause);
    }
}

// Hands the answer to the result slot, converted to its type.
void StoreResult(VARTYPE resultType, Variant& answer, const InvokeResult& result) {
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

}  // namespace

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
    if (!ResultSlotFits(resultType, result)) ThrowOleException(E_INVALIDARG);
    SentArgs sent;
    ConvertArgs(paramInfo, args, sent);

    Variant answer;
    ExcepInfo info;
    const HRESULT hr =
        InvokeWhileBusy(*m_lpDispatch, dispId, flags, sent, resultType == VT_EMPTY ? nullptr : &answer, info);
    if (hr == DISP_E_EXCEPTION)
        throw COleDispatchException(info.scode, std::move(info.description), std::move(info.source));
    if (FAILED(hr)) ThrowOleException(hr);
    StoreResult(resultType, answer, result);
}

}  // namespace ledgra
