#include "automation/win32/ComDispatch.h"

#include "automation/win32/ComVariant.h"

#include <windows.h>

#include <objbase.h>
#include <oleauto.h>

#include <atomic>
#include <vector>

namespace ledgra::win32 {
namespace {

// The application's objects alive in this process; when the last goes, so
// does the block kept for the next request.
std::atomic<long> g_live{0};

class ComDispatch final : public DispatchObject {
public:
    explicit ComDispatch(::IDispatch* com) : com_(com) { ++g_live; }  // takes over one reference
    ::IDispatch* Com() const { return com_; }

    HRESULT Invoke(DISPID dispId, WORD flags, DispArgs args, Variant* result, ExcepInfo* excepInfo) override;

private:
    ~ComDispatch() override {
        com_->Release();
        if (--g_live == 0) DropSentArray();
    }
    ::IDispatch* com_;
};

::IDispatch* ExportClient(ledgra::IDispatch* dispatch) {
    // Only the application's own objects can go back to it.
    auto* com = dynamic_cast<ComDispatch*>(dispatch);
    if (com == nullptr) return nullptr;
    com->Com()->AddRef();
    return com->Com();
}

ledgra::IDispatch* ImportServer(::IDispatch* dispatch) {
    dispatch->AddRef();
    return new ComDispatch(dispatch);
}

const VariantBridge& ClientBridge() {
    static const VariantBridge bridge{CP_ACP, ExportClient, ImportServer};
    return bridge;
}

// The arguments in DISPPARAMS order (last first), cleared when done; a block
// among them is kept for the next request.
class Arguments {
public:
    explicit Arguments(std::size_t count) : values_(count) {
        for (::VARIANT& v : values_) VariantInit(&v);
    }
    ~Arguments() {
        for (::VARIANT& v : values_) {
            KeepSentArray(v);
            VariantClear(&v);
        }
    }
    ::VARIANT* data() { return values_.data(); }
    ::VARIANT& operator[](std::size_t i) { return values_[i]; }

private:
    std::vector<::VARIANT> values_;
};

HRESULT ComDispatch::Invoke(DISPID dispId, WORD flags, DispArgs args, Variant* result, ExcepInfo* excepInfo) {
    const std::size_t count = args.size();
    Arguments sent(count);
    for (std::size_t i = 0; i < count; ++i)
        if (const HRESULT hr = ToVariant(*args[i], sent[count - 1 - i], ClientBridge()); FAILED(hr))
            return hr;

    ::DISPID named = DISPID_PROPERTYPUT;
    ::DISPPARAMS params{sent.data(), nullptr, static_cast<UINT>(count), 0};
    if (flags & DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &named;
        params.cNamedArgs = 1;
    }
    ::VARIANT answer;
    VariantInit(&answer);
    ::EXCEPINFO info{};
    UINT argError = 0;
    HRESULT hr =
        com_->Invoke(dispId, IID_NULL, 0, flags, &params, result ? &answer : nullptr, &info, &argError);
    if (hr == DISP_E_EXCEPTION) {
        if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
        if (excepInfo) {
            excepInfo->scode = info.scode ? info.scode : MakeHResult(0x80040000u + info.wCode);
            excepInfo->description = info.bstrDescription ? Narrow(info.bstrDescription, CP_ACP) : "";
            excepInfo->source = info.bstrSource ? Narrow(info.bstrSource, CP_ACP) : "";
        }
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
    } else if (SUCCEEDED(hr) && result) {
        hr = FromVariant(answer, *result, ClientBridge());
    }
    VariantClear(&answer);
    return hr;
}

}  // namespace

IDispatch* CreateComDispatch(const std::string& progId, HRESULT& status) {
    CLSID clsid;
    status = CLSIDFromProgID(Widen(progId, CP_ACP).c_str(), &clsid);
    if (FAILED(status)) return nullptr;
    ::IDispatch* com = nullptr;
    status = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IDispatch, reinterpret_cast<void**>(&com));
    if (FAILED(status) || com == nullptr) return nullptr;
    return new ComDispatch(com);
}

}  // namespace ledgra::win32
