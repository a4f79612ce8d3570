// The class registry on Windows is the system's: a ProgID exists when its key
// opens under HKEY_CLASSES_ROOT, and objects are created through COM.
// Classes registered by this process (a test's fake application) are seen
// first, as CoRegisterClassObject would make them.
#include "registry/ClassRegistry.h"

#include "automation/win32/ComDispatch.h"

#include <windows.h>

#include <map>
#include <utility>

namespace ledgra {

namespace {

struct KeyLess {
    bool operator()(const std::string& a, const std::string& b) const {
        return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                              b.data(), static_cast<int>(b.size())) == CSTR_LESS_THAN;
    }
};

std::map<std::string, ClassFactory, KeyLess>& ProcessClasses() {
    static std::map<std::string, ClassFactory, KeyLess> classes;
    return classes;
}

}  // namespace

ClassRegistry& ClassRegistry::Instance() {
    static ClassRegistry registry;
    return registry;
}

void ClassRegistry::Register(const std::string& progId, ClassFactory factory) {
    ProcessClasses()[progId] = std::move(factory);
}

void ClassRegistry::Unregister(const std::string& progId) { ProcessClasses().erase(progId); }

long ClassRegistry::Open(const std::string& progId) const {
    if (ProcessClasses().count(progId) != 0) return ERROR_SUCCESS;
    if (progId.empty()) return ERROR_FILE_NOT_FOUND;  // would open the root key itself
    HKEY key = nullptr;
    const LONG status = RegOpenKeyExA(HKEY_CLASSES_ROOT, progId.c_str(), 0, KEY_READ, &key);
    if (status == ERROR_SUCCESS) RegCloseKey(key);
    return status;
}

ClassFactory ClassRegistry::Factory(const std::string& progId) const {
    if (const auto it = ProcessClasses().find(progId); it != ProcessClasses().end()) return it->second;
    CLSID clsid;
    const std::wstring wide(progId.begin(), progId.end());
    if (FAILED(CLSIDFromProgID(wide.c_str(), &clsid))) return ClassFactory();  // no such ProgID
    return [progId]() -> IDispatch* {
        HRESULT status = S_OK;
        return win32::CreateComDispatch(progId, status);
    };
}

std::string SystemMessageText(long status) {
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM, nullptr,
        static_cast<DWORD>(status), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = length ? std::string(buffer, length) : std::string();
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

}  // namespace ledgra
