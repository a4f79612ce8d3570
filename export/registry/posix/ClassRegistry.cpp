#include "registry/ClassRegistry.h"

#include <map>
#include <mutex>
#include <utility>

namespace ledgra {

namespace {

// Registry key names compare without regard to ASCII case, as on Windows.
struct KeyLess {
    bool operator()(const std::string& a, const std::string& b) const {
        const std::size_t n = a.size() < b.size() ? a.size() : b.size();
        for (std::size_t i = 0; i < n; ++i) {
            const unsigned char ca = Fold(static_cast<unsigned char>(a[i]));
            const unsigned char cb = Fold(static_cast<unsigned char>(b[i]));
            if (ca != cb) return ca < cb;
        }
        return a.size() < b.size();
    }
    static unsigned char Fold(unsigned char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
    }
};

using ClassMap = std::map<std::string, ClassFactory, KeyLess>;

ClassMap& Classes() {
    static ClassMap classes;
    return classes;
}

// Exports on several threads look classes up while a host may register one.
std::mutex& ClassesMutex() {
    static std::mutex mutex;
    return mutex;
}

constexpr long kErrorSuccess = 0;
constexpr long kErrorFileNotFound = 2;

}  // namespace

ClassRegistry& ClassRegistry::Instance() {
    static ClassRegistry registry;
    return registry;
}

void ClassRegistry::Register(const std::string& progId, ClassFactory factory) {
    const std::lock_guard<std::mutex> lock(ClassesMutex());
    Classes()[progId] = std::move(factory);
}

void ClassRegistry::Unregister(const std::string& progId) {
    const std::lock_guard<std::mutex> lock(ClassesMutex());
    Classes().erase(progId);
}

long ClassRegistry::Open(const std::string& progId) const {
    // An empty name never names a class (on Windows it would open the root key itself).
    if (progId.empty()) return kErrorFileNotFound;
    const std::lock_guard<std::mutex> lock(ClassesMutex());
    return Classes().count(progId) != 0 ? kErrorSuccess : kErrorFileNotFound;
}

ClassFactory ClassRegistry::Factory(const std::string& progId) const {
    const std::lock_guard<std::mutex> lock(ClassesMutex());
    const auto it = Classes().find(progId);
    return it == Classes().end() ? ClassFactory() : it->second;
}

std::string SystemMessageText(long status) {
    // The system's English texts for the statuses this library meets. Win32
    // errors wrapped in an HRESULT (0x8007xxxx) read as the error itself.
    const unsigned long code = static_cast<unsigned long>(status) & 0xFFFFFFFFUL;
    unsigned long win32 = code;
    if ((code & 0xFFFF0000UL) == 0x80070000UL) win32 = code & 0xFFFFUL;
    switch (win32) {
        case 0:
            return "The operation completed successfully.";
        case 1:
            return "Incorrect function.";
        case 2:
            return "The system cannot find the file specified.";
        case 3:
            return "The system cannot find the path specified.";
        case 5:
            return "Access is denied.";
        case 6:
            return "The handle is invalid.";
        case 87:
            return "The parameter is incorrect.";
        case 112:
            return "There is not enough space on the disk.";
        default:
            break;
    }
    switch (code) {
        case 0x80004001UL:
            return "Not implemented";
        case 0x80004002UL:
            return "No such interface supported";
        case 0x80004005UL:
            return "Unspecified error";
        case 0x80010108UL:
            return "The object invoked has disconnected from its clients.";
        case 0x80020003UL:
            return "Member not found.";
        case 0x80020005UL:
            return "Type mismatch.";
        case 0x80020006UL:
            return "Unknown name.";
        case 0x80020009UL:
            return "Exception occurred.";
        case 0x8002000BUL:
            return "Invalid index.";
        case 0x8002000EUL:
            return "Invalid number of parameters.";
        case 0x8002000FUL:
            return "Parameter not optional.";
        case 0x80040154UL:
            return "Class not registered";
        case 0x800401F0UL:
            return "CoInitialize has not been called.";
        case 0x800401F3UL:
            return "Invalid class string";
        default:
            return std::string();  // the system has no text for it
    }
}

}  // namespace ledgra
