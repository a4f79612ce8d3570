// The stand-in application as an in-process COM server, for tests on Windows:
// registered (DllRegisterServer) under the ProgID "Excel.Application" with a
// CLSID of its own. Each of its objects is a system IDispatch over the
// stand-in's own dispatch object; requests are answered by DISPID (the names
// of its members are answered too), and the stand-in's application errors come
// back as DISP_E_EXCEPTION with EXCEPINFO. Texts are UTF-8 inside the stand-in.
//
// For tests, LEDGRA_STANDIN_REJECT_CALLS=N (read when an application object is
// created) has the next N requests rejected as a busy application rejects them.
#include "automation/ExcelOperations.h"
#include "automation/win32/ComVariant.h"
#include "standin/Standin.h"

#include <windows.h>

#include <ole2.h>
#include <olectl.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <vector>

namespace {

using ledgra::win32::FromVariant;
using ledgra::win32::ToVariant;
using ledgra::win32::VariantBridge;

// {6C3A9E52-1B7D-4F0A-9C21-5E8D0B4A7F13}
constexpr CLSID kClsid = {0x6c3a9e52, 0x1b7d, 0x4f0a, {0x9c, 0x21, 0x5e, 0x8d, 0x0b, 0x4a, 0x7f, 0x13}};
constexpr const char* kClsidText = "{6C3A9E52-1B7D-4F0A-9C21-5E8D0B4A7F13}";
// The interface by which the server recognises its own objects coming back.
// {0E4B7C19-8D2A-4B5E-A3F6-7C1D9E2B4A60}
constexpr IID kIidInner = {0x0e4b7c19, 0x8d2a, 0x4b5e, {0xa3, 0xf6, 0x7c, 0x1d, 0x9e, 0x2b, 0x4a, 0x60}};

HMODULE g_module = nullptr;
std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};
// Requests still to be rejected as from a busy application.
std::atomic<long> g_rejectCalls{0};
// The largest block of the requests so far, kept with its storage for the
// next block of the same shape (a fresh block of that size costs the system
// far more than filling it).
thread_local ledgra::Variant t_spareBlock;

std::size_t Cells(const ledgra::Variant& block) {
    const ledgra::SafeArray* array = block.parray();
    return array ? std::size_t{array->Rows()} * array->Columns() : 0;
}

class ServerDispatch final : public ::IDispatch {
public:
    explicit ServerDispatch(ledgra::IDispatch* inner) : inner_(inner) { ++g_objects; }  // takes its reference
    ledgra::IDispatch* Inner() const { return inner_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, kIidInner)) {
            *out = static_cast<::IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispId, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excepInfo, UINT* argError) override;

private:
    ~ServerDispatch() {
        inner_->Release();
        if (--g_objects == 0) t_spareBlock.Clear();
    }
    std::atomic<ULONG> refs_{1};
    ledgra::IDispatch* inner_;
};

::IDispatch* ExportServer(ledgra::IDispatch* dispatch) {
    dispatch->AddRef();
    return new ServerDispatch(dispatch);
}

ledgra::IDispatch* ImportClient(::IDispatch* dispatch) {
    ::IDispatch* own = nullptr;
    if (FAILED(dispatch->QueryInterface(kIidInner, reinterpret_cast<void**>(&own)))) return nullptr;
    ledgra::IDispatch* inner = static_cast<ServerDispatch*>(own)->Inner();
    inner->AddRef();
    own->Release();
    return inner;
}

const VariantBridge kBridge{CP_UTF8, ExportServer, ImportClient};

BSTR Bstr(const std::string& utf8) {
    const std::wstring wide = ledgra::win32::Widen(utf8, CP_UTF8);
    return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

// The members the stand-in implements, by name (any case) as a script names them.
struct Member {
    const wchar_t* name;
    DISPID id;
};
constexpr Member kMembers[] = {
    {L"Value", ledgra::dispid::Value},
    {L"Name", ledgra::dispid::Name},
    {L"Item", ledgra::dispid::Item},
    {L"Add", ledgra::dispid::Add},
    {L"NumberFormat", ledgra::dispid::NumberFormat},
    {L"Range", ledgra::dispid::Range},
    {L"Resize", ledgra::dispid::Resize},
    {L"Save", ledgra::dispid::Save},
    {L"SaveAs", ledgra::dispid::SaveAs},
    {L"Saved", ledgra::dispid::Saved},
    {L"DisplayAlerts", ledgra::dispid::DisplayAlerts},
    {L"Version", ledgra::dispid::Version},
    {L"Sheets", ledgra::dispid::Sheets},
    {L"Visible", ledgra::dispid::Visible},
    {L"Workbooks", ledgra::dispid::Workbooks},
    {L"Open", ledgra::dispid::Open},
    {L"UserControl", ledgra::dispid::UserControl},
    {L"Address", 0xEC},
};

// The member's name comes first; the names of its arguments are not known.
HRESULT ServerDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (count == 0) return S_OK;
    if (names == nullptr || ids == nullptr) return E_POINTER;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    for (const Member& member : kMembers)
        if (names[0] != nullptr && _wcsicmp(names[0], member.name) == 0) ids[0] = member.id;
    return ids[0] == DISPID_UNKNOWN || count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
}

// A property put names its value's argument DISPID_PROPERTYPUT, as the
// application insists; no other named arguments are taken.
HRESULT CheckNamedArgs(WORD flags, const DISPPARAMS& params) {
    const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    if (params.cNamedArgs > (put ? 1u : 0u) ||
        (params.cNamedArgs == 1 && params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))
        return DISP_E_NONAMEDARGS;
    if (put && params.cNamedArgs == 0) return DISP_E_PARAMNOTFOUND;
    return S_OK;
}

bool RejectAsBusy() {
    long left = g_rejectCalls.load();
    while (left > 0)
        if (g_rejectCalls.compare_exchange_weak(left, left - 1)) return true;
    return false;
}

HRESULT ServerDispatch::Invoke(DISPID dispId, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                               EXCEPINFO* excepInfo, UINT* argError) {
    if (params == nullptr) return E_INVALIDARG;
    if (RejectAsBusy()) return RPC_E_CALL_REJECTED;
    if (const HRESULT hr = CheckNamedArgs(flags, *params); FAILED(hr)) return hr;

    const UINT count = params->cArgs;
    std::vector<ledgra::Variant> values(count);
    std::vector<const ledgra::Variant*> args(count);
    for (UINT i = 0; i < count; ++i) {  // DISPPARAMS hold the last argument first
        const VARIANT& arg = params->rgvarg[count - 1 - i];
        if (arg.vt == (VT_ARRAY | VT_VARIANT)) values[i] = std::move(t_spareBlock);
        const HRESULT hr = FromVariant(arg, values[i], kBridge);
        if (FAILED(hr)) {
            if (argError) *argError = count - 1 - i;
            return hr;
        }
        args[i] = &values[i];
    }
    ledgra::Variant answer;
    ledgra::ExcepInfo info;
    HRESULT hr;
    try {
        hr = inner_->Invoke(dispId, flags, ledgra::DispArgs(args.data(), args.size()),
                            result ? &answer : nullptr, &info);
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    } catch (...) {
        hr = RPC_E_SERVERFAULT;
    }
    for (ledgra::Variant& value : values)
        if (value.parray() && Cells(value) >= Cells(t_spareBlock)) t_spareBlock = std::move(value);
    if (hr == DISP_E_EXCEPTION) {
        if (excepInfo) {
            *excepInfo = EXCEPINFO{};
            excepInfo->scode = info.scode;
            excepInfo->bstrSource = Bstr(info.source);
            excepInfo->bstrDescription = Bstr(info.description);
        }
        return hr;
    }
    if (SUCCEEDED(hr) && result) {
        VariantInit(result);
        hr = ToVariant(answer, *result, kBridge);
    }
    return hr;
}

class Factory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // a static object
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        char reject[16] = "";
        if (GetEnvironmentVariableA("LEDGRA_STANDIN_REJECT_CALLS", reject, sizeof reject) > 0)
            g_rejectCalls = std::atol(reject);
        ledgra::IDispatch* application = ledgra::standin::NewApplication();
        if (application == nullptr) return E_OUTOFMEMORY;
        ServerDispatch* object = new ServerDispatch(application);
        const HRESULT hr = object->QueryInterface(iid, out);
        object->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        lock ? ++g_locks : --g_locks;
        return S_OK;
    }
};

Factory g_factory;

LONG SetValue(const std::string& key, const char* name, const std::string& value) {
    HKEY handle = nullptr;
    LONG status =
        RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr);
    if (status != ERROR_SUCCESS) return status;
    status = RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>(value.size() + 1));
    RegCloseKey(handle);
    return status;
}

// True when the ProgID is registered with a CLSID other than the stand-in's.
bool RegisteredElsewhere() {
    const std::string key = std::string(ledgra::standin::kProgId) + "\\CLSID";
    char clsid[64] = "";
    LONG size = sizeof clsid;
    if (RegQueryValueA(HKEY_CLASSES_ROOT, key.c_str(), clsid, &size) != ERROR_SUCCESS) {
        HKEY handle = nullptr;
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, ledgra::standin::kProgId, 0, KEY_READ, &handle) != ERROR_SUCCESS)
            return false;  // nothing registered
        RegCloseKey(handle);
        return true;  // a ProgID key without a CLSID: not the stand-in's
    }
    return lstrcmpiA(clsid, kClsidText) != 0;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

__declspec(dllexport) HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualCLSID(clsid, kClsid)) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(iid, out);
}

__declspec(dllexport) HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE;
}

// Registers the ProgID, unless it names another server: a spreadsheet
// application installed on this system is never replaced.
__declspec(dllexport) HRESULT STDAPICALLTYPE DllRegisterServer() {
    if (RegisteredElsewhere()) {
        std::fprintf(stderr,
                     "ledgra_standin_server: \"%s\" is registered to another server; it is left as it is "
                     "and the stand-in is not registered\n",
                     ledgra::standin::kProgId);
        return SELFREG_E_CLASS;
    }
    char path[MAX_PATH * 4] = "";
    GetModuleFileNameA(g_module, path, sizeof path);
    const std::string progId = ledgra::standin::kProgId, clsidKey = std::string("CLSID\\") + kClsidText;
    for (const LONG status : {SetValue(progId, nullptr, "Ledgra stand-in spreadsheet application"),
                              SetValue(progId + "\\CLSID", nullptr, kClsidText),
                              SetValue(clsidKey, nullptr, "Ledgra stand-in spreadsheet application"),
                              SetValue(clsidKey + "\\ProgID", nullptr, progId),
                              SetValue(clsidKey + "\\InprocServer32", nullptr, path),
                              SetValue(clsidKey + "\\InprocServer32", "ThreadingModel", "Apartment")})
        if (status != ERROR_SUCCESS) return SELFREG_E_CLASS;
    return S_OK;
}

// Removes the stand-in's own keys; a ProgID that names another server stays.
__declspec(dllexport) HRESULT STDAPICALLTYPE DllUnregisterServer() {
    if (!RegisteredElsewhere()) {
        RegDeleteTreeA(HKEY_CLASSES_ROOT, ledgra::standin::kProgId);
        RegDeleteKeyA(HKEY_CLASSES_ROOT, ledgra::standin::kProgId);
    }
    const std::string clsidKey = std::string("CLSID\\") + kClsidText;
    RegDeleteTreeA(HKEY_CLASSES_ROOT, clsidKey.c_str());
    RegDeleteKeyA(HKEY_CLASSES_ROOT, clsidKey.c_str());
    return S_OK;
}

}  // extern "C"
